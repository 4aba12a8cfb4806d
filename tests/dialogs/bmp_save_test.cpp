#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "bmp.h"
#include "bmp_save.h"
#include "render.h"
#include "test_util.h"

namespace {

// A surface of DIB pixels and a file of bytes, with knobs for every failure.
struct FakeSurfaceFile {
    std::vector<std::uint32_t> dib;  // blue in the low byte, top row first
    std::int32_t width = 0, height = 0;
    bool readFails = false;
    std::int64_t writeLimit = -1;  // bytes the "disk" takes in one call; -1: all
    std::vector<std::uint8_t> file;
    int reads = 0, writes = 0;

    static FakeSurfaceFile& of(void* ctx) { return *static_cast<FakeSurfaceFile*>(ctx); }
    BmpSaveIo io(void* (*allocate)(std::size_t) = nullptr) {
        return BmpSaveIo{
            this,
            [](void* ctx, std::uint32_t* out, std::int32_t w, std::int32_t h) {
                FakeSurfaceFile& f = of(ctx);
                ++f.reads;
                if (f.readFails || w != f.width || h != f.height) return false;
                std::memcpy(out, f.dib.data(), f.dib.size() * sizeof(std::uint32_t));
                return true;
            },
            [](void* ctx, const std::uint8_t* data, std::uint32_t size) {
                FakeSurfaceFile& f = of(ctx);
                ++f.writes;
                std::uint32_t n = size;
                if (f.writeLimit >= 0 && f.writeLimit < n) n = static_cast<std::uint32_t>(f.writeLimit);
                f.file.insert(f.file.end(), data, data + n);
                return n;
            },
            allocate,
        };
    }
};

// The engine's pixels as a 32-bit DIB stores them: blue, green, red, unused.
FakeSurfaceFile surfaceOf(const std::vector<std::uint32_t>& engine, int w, int h) {
    FakeSurfaceFile f;
    f.width = w;
    f.height = h;
    for (std::uint32_t p : engine) {
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                       static_cast<std::uint8_t>(p), 0xA5};  // junk in the unused byte
        std::uint32_t dib;
        std::memcpy(&dib, bytes, 4);
        f.dib.push_back(dib);
    }
    return f;
}

std::size_t g_lastAllocation;
void* countingAllocate(std::size_t bytes) {
    g_lastAllocation = bytes;
    return std::malloc(bytes);
}
void* failingAllocate(std::size_t) { return nullptr; }

}  // namespace

TEST(BmpSave, DibPixelsBecomeEnginePixels) {
    EXPECT_EQ(dibToPixel(0x00112233u), 0x00332211u);
    EXPECT_EQ(dibToPixel(0xFF0000FFu), 0x00FF0000u);  // pure blue; the unused byte is dropped
    EXPECT_EQ(dibToPixel(0x00FF0000u), 0x000000FFu);  // pure red
    EXPECT_EQ(bmpBitsForFilter(1), 24);
    EXPECT_EQ(bmpBitsForFilter(2), 8);
    EXPECT_EQ(bmpBitsForFilter(0), 24);
    EXPECT_EQ(bmpBitsForFilter(3), 24);
}

TEST(BmpSave, TwentyFourBitRowsHoldTheDibBytesInOrder) {
    // A 2 x 2 surface: the BMP stores blue, green, red, exactly the first three
    // bytes of each DIB pixel, with the bottom row first and 2 padding bytes.
    FakeSurfaceFile f;
    f.width = f.height = 2;
    f.dib = {0x00010203u, 0x00040506u, 0x00070809u, 0x000A0B0Cu};
    ASSERT_EQ(writeSurfaceAsBmp(2, 2, 24, f.io()), BmpSaveResult::Written);
    ASSERT_EQ(f.file.size(), 54u + 2 * 8);
    const std::vector<std::uint8_t> rows = {0x09, 0x08, 0x07, 0x0C, 0x0B, 0x0A, 0, 0,
                                            0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(f.file.begin() + 54, f.file.end()), rows);
}

TEST(BmpSave, WritesTheImageAnIndependentReaderSees) {
    const std::string dir = testutil::scratchDir();
    PatternSettings s;
    s.bmpw = 37;
    s.bmph = 23;
    s.hue = 200;
    const std::vector<std::uint32_t> engine = renderImage(s);
    for (int bits : {24, 8}) {
        FakeSurfaceFile f = surfaceOf(engine, s.bmpw, s.bmph);
        g_lastAllocation = 0;
        ASSERT_EQ(writeSurfaceAsBmp(s.bmpw, s.bmph, bits, f.io(countingAllocate)), BmpSaveResult::Written);
        EXPECT_EQ(g_lastAllocation, 37u * 23u * 4u);
        EXPECT_EQ(f.file, encodeBmp(engine.data(), s.bmpw, s.bmph, bits));

        const std::string path = dir + "/out" + std::to_string(bits) + ".bmp";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.file.data()), f.file.size());
        int w = 0, h = 0;
        const std::vector<std::uint32_t> decoded = testutil::decodeWithImageMagick(path, &w, &h);
        ASSERT_EQ(w, s.bmpw);
        ASSERT_EQ(h, s.bmph);
        ASSERT_EQ(decoded.size(), engine.size());
        for (std::size_t i = 0; i < engine.size(); ++i) {
            const std::uint32_t p = engine[i];
            // 3-3-2 reduction: keep the top bits and stretch them to 0..255.
            const std::uint32_t r = (p & 0xFF) >> 5, g = ((p >> 8) & 0xFF) >> 5, b = ((p >> 16) & 0xFF) >> 6;
            const std::uint32_t reduced = (r * 255 / 7) | ((g * 255 / 7) << 8) | ((b * 255 / 3) << 16);
            ASSERT_EQ(decoded[i], bits == 24 ? p : reduced) << bits << " bits, pixel " << i;
        }
    }
}

TEST(BmpSave, EveryFailureIsReported) {
    PatternSettings s;
    const std::vector<std::uint32_t> engine = renderImage(s);

    {   // a short write: the disk took only part of the file
        FakeSurfaceFile f = surfaceOf(engine, 128, 128);
        f.writeLimit = 1000;
        EXPECT_EQ(writeSurfaceAsBmp(128, 128, 24, f.io()), BmpSaveResult::WriteFailed);
    }
    {   // a failed write
        FakeSurfaceFile f = surfaceOf(engine, 128, 128);
        f.writeLimit = 0;
        EXPECT_EQ(writeSurfaceAsBmp(128, 128, 8, f.io()), BmpSaveResult::WriteFailed);
    }
    {   // no memory for the pixel buffer: nothing is read or written
        FakeSurfaceFile f = surfaceOf(engine, 128, 128);
        EXPECT_EQ(writeSurfaceAsBmp(128, 128, 24, f.io(failingAllocate)), BmpSaveResult::NoMemory);
        EXPECT_EQ(f.reads, 0);
        EXPECT_EQ(f.writes, 0);
    }
    {   // the surface cannot be read (wrong size, or the read failed)
        FakeSurfaceFile f = surfaceOf(engine, 128, 128);
        EXPECT_EQ(writeSurfaceAsBmp(128, 64, 24, f.io()), BmpSaveResult::ReadFailed);
        f.readFails = true;
        EXPECT_EQ(writeSurfaceAsBmp(128, 128, 24, f.io()), BmpSaveResult::ReadFailed);
        EXPECT_EQ(f.writes, 0);
    }
    {   // an empty surface is never written as an image
        FakeSurfaceFile f;
        EXPECT_EQ(writeSurfaceAsBmp(0, 5, 24, f.io()), BmpSaveResult::ReadFailed);
        EXPECT_EQ(writeSurfaceAsBmp(5, -1, 8, f.io()), BmpSaveResult::ReadFailed);
        EXPECT_EQ(f.reads + f.writes, 0);
    }
}
