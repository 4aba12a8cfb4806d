#include <gtest/gtest.h>

#include <map>
#include <set>

#include "render.h"
#include "settings_file.h"
#include "test_util.h"
#include "tile_measure.h"
#include "zoom.h"

TEST(Presets, EachIsASavedFileOfASeamlessPictureAndTogetherTheyShowEveryFeature) {
    const std::string dir = PALLODEX_PRESETS_DIR;
    std::map<std::vector<std::uint32_t>, std::string> pictures;  // with the size in front
    std::set<int> methods, modes;
    bool posterise = false, dither = false, hue = false, narrowed = false;
    for (const std::string& file : testutil::listDir(dir)) {
        const std::size_t dot = file.rfind('.');
        if (file.substr(dot) != ".txt") continue;
        const std::string name = file.substr(0, dot);
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string::npos) << file;
        PatternSettings s;
        ASSERT_EQ(loadSettingsFile(s, (dir + "/" + file).c_str(), nullptr), LoadResult::Loaded) << file;
        // Byte for byte what saving these settings writes: nothing repaired,
        // nothing missing, CR LF.
        EXPECT_EQ(testutil::readFile(dir + "/" + file), settingsText(s, nullptr)) << file;
        EXPECT_TRUE(s.bmpw >= 128 && s.bmpw <= 512 && s.bmph >= 128 && s.bmph <= 512) << file;

        std::vector<std::uint32_t> px = renderImage(s);
        const TileMeasure m = measureTile(px.data(), s.bmpw, s.bmph);
        EXPECT_TRUE(m.seamless()) << file << ": wrap " << m.columns.wrap << " / " << m.rows.wrap;
        EXPECT_FALSE(m.flat()) << file;
        EXPECT_FALSE(m.noise()) << file << ": " << m.neighbour;
        // A wheel notch either way keeps the tile seamless.
        for (const int notches : {1, -1, -3}) {
            const std::vector<std::uint32_t> zoomed = renderImage(zoomSettings(s, notches, s.bmpw / 3, s.bmph / 2));
            EXPECT_TRUE(measureTile(zoomed.data(), s.bmpw, s.bmph).seamless()) << file << " zoomed " << notches;
        }
        px.insert(px.begin(), {static_cast<std::uint32_t>(s.bmpw), static_cast<std::uint32_t>(s.bmph)});
        const auto [at, added] = pictures.emplace(std::move(px), name);
        EXPECT_TRUE(added) << name << " renders the same picture as " << at->second;

        methods.insert({s.pat_x, s.pat_y});
        modes.insert({s.mode_r, s.mode_g, s.mode_b});
        for (int c = 0; c < 3; ++c) {
            const std::int32_t dg[] = {s.dg_r, s.dg_g, s.dg_b}, dth[] = {s.dth_r, s.dth_g, s.dth_b};
            const std::int32_t lo[] = {s.min_r, s.min_g, s.min_b}, hi[] = {s.max_r, s.max_g, s.max_b};
            posterise |= dg[c] < -1 || dg[c] > 1;
            dither |= dth[c] < -1 || dth[c] > 1;
            narrowed |= lo[c] > 0 || hi[c] < 255;
        }
        hue |= s.hue % 1530 != 0;
    }
    EXPECT_GE(pictures.size(), 12u);
    EXPECT_EQ(methods, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(modes, (std::set<int>{0, 1, 2, 3}));
    EXPECT_TRUE(posterise && dither && hue && narrowed);
}
