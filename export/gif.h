// The pieces of an animated GIF (89a): the header with one palette for all
// frames and the loop-forever extension, each frame as a full picture of
// palette indices with its delay, and the trailer. Frames are compressed
// one by one, so that several threads can share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The header, logical screen and global palette (0x00BBGGRR colours, at
// most 256, padded to the power of two the index bits give), then the
// NETSCAPE2.0 extension that plays the frames forever.
void appendGifHeader(std::vector<std::uint8_t>& out, std::int32_t width, std::int32_t height,
                     const std::vector<std::uint32_t>& palette, int bits);
// One frame of width x height indices (each below 2^bits): a graphic
// control extension with the delay in hundredths of a second (the frame
// stays when the next one comes), the image descriptor and the LZW data.
void appendGifFrame(std::vector<std::uint8_t>& out, const std::uint8_t* indices, std::int32_t width,
                    std::int32_t height, int bits, std::uint16_t delayCentiseconds);
constexpr std::uint8_t kGifTrailer = 0x3B;

// GIF's variable-width LZW of count indices (each below 2^minCodeSize,
// minCodeSize 2..8), as data sub-blocks of at most 255 bytes and the empty
// block that ends them, after the minimum code size byte.
void appendGifLzw(std::vector<std::uint8_t>& out, const std::uint8_t* indices, std::size_t count, int minCodeSize);
