// The bytes of a PNG file for a rendered image, lossless: a palette image of
// exactly the colours used when there are at most 256 of them (1, 2, 4 or 8
// bits per index, the smallest that holds the palette), 8-bit RGB otherwise.
// Deflate, Adler-32 and CRCs come from zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// encodePng uses the defaults, chosen by measuring size and time on
// 2048 x 2048 wallpapers; the rest is there to measure against.
struct PngOptions {
    // zlib levels 0..9. RGB: on dithered 2048 x 2048 images level 6 took
    // 1.7 to 2.7 times as long as 4 for files 5-15% smaller; smooth images
    // took the same time at either and came out 14-37% smaller at 6, but are
    // tens of KB anyway. Palette rows are at most a third of the bytes and
    // unfiltered: there level 9 took at most a fifth longer than 6 (less on
    // posterised images) for files 15-45% smaller.
    int rgbLevel = 4;
    int paletteLevel = 9;
    // A zlib strategy. Z_FILTERED came out the same as the default and
    // Z_RLE 1.6 to 12 times larger on dithered images.
    int strategy = 0;
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

// The same file in two steps, for callers that keep the bytes in memory of
// their own: the encoding is done first, so that the file's size is known
// before any of its bytes are laid out. Throws as encodePng does.
class PngEncoding {
public:
    PngEncoding(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, const PngOptions& options = {});
    ~PngEncoding();
    PngEncoding(const PngEncoding&) = delete;
    PngEncoding& operator=(const PngEncoding&) = delete;

    std::size_t size() const;
    // Writes the file's size() bytes to out.
    void write(std::uint8_t* out) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The pieces of an animated PNG, whose frames must all be of one kind: 8-bit
// RGB whatever colours a frame has. The signature and IHDR of such a file:
std::vector<std::uint8_t> pngRgbHeader(std::int32_t width, std::int32_t height);
// The zlib stream of the image data of the pixels as 8-bit RGB, as IDAT
// chunks (or an animation's fdAT chunks) carry it. Throws as encodePng does.
std::vector<std::uint8_t> deflatePngRgb(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                        const PngOptions& options = {});
// A chunk (length, type, data, CRC) appended to out.
void appendPngChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data, std::size_t size);
