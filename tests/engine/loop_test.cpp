// Loops of random wallpapers and presets: the frame after the last shows the
// first again, every frame is seamless, and the step back to the first frame
// looks like any other step.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "channel.h"
#include "generate.h"
#include "loop.h"
#include "render.h"
#include "settings_file.h"
#include "tile_measure.h"

namespace {

#ifdef PALLODEX_SANITIZED_BUILD
constexpr int kSeeds = 3;
#else
constexpr int kSeeds = 12;
#endif

std::vector<std::uint32_t> render(const PatternSettings& s) { return renderImage(s, RenderOptions{1}); }

double meanChange(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += colourDifference(a[i], b[i]);
    return sum / static_cast<double>(a.size());
}

struct Case {
    std::string name;
    PatternSettings s;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    struct Size {
        int w, h, accuracy;
    };
    for (const Size z : {Size{64, 64, 1}, Size{127, 131, 1}, Size{96, 160, 2}, Size{48, 40, 3}}) {
        PatternSettings keep;
        keep.bmpw = z.w, keep.bmph = z.h, keep.accuracy = z.accuracy;
        for (int i = 0; i < kSeeds; ++i)
            out.push_back({std::to_string(z.w) + "x" + std::to_string(z.h) + "/" + std::to_string(z.accuracy) +
                               " seed " + std::to_string(i),
                           randomSettings(keep, 0x100Bull * z.w + i)});
    }
    for (const char* name : {"aurora", "candy", "dunes", "newsprint", "retro", "quilt", "velvet"}) {
        PatternSettings s;
        loadSettingsFile(s, (std::string(PALLODEX_PRESETS_DIR) + "/" + name + ".txt").c_str(), nullptr);
        out.push_back({name, s});
        s.accuracy = 1;
        out.push_back({std::string(name) + " at smoothness 1", s});
    }
    return out;
}

TEST(Loop, FramesJoinInSpaceAndTime) {
    int scrolled = 0;
    for (const Case& c : cases()) {
        for (const LoopKind kind : {LoopKind::ScrollX, LoopKind::ScrollY, LoopKind::ScrollXYHue, LoopKind::Hue}) {
            if (!loopIsSeamless(c.s, kind)) continue;
            scrolled += kind != LoopKind::Hue;
            const std::int32_t frames = c.s.bmpw % 7 == 0 ? 6 : 7;
            std::vector<std::vector<std::uint32_t>> px;
            for (std::int32_t k = 0; k <= frames; ++k) px.push_back(render(loopFrame(c.s, kind, frames, k)));
            const std::string what = c.name + " " + kLoopKinds[static_cast<int>(kind)].name;
            EXPECT_EQ(loopFrame(c.s, kind, frames, 0), c.s) << what;
            // The sines repeat only to the rounding of their doubles: a
            // level here and there, far below a step of the loop.
            const bool exact = !(scrollsAcross(kind) && isTrigWave(c.s.pat_x)) && !(scrollsDown(kind) && isTrigWave(c.s.pat_y));
            if (exact) {
                EXPECT_TRUE(px[frames] == px[0]) << what << ": the frame after the last is not the first";
            }
            double least = 1e9, most = 0;
            for (std::int32_t k = 0; k < frames; ++k) {
                const TileMeasure m = measureTile(px[k].data(), c.s.bmpw, c.s.bmph);
                EXPECT_TRUE(m.seamless()) << what << " frame " << k << ": wrap " << m.columns.wrap << " / "
                                          << m.rows.wrap;
                if (k + 1 < frames) {
                    const double change = meanChange(px[k], px[k + 1]);
                    least = std::min(least, change), most = std::max(most, change);
                }
            }
            EXPECT_LE(meanChange(px[frames], px[0]), most * 0.05) << what;
            // A step's change varies a little with where it starts (on the
            // hue wheel, or by a tile's extra pixel or two); a step of twice
            // the length, or none, at the loop's end would not.
            const double back = meanChange(px[frames - 1], px[0]);
            EXPECT_GE(back, least * 0.85) << what;
            EXPECT_LE(back, most * 1.15) << what;
        }
    }
    // Every random wallpaper and preset tiles by whole repeats.
    EXPECT_GT(scrolled, static_cast<int>(cases().size()) * 2);
}

// A pattern that does not repeat within its tile cannot scroll, but can
// always turn its hue; a walk is split into steps one pixel apart at most.
TEST(Loop, OnlyWholeRepeatsScrollAndStepsAreEven) {
    PatternSettings s;  // the default: a ramp across that does not close
    s.validate();
    EXPECT_FALSE(loopIsSeamless(s, LoopKind::ScrollX));
    EXPECT_FALSE(loopIsSeamless(s, LoopKind::ScrollXHue));
    EXPECT_TRUE(loopIsSeamless(s, LoopKind::Hue));
    EXPECT_EQ(loopFrame(s, LoopKind::ScrollX, 10, 5), s);
    s.pat_x = WaveSine, s.basew = 0, s.baserw = 25;  // four periods of 32 px: one repeat of 128
    ASSERT_EQ(scrollRepeat(s, 0), 128);
    s.basex = INT32_MAX - 100;
    EXPECT_FALSE(scrollRepeat(s, 0)) << "a walk beyond 32 bits";
    s.basex = 3;
    for (const std::int32_t frames : {2, 7, 60, 600}) {
        std::int32_t previous = s.basex, previousHue = s.hue;
        for (std::int32_t k = 1; k <= frames; ++k) {
            const PatternSettings f = loopFrame(s, LoopKind::ScrollXHue, frames, k);
            EXPECT_EQ(f.basey, s.basey);
            EXPECT_LE(std::abs((f.basex - previous) - 128.0 / frames), 1) << frames << " frame " << k;
            EXPECT_LE(std::abs((f.hue - previousHue) - 1530.0 / frames), 1) << frames << " frame " << k;
            previous = f.basex, previousHue = f.hue;
        }
        EXPECT_EQ(previous, s.basex + 128);
        EXPECT_EQ(previousHue, s.hue + 1530);
    }
}

}  // namespace
