#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "bmp.h"
#include "render.h"
#include "test_util.h"

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

std::vector<std::uint32_t> gradient(int w, int h) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[y * w + x] = packPixel(x * 37 + y, y * 53 + 7 * x, (x ^ y) * 29);
    return px;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(Bmp, HeadersAndSizes) {
    struct Case { int w, h, bits; std::uint32_t stride; };
    for (Case c : {Case{1, 1, 24, 4}, {4, 2, 24, 12}, {5, 3, 24, 16}, {1, 1, 8, 4}, {5, 2, 8, 8}, {128, 128, 24, 384},
                   {128, 128, 8, 128}, {2048, 1, 8, 2048}}) {
        EXPECT_EQ(bmpStride(c.w, c.bits), c.stride);
        auto px = gradient(c.w, c.h);
        auto b = encodeBmp(px.data(), c.w, c.h, c.bits);
        const std::uint32_t offset = c.bits == 8 ? 1078 : 54;
        ASSERT_EQ(b.size(), offset + c.stride * c.h);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(le32(b, 2), b.size());
        EXPECT_EQ(le32(b, 6), 0u);
        EXPECT_EQ(le32(b, 10), offset);
        EXPECT_EQ(le32(b, 14), 40u);
        EXPECT_EQ(le32(b, 18), static_cast<std::uint32_t>(c.w));
        EXPECT_EQ(le32(b, 22), static_cast<std::uint32_t>(c.h));
        EXPECT_EQ(le16(b, 26), 1u);
        EXPECT_EQ(le16(b, 28), static_cast<std::uint32_t>(c.bits));
        EXPECT_EQ(le32(b, 30), 0u);
        EXPECT_EQ(le32(b, 34), c.stride * c.h);
        for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(le32(b, at), 0u);
        // Padding bytes at the end of each stored row are zero.
        const std::uint32_t used = c.bits == 8 ? c.w : 3 * c.w;
        for (int row = 0; row < c.h; ++row)
            for (std::uint32_t i = used; i < c.stride; ++i) EXPECT_EQ(b[offset + row * c.stride + i], 0);
    }
}

TEST(Bmp, PaletteIsThreeThreeTwo) {
    const std::set<int> redGreen = {0, 36, 72, 109, 145, 182, 218, 255}, blue = {0, 85, 170, 255};
    PatternSettings s;
    auto px = renderImage(s);
    auto b = encodeBmp(px.data(), s.bmpw, s.bmph, 8);
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* e = &b[54 + 4 * i];
        EXPECT_TRUE(blue.count(e[0])) << i;
        EXPECT_TRUE(redGreen.count(e[1])) << i;
        EXPECT_TRUE(redGreen.count(e[2])) << i;
        EXPECT_EQ(e[3], 0);
        // Low three bits select red, the next three green, the top two blue.
        EXPECT_EQ(e[2], *std::next(redGreen.begin(), i & 7));
        EXPECT_EQ(e[1], *std::next(redGreen.begin(), (i >> 3) & 7));
        EXPECT_EQ(e[0], *std::next(blue.begin(), i >> 6));
    }
    EXPECT_EQ(paletteIndex332(packPixel(255, 255, 255)), 255);
    EXPECT_EQ(paletteIndex332(packPixel(200, 100, 50)), 30);
    EXPECT_EQ(paletteColor332(30), packPixel(218, 109, 0));
    EXPECT_EQ(paletteIndex332(packPixel(0, 0, 0)), 0);
    EXPECT_EQ(paletteIndex332(packPixel(31, 31, 63)), 0);  // no rounding to the nearest colour
}

TEST(Bmp, RowsAreStoredBottomUp) {
    const int w = 3, h = 2;
    std::vector<std::uint32_t> px = {packPixel(1, 2, 3), packPixel(4, 5, 6), packPixel(7, 8, 9),
                                     packPixel(10, 11, 12), packPixel(13, 14, 15), packPixel(16, 17, 18)};
    auto b = encodeBmp(px.data(), w, h, 24);
    const std::vector<std::uint8_t> bottom = {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0};
    const std::vector<std::uint8_t> top = {3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 54, b.begin() + 66), bottom);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 66, b.begin() + 78), top);
}

TEST(Bmp, IndependentReaderSeesTheSamePixels) {
    const std::string dir = testutil::scratchDir();
    for (auto [w, h] : {std::pair{5, 3}, {128, 128}, {33, 17}}) {
        auto px = gradient(w, h);
        for (int bits : {24, 8}) {
            const std::string path = dir + "/g" + std::to_string(w) + "_" + std::to_string(bits) + ".bmp";
            writeBytes(path, encodeBmp(px.data(), w, h, bits));
            int rw = 0, rh = 0;
            auto decoded = testutil::decodeWithImageMagick(path, &rw, &rh);
            ASSERT_EQ(rw, w);
            ASSERT_EQ(rh, h);
            ASSERT_EQ(decoded.size(), px.size()) << path;
            for (std::size_t i = 0; i < px.size(); ++i) {
                const std::uint32_t expected = bits == 24 ? px[i] : paletteColor332(paletteIndex332(px[i]));
                ASSERT_EQ(decoded[i], expected) << path << " pixel " << i;
            }
        }
    }
}

TEST(Bmp, BandsOfRowsIntoAnUnclearedBufferMakeTheSameFile) {
    // pallodex-render encodes bands of rows on several threads into a buffer
    // it never clears: every byte, headers and row padding included, must
    // come from the encoder, and any split must give encodeBmp's bytes.
    for (auto [w, h] : {std::pair{1, 1}, {5, 7}, {33, 17}, {64, 3}}) {
        const auto px = gradient(w, h);
        for (int bits : {24, 8}) {
            const std::vector<std::uint8_t> whole = encodeBmp(px.data(), w, h, bits);
            for (int bands : {1, 2, 3, h}) {
                std::vector<std::uint8_t> out(bmpFileSize(w, h, bits), 0xAA);
                writeBmpHeader(out.data(), w, h, bits);
                for (int band = bands - 1; band >= 0; --band)  // any order
                    encodeBmpRows(px.data(), w, h, bits, h * band / bands, h * (band + 1) / bands, out.data());
                EXPECT_EQ(out, whole) << w << "x" << h << " " << bits << " bits in " << bands << " bands";
            }
        }
    }
}
