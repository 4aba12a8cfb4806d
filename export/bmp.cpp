#include "bmp.h"

#include <algorithm>
#include <cstddef>

namespace {

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPaletteSize = 256 * 4;

}  // namespace

std::uint32_t bmpStride(std::int32_t width, int bitsPerPixel) {
    std::uint32_t bytes = static_cast<std::uint32_t>(width) * (bitsPerPixel == 8 ? 1u : 3u);
    return (bytes + 3u) & ~3u;
}

std::uint8_t paletteIndex332(std::uint32_t pixel) {
    const std::uint32_t r = pixel & 0xFF, g = (pixel >> 8) & 0xFF, b = (pixel >> 16) & 0xFF;
    return static_cast<std::uint8_t>(((b >> 6) << 6) | ((g >> 5) << 3) | (r >> 5));
}

std::uint32_t paletteColor332(int i) {
    const std::uint32_t r = (i & 7) * 255 / 7, g = ((i >> 3) & 7) * 255 / 7, b = ((i >> 6) & 3) * 255 / 3;
    return r | (g << 8) | (b << 16);
}

namespace {

std::uint32_t pixelOffset(int bitsPerPixel) {
    return kFileHeaderSize + kInfoHeaderSize + (bitsPerPixel == 8 ? kPaletteSize : 0);
}

}  // namespace

std::size_t bmpFileSize(std::int32_t width, std::int32_t height, int bitsPerPixel) {
    return pixelOffset(bitsPerPixel) +
           static_cast<std::size_t>(bmpStride(width, bitsPerPixel)) * static_cast<std::size_t>(height);
}

void writeBmpHeader(std::uint8_t* p, std::int32_t width, std::int32_t height, int bitsPerPixel) {
    const bool indexed = bitsPerPixel == 8;
    const std::uint32_t imageSize = bmpStride(width, bitsPerPixel) * static_cast<std::uint32_t>(height);
    const std::uint32_t offset = pixelOffset(bitsPerPixel);
    std::fill(p, p + offset, std::uint8_t{0});
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, offset + imageSize);
    put32(p + 10, offset);
    put32(p + 14, kInfoHeaderSize);
    put32(p + 18, static_cast<std::uint32_t>(width));
    put32(p + 22, static_cast<std::uint32_t>(height));
    put16(p + 26, 1);
    put16(p + 28, indexed ? 8 : 24);
    put32(p + 34, imageSize);

    if (indexed) {
        std::uint8_t* pal = p + kFileHeaderSize + kInfoHeaderSize;
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t c = paletteColor332(i);
            pal[4 * i + 0] = static_cast<std::uint8_t>(c >> 16);
            pal[4 * i + 1] = static_cast<std::uint8_t>(c >> 8);
            pal[4 * i + 2] = static_cast<std::uint8_t>(c);
        }
    }
}

void encodeBmpRows(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, int bitsPerPixel,
                   std::int32_t y0, std::int32_t y1, std::uint8_t* out) {
    const bool indexed = bitsPerPixel == 8;
    const std::uint32_t stride = bmpStride(width, bitsPerPixel);
    const std::uint32_t used = static_cast<std::uint32_t>(width) * (indexed ? 1u : 3u);
    for (std::int32_t y = y0; y < y1; ++y) {
        // The first stored row is the bottom image row.
        std::uint8_t* row = out + pixelOffset(bitsPerPixel) +
                            static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(stride);
        const std::uint32_t* src = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        if (indexed) {
            for (std::int32_t x = 0; x < width; ++x) row[x] = paletteIndex332(src[x]);
        } else {
            std::uint8_t* d = row;
            for (std::int32_t x = 0; x < width; ++x, d += 3) {
                d[0] = static_cast<std::uint8_t>(src[x] >> 16);
                d[1] = static_cast<std::uint8_t>(src[x] >> 8);
                d[2] = static_cast<std::uint8_t>(src[x]);
            }
        }
        std::fill(row + used, row + stride, std::uint8_t{0});
    }
}

std::vector<std::uint8_t> encodeBmp(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                    int bitsPerPixel) {
    std::vector<std::uint8_t> out(bmpFileSize(width, height, bitsPerPixel));
    writeBmpHeader(out.data(), width, height, bitsPerPixel);
    encodeBmpRows(pixels, width, height, bitsPerPixel, 0, height, out.data());
    return out;
}
