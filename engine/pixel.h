// The renderer's pixel format, 0x00BBGGRR (red in the low byte, as COLORREF),
// and its one conversion to the 0x00RRGGBB order of 32-bit DIBs and BMP files.
#pragma once

#include <cstdint>

inline std::uint32_t packPixel(std::int32_t r, std::int32_t g, std::int32_t b) {
    // Only the low byte of each channel is kept, as the RGB() macro does.
    return (static_cast<std::uint32_t>(r) & 0xFFu) | ((static_cast<std::uint32_t>(g) & 0xFFu) << 8) |
           ((static_cast<std::uint32_t>(b) & 0xFFu) << 16);
}

// Exchanges the red and blue bytes and clears the top byte: 0x00BBGGRR <->
// 0x00RRGGBB. The swap is its own inverse, so it converts in both directions.
inline std::uint32_t swapRedBlue(std::uint32_t p) {
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}
