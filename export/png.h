// The bytes of a PNG file for a rendered image, lossless: a palette image of
// exactly the colours used when there are at most 256 of them (1, 2, 4 or 8
// bits per index, the smallest that holds the palette), 8-bit RGB otherwise.
// Deflate, Adler-32 and CRCs come from zlib.
#pragma once

#include <cstdint>
#include <vector>

// encodePng uses the defaults, chosen by measuring size and time on
// 2048 x 2048 images; the rest is there to measure against.
struct PngOptions {
    int level = 6;                   // zlib level 0..9
    int strategy = 0;                // a zlib strategy: Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE, ...
    bool filterPaletteRows = false;  // choose a filter per row for palette images too
    // Bands of rows are deflated side by side on this many threads (0: every
    // hardware thread). The bands do not depend on it, so neither do the bytes.
    int threads = 0;
};

// pixels: width x height entries of 0x00BBGGRR (red in the low byte; the top
// byte is ignored), top row first, as encodeBmp takes them. Throws
// std::invalid_argument when a side is not positive or an option is out of
// range, and std::bad_alloc when memory runs out (or the image could never
// fit in it).
std::vector<std::uint8_t> encodePng(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                    const PngOptions& options = {});
