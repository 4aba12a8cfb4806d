// Drags and wheel steps of random wallpapers, judged by the tile measure and
// by where the pattern goes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "generate.h"
#include "render.h"
#include "repeat.h"
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

// One thread: thousands of small renders would spend more on starting threads.
std::vector<std::uint32_t> render(const PatternSettings& s) { return renderImage(s, RenderOptions{1}); }

// Seamless to the last bit where the waves along the axis are exact (not
// the sines, exact only to the rounding of their doubles): the pixel pairs
// across the wrap are those across an inner boundary (either way round: a
// rest of 2 pixels puts pixels 1 and 0 of a repeat there), or equal pixels.
bool wrapIsInner(const std::vector<std::uint32_t>& px, int w, int h, bool columns) {
    const int n = columns ? w : h, along = columns ? h : w;
    auto at = [&](int i, int j) { return columns ? px[j * w + (i + n) % n] : px[(i + n) % n * w + j]; };
    for (int inner = -1; inner < n - 1; ++inner)
        for (const bool reversed : {false, true}) {
            const int a = reversed ? inner + 1 : inner, b = reversed ? inner : inner + 1;
            int j = 0;
            while (j < along && (inner < 0 ? at(-1, j) == at(0, j) : at(-1, j) == at(a, j) && at(0, j) == at(b, j))) ++j;
            if (j == along) return true;
        }
    return false;
}

bool exactlySeamless(const PatternSettings& s, const std::vector<std::uint32_t>& px) {
    auto exact = [](std::int8_t method) { return method != WaveSine && method != WaveSineHalf && method != WaveSineAbsolute; };
    return (!exact(s.pat_x) || wrapIsInner(px, s.bmpw, s.bmph, true)) &&
           (!exact(s.pat_y) || wrapIsInner(px, s.bmpw, s.bmph, false)) && measureTile(px.data(), s.bmpw, s.bmph).seamless();
}

// Every notch and drag of random wallpapers: seamless, the pattern point
// under the pointer in place, the picture moving with the hand.
TEST(Zoom, WheelAndDragKeepRandomWallpapersSeamless) {
    int tried = 0, changed = 0;
    for (const Size& size : kSizes) {
        PatternSettings keep;
        keep.bmpw = size.w, keep.bmph = size.h, keep.accuracy = size.accuracy;
        for (int i = 0; i < std::max(size.seeds / kSeedDivisor, 2) && !HasFailure(); ++i) {
            const PatternSettings s = randomSettings(keep, 0x200Du * size.h + i);
            const std::int32_t at[2] = {i * 7 % s.bmpw, i * 13 % s.bmph};
            for (const int notches : {1, -1, -2}) {
                const PatternSettings z = zoomSettings(s, notches, at[0], at[1]);
                ++tried;
                if (z == s) continue;
                ++changed;
                EXPECT_TRUE(exactlySeamless(z, render(z))) << notches << " at seed " << i;
                const std::int64_t from[2] = {s.periodX(), s.periodY()}, to[2] = {z.periodX(), z.periodY()};
                const std::int64_t origin[2] = {s.basex, s.basey}, moved[2] = {z.basex, z.basey};
                for (int a = 0; a < 2; ++a) {
                    EXPECT_TRUE(notches > 0 ? to[a] >= from[a] : to[a] <= from[a]) << from[a] << " -> " << to[a];
                    // The pointer's pixel centre in periods from the origin,
                    // to half a pixel, up to whole repeats (the same pattern).
                    const std::int64_t centre = 2 * at[a] + 1;
                    const std::int64_t repeat = 2 * to[a] * from[a] * tiling::periodsPerRepeat(a ? s.pat_y : s.pat_x);
                    const std::int64_t apart = (centre - 2 * moved[a]) * from[a] - (centre - 2 * origin[a]) * to[a];
                    const std::int64_t error = (apart % repeat + repeat + repeat / 2) % repeat - repeat / 2;
                    EXPECT_LE(std::llabs(error), from[a]) << a << " at pixel " << at[a] << " seed " << i;
                }
            }
            if (i % 4 != 0) continue;
            const std::int32_t dx = i * 37 % 61 - 30, dy = i * 17 % 45 - 22;
            const PatternSettings t = shiftSettings(s, dx, dy);
            const std::vector<std::uint32_t> before = render(s), after = render(t);
            EXPECT_TRUE(exactlySeamless(t, after)) << dx << "," << dy << " seed " << i;
            int wrong = 0;
            for (int y = std::max(0, -dy); y < std::min(s.bmph, s.bmph - dy); ++y)
                for (int x = std::max(0, -dx); x < std::min(s.bmpw, s.bmpw - dx); ++x)
                    wrong += after[(y + dy) * s.bmpw + x + dx] != before[y * s.bmpw + x];
            EXPECT_EQ(wrong, 0) << "pixels not where the hand took them, " << dx << "," << dy << " seed " << i;
        }
    }
    // The random wallpapers favour few repeats: most can only grow smaller.
    EXPECT_GT(changed, tried / 3);
}

TEST(Zoom, OtherPeriodsChangeByATenth) {
    PatternSettings s;  // a ramp that does not close: no whole repeats
    for (s.basew = -126; s.basew < 400; s.basew += 7)
        for (const int n : {1, -1})
            EXPECT_NEAR(zoomSettings(s, n, 5, 100).periodX(), s.periodX() * (n > 0 ? 1.1 : 1 / 1.1), s.periodX() < 10 ? 1 : 0.5);
}

}  // namespace
