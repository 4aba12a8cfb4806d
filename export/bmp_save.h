// Saving the image surface as a BMP file once the file is open: read the
// pixels, encode them, write the bytes, and say exactly what went wrong. Free
// of Windows headers so that every failure path can be tested on any host;
// the Win32 command supplies the surface reader and the file writer.
#pragma once

#include <cstddef>
#include <cstdint>

// A pixel of a 32-bit DIB (blue in the low byte) as the engine packs it
// (red in the low byte); the top byte is dropped.
inline std::uint32_t dibToPixel(std::uint32_t dib) {
    return ((dib & 0xFFu) << 16) | (dib & 0xFF00u) | ((dib >> 16) & 0xFFu);
}

// The save dialog's filter index chooses the format: 2 is the 256-colour
// entry, anything else full colour.
inline int bmpBitsForFilter(std::int32_t filterIndex) { return filterIndex == 2 ? 8 : 24; }

struct BmpSaveIo {
    void* ctx;
    // Fills width x height DIB pixels (blue in the low byte), top row first.
    // Returns false when the surface cannot be read at that size.
    bool (*readSurface)(void* ctx, std::uint32_t* dibPixels, std::int32_t width, std::int32_t height);
    // Writes size bytes and returns how many were written.
    std::uint32_t (*write)(void* ctx, const std::uint8_t* data, std::uint32_t size);
    // Allocates the pixel buffer; null means std::malloc. What it returns is
    // released with std::free. Lets tests stand in for an exhausted heap.
    void* (*allocate)(std::size_t bytes);
};

enum class BmpSaveResult { Written, NoMemory, ReadFailed, WriteFailed };

// bitsPerPixel is 24 or 8. Anything but Written means the file is incomplete.
BmpSaveResult writeSurfaceAsBmp(std::int32_t width, std::int32_t height, int bitsPerPixel, const BmpSaveIo& io);
