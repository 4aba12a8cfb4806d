#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "generate.h"
#include "hue.h"
#include "reference.h"
#include "int32_math.h"
#include "render.h"
#include "render_fast.h"
#include "tile_measure.h"

namespace {

std::uint32_t rgb(int r, int g, int b) { return packPixel(r, g, b); }

std::vector<std::uint32_t> reference(const PatternSettings& s) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(s.bmpw) * s.bmph, 0xDEADBEEF);
    renderReference(s, px.data());
    return px;
}

void rotated(int r, int g, int b, int hue, int er, int eg, int eb) {
    std::int32_t R = r, G = g, B = b;
    rotateHue(R, G, B, hue);
    EXPECT_EQ(R, er) << r << "," << g << "," << b << " by " << hue;
    EXPECT_EQ(G, eg) << r << "," << g << "," << b << " by " << hue;
    EXPECT_EQ(B, eb) << r << "," << g << "," << b << " by " << hue;
}

}  // namespace

TEST(RotateHue, MovesAroundTheWheel) {
    rotated(255, 0, 0, 510, 0, 255, 0);
    rotated(255, 0, 0, -510, 0, 0, 255);
    rotated(255, 0, 0, 1530, 255, 0, 0);
    rotated(255, 0, 0, 0, 255, 0, 0);
    rotated(255, 0, 0, 255, 255, 255, 0);
    rotated(255, 0, 0, 1530 * 7 + 1020, 0, 0, 255);
    rotated(100, 150, 200, 765, 200, 150, 100);
    for (int grey : {0, 1, 128, 255})
        for (int hue : {1, 510, -77, 1529}) rotated(grey, grey, grey, hue, grey, grey, grey);
}

TEST(RotateHue, KeepsTheSmallestAndLargestChannel) {
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 51)
            for (int b = 0; b < 256; b += 85)
                for (int hue : {1, 200, 765, 1100, 1529, -3}) {
                    std::int32_t R = r, G = g, B = b;
                    rotateHue(R, G, B, hue);
                    EXPECT_EQ(std::min({R, G, B}), std::min({r, g, b}));
                    EXPECT_EQ(std::max({R, G, B}), std::max({r, g, b}));
                }
}

TEST(RotateHue, ChannelsOutsideTheByteRangeStayDefined) {
    // Only unvalidated output ranges give such channels. (-5, 100, 300): span
    // 305, normalised (0, 87, 255), wheel position 1020 - 87 = 933; plus 400
    // is 1333, i.e. (255, 0, 197), scaled back to (300, -5, -5 + 305*197/255).
    rotated(-5, 100, 300, 400, 300, -5, 230);
    // Extreme channels wrap in 32 bits. (INT32_MIN, 0, INT32_MAX): the span
    // wraps to -1, so (c - mn) * 255 / span normalises to (0, INT32_MIN, 255);
    // the wheel position 1020 - INT32_MIN wraps to INT32_MIN + 1020, plus 777
    // is 139 mod 1530, i.e. (255, 139, 0); scaled back, mn + (-1 * 255) / 255
    // wraps to INT32_MAX and the others stay at mn.
    rotated(INT32_MIN, 0, INT32_MAX, 777, INT32_MAX, INT32_MIN, INT32_MIN);
    // (INT32_MAX, INT32_MIN, 1): span -1 again, normalised (255, 0,
    // -(INT32_MIN + 1) * 255 wrapped = 2147483393); position 1530 - that,
    // plus 777, is 904 mod 1530, i.e. (0, 116, 255), back to (mn, mn, mx).
    rotated(INT32_MAX, INT32_MIN, 1, 777, INT32_MIN, INT32_MIN, INT32_MAX);
}

TEST(Pixel, PackingAndTheDibByteOrder) {
    // A 32-bit DIB holds blue in its low byte: RGB(0x12, 0x34, 0x56) is stored as 0x00123456.
    EXPECT_EQ(packPixel(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(swapRedBlue(packPixel(0x12, 0x34, 0x56)), 0x00123456u);
    // Only the low byte of each channel counts, as with RGB().
    EXPECT_EQ(packPixel(0x112, -1, 256 + 7), 0x0007FF12u);
    // The swap converts both ways and drops whatever sits in the top byte.
    for (std::uint32_t p : {0x00000000u, 0x00FFFFFFu, 0x00A1B2C3u, 0xFF010203u, 0x12345678u}) {
        EXPECT_EQ(swapRedBlue(swapRedBlue(p)), p & 0x00FFFFFFu) << std::hex << p;
        EXPECT_EQ(swapRedBlue(p) & 0xFF00u, p & 0xFF00u) << std::hex << p;
    }
}

TEST(Render, DefaultImageCorners) {
    PatternSettings s;
    auto px = reference(s);
    ASSERT_EQ(px.size(), 128u * 128u);
    EXPECT_EQ(px[0], rgb(0, 0, 255));
    EXPECT_EQ(px[127], rgb(255, 127, 0));
    EXPECT_EQ(px[127 * 128], rgb(0, 127, 255));
    EXPECT_EQ(renderImage(s), px);
}

TEST(Render, ReferencePositionShiftsThePattern) {
    PatternSettings s;
    s.pat_x = WaveTriangle;
    s.pat_y = WaveSine;
    s.dth_g = 5;
    s.bmpw = 60;
    s.bmph = 40;
    auto base = reference(s);
    s.basex = 10;
    s.basey = 4;
    auto shifted = reference(s);
    for (int y = 4; y < s.bmph; ++y)
        for (int x = 10; x < s.bmpw; ++x)
            ASSERT_EQ(shifted[y * s.bmpw + x], base[(y - 4) * s.bmpw + (x - 10)]) << x << "," << y;
}

TEST(Render, EveryPixelIsWrittenForOddSizes) {
    for (auto [w, h] : {std::pair{1, 1}, {1, 7}, {13, 1}, {17, 3}}) {
        PatternSettings s;
        s.bmpw = w;
        s.bmph = h;
        s.hue = 300;
        auto px = reference(s);
        for (std::uint32_t p : px) EXPECT_EQ(p >> 24, 0u);
        // The hue is applied after the channels: a rotated render equals the
        // rotation of each unrotated pixel.
        s.hue = 0;
        auto plain = reference(s);
        for (std::size_t i = 0; i < px.size(); ++i) {
            std::int32_t r = plain[i] & 0xFF, g = (plain[i] >> 8) & 0xFF, b = plain[i] >> 16;
            rotateHue(r, g, b, 300);
            EXPECT_EQ(px[i], rgb(r, g, b));
        }
    }
}

// Random sets (some hue turned, some with a period so long that the render
// lowers their accuracy) cropped inside, at the edges and whole; the tiled
// rows read the image as the desktop repeats it, wrapping round its edges.
TEST(Render, CropsAreTheFullRendersPixels) {
    struct Crop {
        std::uint64_t seed;
        std::int32_t w, h, accuracy, hue, period;  // hue, period: 0 as drawn
        bool tiled;
        std::int32_t x0, y0, cw, ch;
    };
    const Crop kCrops[] = {
        {1, 128, 128, 1, 0, 0, false, 10, 20, 30, 40},     {2, 127, 131, 3, 700, 0, false, 0, 0, 127, 131},
        {3, 200, 90, 1, 0, 0, false, 150, 60, 50, 30},     {4, 64, 48, 16, -300, 0, false, 0, 47, 64, 1},
        {5, 33, 17, 5, 0, 0, false, 32, 0, 1, 17},         {9, 2048, 16, 1, 1, 0, false, 1900, 3, 148, 10},
        {10, 5, 4, 1000, 0, 1 << 20, false, 1, 1, 3, 2},   {6, 100, 80, 1, 1200, 0, true, 90, 70, 30, 25},
        {7, 50, 40, 2, 0, 0, true, 0, 0, 240, 240},        {8, 61, 59, 1, 0, 0, true, -7, 130, 130, 70},
        {11, 40, 30, 4, 500, 0, true, 39, 29, 2, 2},       {12, 128, 128, 1, 0, 0, true, 0, 0, 100, 100},
    };
    for (const Crop& c : kCrops) {
        PatternSettings keep;
        keep.bmpw = c.w, keep.bmph = c.h, keep.accuracy = c.accuracy;
        PatternSettings s = randomSettings(keep, c.seed);
        if (c.hue) s.hue = c.hue;
        if (c.period) s.baserw = 0, s.basew = c.period;
        const std::vector<std::uint32_t> full = renderImage(s);
        std::vector<std::uint32_t> crop(static_cast<std::size_t>(c.cw) * c.ch, 0xDEADBEEF);
        ASSERT_TRUE((c.tiled ? renderTiledCrop : renderCrop)(s, c.x0, c.y0, c.cw, c.ch, crop.data(), RenderOptions{}));
        for (std::int32_t y = 0; y < c.ch; ++y)
            for (std::int32_t x = 0; x < c.cw; ++x) {
                const std::int32_t fx = c.tiled ? i32::modPos(c.x0 + x, c.w) : c.x0 + x;
                const std::int32_t fy = c.tiled ? i32::modPos(c.y0 + y, c.h) : c.y0 + y;
                ASSERT_EQ(crop[static_cast<std::size_t>(y) * c.cw + x], full[static_cast<std::size_t>(fy) * c.w + fx])
                    << "seed " << c.seed << " at " << x << "," << y;
            }
    }
}

TEST(Render, CountsEveryRowOnce) {
    // Rows are shared among threads; each must be counted once. The plain
    // path (taken when memory is short) shares rows the same way.
    PatternSettings dithered;
    dithered.pat_x = WaveSine;
    dithered.dth_r = 6;
    dithered.hue = 200;
    for (auto [w, h, accuracy, threads, plain] : {std::tuple{128, 37, 1, 3, false}, {61, 29, 5, 2, false},
                                                  {17, 40, 12, 4, false}, {5, 1, 3, 2, false}, {33, 21, 2, 3, true}}) {
        PatternSettings s = dithered;
        s.bmpw = w, s.bmph = h, s.accuracy = accuracy;
        const std::vector<std::uint32_t> expected = reference(s);
        std::vector<std::uint32_t> px(expected.size(), 0xDEADBEEF);
        std::atomic<int> rows{0};
        const std::atomic<bool> neverRaised{false};
        RenderOptions o;
        o.threads = threads;
        o.rowsDone = &rows;
        o.cancel = &neverRaised;
        RenderTuning tuning;
        tuning.plain = plain;
        EXPECT_TRUE(renderImageTuned(s, px.data(), o, tuning));
        EXPECT_EQ(rows.load(), h);
        EXPECT_EQ(px, expected) << w << "x" << h << " accuracy " << accuracy;
    }
}

TEST(Render, CancelStopsLongRendersPromptly) {
    // Renders of hours or more, cancelled from another thread after 30 ms:
    // many long rows (the flag is looked at between the columns prepared
    // for the whole render and between rows), one row (looked at within
    // it), one pixel whose samples are summed directly (within the pixel),
    // the plain per-pixel path (between pixels), and a flag raised before
    // the call.
    PatternSettings steep;
    steep.mode_r = steep.mode_g = steep.mode_b = EdgeLimit;
    steep.vx_r = steep.vy_r = 1000000;
    steep.baserw = steep.baserh = 1;
    steep.dth_r = 5;
    struct Case {
        const char* what;
        std::int32_t w, h, accuracy;
        bool direct, plain, raisedBefore;
    };
    for (const Case& c : {Case{"many rows", 2048, 2048, 100000, false, false, false},
                          Case{"one row", 2048, 1, 100000, false, false, false},
                          Case{"one pixel", 1, 1, 100000, true, false, false},
                          Case{"plain path", 256, 256, 64, false, true, false},
                          Case{"plain path, one pixel", 1, 1, 300000000, false, true, false},
                          Case{"long pixel", 1, 1, 300000000, false, false, false},
                          Case{"raised before", 2048, 2048, 100000, false, false, true}}) {
        PatternSettings s = steep;
        s.bmpw = c.w, s.bmph = c.h, s.accuracy = c.accuracy;
        RenderTuning tuning;
        tuning.plain = c.plain;
        if (c.direct) tuning.supersample.sums = fast::SupersampleTuning::Sums::Direct;
        std::vector<std::uint32_t> px(static_cast<std::size_t>(c.w) * static_cast<std::size_t>(c.h));
        std::atomic<bool> cancel{c.raisedBefore};
        std::atomic<int> rows{0};
        RenderOptions o;
        o.threads = 2;
        o.cancel = &cancel;
        o.rowsDone = &rows;
        std::atomic<bool> finished{false};
        bool completed = true;
        std::thread render([&] {
            completed = renderImageTuned(s, px.data(), o, tuning);
            finished = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (!c.raisedBefore) {
            EXPECT_FALSE(finished.load()) << c.what << ": finished before it could be cancelled";
        }
        const auto raised = std::chrono::steady_clock::now();
        cancel = true;
        render.join();
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - raised).count();
        EXPECT_FALSE(completed) << c.what;
        EXPECT_LT(rows.load(), c.h) << c.what;
        // The uncancelled renders would take hours; a few seconds leave room
        // for a loaded machine and the sanitizers.
        EXPECT_LT(waited, 5.0) << c.what;
    }
}

TEST(Render, AccuracyBeyondThePeriodBoundDrawsAtTheLargestFactorWithin) {
    // A period scaled by the accuracy may not pass 536870911: the image is the
    // one of the largest factor that keeps both periods within it. These
    // periods leave factors of 131071 (pixels longer than a chunk of
    // samples), 8 and 1 (a period beyond the bound on its own); at the
    // accuracies asked for, a render would never end.
    const std::int32_t bound = 536870911;
    PatternSettings base;
    base.pat_x = WaveSine, base.mode_g = EdgeTurnSlow, base.dth_r = 3, base.vy_r = 4000, base.hue = 90;
    for (std::int32_t period : {4096, 1 << 26, 1 << 30})
        for (auto [w, h] : {std::pair{1, 1}, {2, 3}})
            for (std::int32_t accuracy : {(1 << 29) - 1, 1 << 29, INT32_MAX}) {
                PatternSettings s = base;
                s.bmpw = w, s.bmph = h, s.accuracy = accuracy;
                s.basew = period - w;
                s.baseh = period - (period == 4096 ? 7 : h);  // a shorter vertical period
                const std::int32_t factor = std::max(1, bound / period);
                ASSERT_EQ(s.periodX(), period);
                PatternSettings within = s;
                within.accuracy = factor;
                std::vector<std::uint32_t> expected;
                if (factor <= 8) {
                    expected = reference(within);
                    EXPECT_EQ(reference(s), expected) << "the reference at accuracy " << accuracy;
                } else {
                    // Every sample of a pixel side at once.
                    RenderTuning whole;
                    whole.supersample.chunkSamples = factor;
                    expected.resize(static_cast<std::size_t>(w * h));
                    ASSERT_TRUE(renderImageTuned(within, expected.data(), RenderOptions{}, whole));
                }
                EXPECT_EQ(renderImage(s), expected) << w << "x" << h << ", period " << period << ", accuracy "
                                                    << accuracy;
            }
}

TEST(TileMeasure, TellsSeamsFlatnessAndNoise) {
    PatternSettings s;  // the default ramps: a hard edge where copies meet
    TileMeasure m = measureTile(renderImage(s).data(), s.bmpw, s.bmph);
    EXPECT_TRUE(m.columns.seam());
    EXPECT_TRUE(m.rows.seam());
    EXPECT_FALSE(m.flat());
    s.pat_x = s.pat_y = WaveTriangleHalf;  // two slopes that meet at the border
    s.basew = s.baseh = -64;
    m = measureTile(renderImage(s).data(), s.bmpw, s.bmph);
    EXPECT_TRUE(m.seamless()) << m.columns.wrap << " " << m.columns.sharpest;
    EXPECT_FALSE(m.flat() || m.noise());
    std::vector<std::uint32_t> px(32 * 16);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = (i + i / 32) % 2 ? 0xFFFFFFu : 0;
    m = measureTile(px.data(), 32, 16);
    EXPECT_TRUE(m.flat() && m.noise() && m.seamless());
}
