// The bytes of a Windows BMP file for a rendered image: 24 bits per pixel, or
// 8 bits with a fixed 3-3-2 palette. Rows are stored bottom-up, padded to 4.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

std::uint32_t bmpStride(std::int32_t width, int bitsPerPixel);
// Palette index of a 0x00BBGGRR pixel: top 2 bits of blue, 3 of green, 3 of red.
std::uint8_t paletteIndex332(std::uint32_t pixel);
// Palette entry i as 0x00BBGGRR.
std::uint32_t paletteColor332(int index);

// pixels: width x height, top row first. bitsPerPixel is 24 or 8.
std::vector<std::uint8_t> encodeBmp(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                    int bitsPerPixel);

// The same bytes in parts, so that a caller can encode bands of rows on
// several threads: out must hold bmpFileSize bytes; writeBmpHeader fills the
// headers (and palette), encodeBmpRows image rows y0..y1-1, padding included.
std::size_t bmpFileSize(std::int32_t width, std::int32_t height, int bitsPerPixel);
void writeBmpHeader(std::uint8_t* out, std::int32_t width, std::int32_t height, int bitsPerPixel);
void encodeBmpRows(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, int bitsPerPixel,
                   std::int32_t y0, std::int32_t y1, std::uint8_t* out);
