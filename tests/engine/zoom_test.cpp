// Drags and wheel steps of random wallpapers, judged by the tile measure and
// by where the pattern goes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "generate.h"
#include "render.h"
#include "tile_measure.h"
#include "zoom.h"

namespace {

#ifdef PALLODEX_SANITIZED_BUILD
constexpr int kSeedDivisor = 10;
#else
constexpr int kSeedDivisor = 1;
#endif

struct Size {
    int w, h, accuracy, seeds;
};
const Size kSizes[] = {{64, 64, 1, 300}, {128, 96, 1, 300}, {127, 131, 1, 200}, {256, 160, 2, 80},
                       {31, 257, 1, 100}, {16, 16, 3, 100}, {1, 40, 1, 20}, {160, 96, 1, 100}};

std::vector<std::uint32_t> render(const PatternSettings& s) {
    RenderOptions one;
    one.threads = 1;
    return renderImage(s, one);
}

// Seamless to the last bit where the waves along the axis are exact (not
// the sines, exact only to the rounding of their doubles): the pixel pairs
// across the wrap are those across an inner boundary (either way round: a
// rest of 2 pixels puts pixels 1 and 0 of a repeat there), or equal pixels.
bool wrapIsInner(const std::vector<std::uint32_t>& px, int w, int h, bool columns) {
    const int n = columns ? w : h, along = columns ? h : w;
    auto at = [&](int i, int j) { return columns ? px[j * w + (i + n) % n] : px[(i + n) % n * w + j]; };
    for (int inner = -1; inner < n - 1; ++inner) {
        bool same = true, reversed = inner >= 0;
        for (int j = 0; j < along && (same || reversed); ++j) {
            same = same && (inner < 0 ? at(-1, j) == at(0, j) : at(-1, j) == at(inner, j) && at(0, j) == at(inner + 1, j));
            reversed = reversed && at(-1, j) == at(inner + 1, j) && at(0, j) == at(inner, j);
        }
        if (same || reversed) return true;
    }
    return false;
}

bool exactlySeamless(const PatternSettings& s, const std::vector<std::uint32_t>& px) {
    auto exact = [](std::int8_t method) { return method != WaveSine && method != WaveSineHalf && method != WaveSineAbsolute; };
    return (!exact(s.pat_x) || wrapIsInner(px, s.bmpw, s.bmph, true)) &&
           (!exact(s.pat_y) || wrapIsInner(px, s.bmpw, s.bmph, false)) && measureTile(px.data(), s.bmpw, s.bmph).seamless();
}

template <typename Check>
void forRandomSets(Check check) {
    for (const Size& z : kSizes) {
        PatternSettings keep;
        keep.bmpw = z.w, keep.bmph = z.h, keep.accuracy = z.accuracy;
        for (int i = 0; i < std::max(z.seeds / kSeedDivisor, 2); ++i) {
            check(randomSettings(keep, 0x200Du * z.h + i), i);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(Zoom, WheelStepsKeepRandomWallpapersSeamlessAroundThePointer) {
    int tried = 0, changed = 0;
    forRandomSets([&](const PatternSettings& s, int i) {
        for (const int notches : {1, -1, -2}) {
            const std::int32_t at[2] = {i * 7 % s.bmpw, i * 13 % s.bmph};
            const PatternSettings z = zoomSettings(s, notches, at[0], at[1]);
            ++tried;
            if (z == s) continue;
            ++changed;
            PatternSettings valid = z;
            valid.validate();
            EXPECT_EQ(valid, z);
            const std::vector<std::uint32_t> px = render(z);
            EXPECT_TRUE(exactlySeamless(z, px)) << notches << " at seed " << i;
            const std::int64_t from[2] = {s.periodX(), s.periodY()}, to[2] = {z.periodX(), z.periodY()};
            const std::int64_t origin[2] = {s.basex, s.basey}, moved[2] = {z.basex, z.basey};
            const std::int8_t method[2] = {s.pat_x, s.pat_y};
            for (int a = 0; a < 2; ++a) {
                EXPECT_TRUE(notches > 0 ? to[a] >= from[a] : to[a] <= from[a]) << a << ": " << from[a] << " -> " << to[a];
                // The pointer's pixel centre, in pattern periods from the
                // origin, before and after, to half a pixel; an origin moved
                // by whole repeats shows the same pattern.
                const std::int64_t centre2 = 2 * at[a] + 1;
                const std::int64_t repeat2 = 2 * to[a] * (method[a] == 1 || method[a] == 2 ? 4 : method[a] >= 3 ? 2 : 1) * from[a];
                std::int64_t error = ((centre2 - 2 * moved[a]) * from[a] - (centre2 - 2 * origin[a]) * to[a]) % repeat2;
                if (error > repeat2 / 2) error -= repeat2;
                if (error < -repeat2 / 2) error += repeat2;
                EXPECT_LE(std::llabs(error), from[a]) << a << " at pixel " << at[a] << " seed " << i;
            }
        }
    });
    // The random wallpapers favour few repeats: most can only grow smaller.
    EXPECT_GT(changed, tried / 3);
}

TEST(Zoom, PeriodsOfOtherSetsChangeByATenth) {
    PatternSettings s;  // a ramp that does not close: no whole repeats
    for (s.basew = -126; s.basew < 400; s.basew += 7)
        for (const int notches : {1, -1}) {
            const PatternSettings z = zoomSettings(s, notches, 5, 100);
            const double want = s.periodX() * (notches > 0 ? 1.1 : 1 / 1.1);
            EXPECT_NE(z.periodX(), s.periodX()) << s.periodX();
            EXPECT_LE(std::abs(z.periodX() - want), s.periodX() < 10 ? 1.0 : 0.5) << s.periodX() << " " << notches;
        }
}

TEST(Zoom, DragsMoveThePictureWithTheHand) {
    forRandomSets([](const PatternSettings& s, int i) {
        if (i % 4 != 0) return;
        const std::int32_t dx = i * 37 % 61 - 30, dy = i * 17 % 45 - 22;
        const PatternSettings t = shiftSettings(s, dx, dy);
        const std::vector<std::uint32_t> before = render(s), after = render(t);
        EXPECT_TRUE(exactlySeamless(t, after)) << dx << "," << dy << " seed " << i;
        int moved = 0, wrong = 0;
        for (int y = std::max(0, -dy); y < std::min(s.bmph, s.bmph - dy); ++y)
            for (int x = std::max(0, -dx); x < std::min(s.bmpw, s.bmpw - dx); ++x, ++moved)
                wrong += after[(y + dy) * s.bmpw + x + dx] != before[y * s.bmpw + x];
        EXPECT_EQ(wrong, 0) << "of " << moved << " pixels, shifted " << dx << "," << dy << " seed " << i;
    });
}

}  // namespace
