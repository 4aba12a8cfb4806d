#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "hue.h"
#include "render.h"

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

TEST(Render, ProgressCountsEveryRow) {
    PatternSettings s;
    s.bmph = 37;
    std::atomic<int> rows{0};
    RenderOptions o;
    o.rowsDone = &rows;
    auto px = renderImage(s, o);
    EXPECT_EQ(rows.load(), 37);
    EXPECT_EQ(px, reference(s));
}
