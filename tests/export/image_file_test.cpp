#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "image_file.h"
#include "render.h"

// flg_bit in pallodex.ini is the save dialog's filter index: 1 full-colour BMP,
// 2 256-colour BMP, 3 PNG; anything else (an edited or older file) must still
// give a file, in full colour.
TEST(ImageFile, TheSaveDialogsFilterIndexChoosesTheFormat) {
    PatternSettings s;
    s.bmpw = 37;
    s.bmph = 23;
    s.hue = 300;
    const std::vector<std::uint32_t> px = renderImage(s);
    struct Case {
        std::int32_t filterIndex;
        const char* kind;  // what the file's own header must say
        const char* extension;
    };
    for (const Case& c : {Case{1, "bmp24", "bmp"}, {2, "bmp8", "bmp"}, {3, "png", "png"}, {0, "bmp24", "bmp"},
                          {4, "bmp24", "bmp"}, {-1, "bmp24", "bmp"}, {INT32_MAX, "bmp24", "bmp"}}) {
        const ImageFormat f = imageFormatForFilter(c.filterIndex);
        const std::vector<std::uint8_t> bytes = encodeImage(px.data(), s.bmpw, s.bmph, f);
        ASSERT_GT(bytes.size(), 30u);
        std::string kind;
        if (bytes[0] == 0x89 && std::string(bytes.begin() + 1, bytes.begin() + 4) == "PNG")
            kind = "png";
        else if (bytes[0] == 'B' && bytes[1] == 'M')
            kind = "bmp" + std::to_string(bytes[28]);  // bits per pixel
        EXPECT_EQ(kind, c.kind) << "filter " << c.filterIndex;
        EXPECT_STREQ(imageExtension(f), c.extension) << "filter " << c.filterIndex;
    }
}

// Large enough for several bands of rows; the memory handed over is never
// cleared, so every byte must be written.
TEST(ImageFile, BytesIntoTheCallersMemoryAreTheSameOnAnyThreadCount) {
    PatternSettings s;
    s.bmpw = 512;
    s.bmph = 300;
    s.dth_g = 5;
    const std::vector<std::uint32_t> px = renderImage(s);
    for (ImageFormat f : kSaveDialogFormats) {
        const std::vector<std::uint8_t> expected = encodeImage(px.data(), s.bmpw, s.bmph, f, ImageFileOptions{1});
        for (int threads : {2, 3, 0}) {
            std::vector<std::uint8_t> bytes;
            encodeImage(px.data(), s.bmpw, s.bmph, f, ImageFileOptions{threads}, [&](std::size_t size) {
                bytes.assign(size, 0xA5);
                return bytes.data();
            });
            EXPECT_TRUE(bytes == expected) << imageExtension(f) << ", " << threads << " threads";
        }
    }
}
