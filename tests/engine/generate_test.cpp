// Random wallpapers and small changes of them, over many seeds and image
// sizes, judged by the tile measure.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "generate.h"
#include "render.h"
#include "tile_measure.h"

namespace {

#ifdef PALLODEX_SANITIZED_BUILD
constexpr int kSeedDivisor = 10;
#else
constexpr int kSeedDivisor = 1;
#endif

struct Size {
    int w, h, accuracy, seeds;
};
const Size kSizes[] = {
    {16, 16, 1, 3000}, {16, 16, 3, 500},   {17, 19, 16, 200},  {128, 128, 1, 2000}, {127, 131, 1, 2000},
    {127, 131, 3, 200}, {256, 160, 1, 800}, {31, 1031, 1, 100}, {2039, 23, 2, 100},  {2048, 2048, 1, 8},
    {1, 1, 1, 50},      {3, 2, 7, 50},      {5, 16, 1, 200},
};

// One thread: thousands of small renders would spend more on starting threads.
std::vector<std::uint32_t> render(const PatternSettings& s) {
    RenderOptions one;
    one.threads = 1;
    return renderImage(s, one);
}

std::string describe(const PatternSettings& s) {
    std::string out;
    for (const ParamKey& k : kParamKeys) out += std::string(k.name) + "=" + std::to_string(getParam(s, k)) + " ";
    return out;
}

// The keys of the colour values; every other key but the size and the
// accuracy is a shape value.
bool isColourKey(const ParamKey& k) {
    for (const char* prefix : {"base_", "dg_", "dth_", "max_", "min_", "hue"})
        if (std::string(k.name).rfind(prefix, 0) == 0) return true;
    return false;
}

// Values that differ, counted by kind; MutateAll counts all of them.
int changedValues(const PatternSettings& a, const PatternSettings& b, MutateScope kind = MutateAll) {
    int n = 0;
    for (const ParamKey& k : kParamKeys)
        n += getParam(a, k) != getParam(b, k) && (kind & (isColourKey(k) ? MutateColour : MutateShape)) != 0;
    return n;
}

// Checks the properties every offered set has; returns the picture.
std::vector<std::uint32_t> checkOffered(const PatternSettings& s, const Size& z) {
    PatternSettings valid = s;
    valid.validate();
    EXPECT_EQ(valid, s) << describe(s);
    EXPECT_TRUE(s.bmpw == z.w && s.bmph == z.h && s.accuracy == z.accuracy) << describe(s);
    for (const ParamKey& k : kParamKeys) EXPECT_LE(std::to_string(getParam(s, k)).size(), 9u) << describe(s);
    std::vector<std::uint32_t> px = render(s);
    const TileMeasure m = measureTile(px.data(), s.bmpw, s.bmph);
    EXPECT_TRUE(m.seamless()) << m.columns.wrap << "/" << m.columns.sharpest << " " << m.rows.wrap << "/"
                              << m.rows.sharpest << " " << describe(s);
    if (z.w >= 16 && z.h >= 16) {
        EXPECT_FALSE(m.flat() || m.noise()) << m.colours << " " << m.neighbour << " " << describe(s);
    }
    return px;
}

TEST(Generate, RandomSetsTileAndAreVaried) {
    std::map<std::string, int> seen;
    for (const Size& z : kSizes) {
        PatternSettings keep;
        keep.bmpw = z.w, keep.bmph = z.h, keep.accuracy = z.accuracy;
        std::set<std::size_t> pictures;
        const int seeds = std::max(z.seeds / kSeedDivisor, 2);
        for (int i = 0; i < seeds; ++i) {
            const PatternSettings s = randomSettings(keep, 0x5EED0000ull * z.w + i);
            const std::vector<std::uint32_t> px = checkOffered(s, z);
            if (::testing::Test::HasFailure()) return;
            pictures.insert(std::hash<std::string>()(std::string(reinterpret_cast<const char*>(px.data()), px.size() * 4)));
            for (const char* k : {"pat_x", "pat_y", "mode_r", "mode_g", "mode_b"})
                ++seen[std::string(k) + std::to_string(getParam(s, *findParamKey(k)))];
            seen["dg"] += s.dg_r != 0 || s.dg_g != 0 || s.dg_b != 0;
            seen["dth"] += s.dth_r != 0 || s.dth_g != 0 || s.dth_b != 0;
            seen["hue"] += s.hue != 0;
            seen["range"] += s.min_r > 0 || s.max_g < 255;
        }
        if (z.w >= 16 && z.h >= 16) {
            EXPECT_EQ(pictures.size(), static_cast<std::size_t>(seeds)) << z.w << "x" << z.h;
        }
    }
    for (std::string k : {"pat_x", "pat_y"})
        for (int m = 0; m < 6; ++m) EXPECT_GT(seen[k + std::to_string(m)], 10) << k << m;
    for (std::string k : {"mode_r", "mode_g", "mode_b"})
        for (int m = 0; m < 4; ++m) EXPECT_GT(seen[k + std::to_string(m)], 10) << k << m;
    for (const char* k : {"dg", "dth", "hue", "range"}) EXPECT_GT(seen[k], 10) << k;
}

TEST(Generate, MutationsChangeAFewValuesAndKeepTheTile) {
    for (const Size& z : kSizes) {
        if (z.w < 16 || z.h < 16) continue;
        PatternSettings s;
        s.bmpw = z.w, s.bmph = z.h, s.accuracy = z.accuracy;
        s = randomSettings(s, z.h);
        std::vector<std::uint32_t> before = render(s);
        // A chain of changes: each starts from the last one's result, each
        // third keeps the colour values, each third the shape.
        for (int i = 0; i < std::max(z.seeds / 10 / kSeedDivisor, 3); ++i) {
            const MutateScope scope = static_cast<MutateScope>(3 - i % 3);
            const PatternSettings m = mutateSettings(s, 77u + i, scope);
            const int changed = changedValues(s, m);
            EXPECT_TRUE(changed >= 1 && changed <= 4) << changed << " " << describe(m);
            EXPECT_EQ(changedValues(s, m, static_cast<MutateScope>(MutateAll & ~scope)), 0) << scope << describe(m);
            std::vector<std::uint32_t> after = checkOffered(m, z);
            EXPECT_NE(before, after) << describe(m);
            if (::testing::Test::HasFailure()) return;
            s = m;
            before.swap(after);
        }
    }
}

TEST(Generate, RandomSetsKeepTheOtherKindAndStillTile) {
    for (const Size& z : kSizes) {
        if (z.w < 16 || z.h < 16) continue;
        PatternSettings centre;
        centre.bmpw = z.w, centre.bmph = z.h, centre.accuracy = z.accuracy;
        for (int i = 0; i < std::max(z.seeds / 20 / kSeedDivisor, 4); ++i) {
            centre = randomSettings(centre, 0xCE0000ull + i);
            const MutateScope scope = i % 2 ? MutateColour : MutateShape;
            const PatternSettings s = randomSettings(centre, 0xD1CE00ull + i, scope);
            EXPECT_EQ(changedValues(centre, s, static_cast<MutateScope>(MutateAll & ~scope)), 0) << describe(s);
            EXPECT_GT(changedValues(centre, s, scope), 0) << describe(s);
            checkOffered(s, z);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

}  // namespace
