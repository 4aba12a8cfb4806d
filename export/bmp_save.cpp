#include "bmp_save.h"

#include <cstdlib>
#include <new>
#include <vector>

#include "bmp.h"

namespace {

struct FreeOnExit {
    void* p;
    ~FreeOnExit() { std::free(p); }
};

BmpSaveResult encodeAndWrite(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                             int bitsPerPixel, const BmpSaveIo& io) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = encodeBmp(pixels, width, height, bitsPerPixel);
    } catch (const std::bad_alloc&) {
        return BmpSaveResult::NoMemory;
    }
    const auto size = static_cast<std::uint32_t>(bytes.size());
    // A short write is a failure like any other: the rest of the image is
    // missing and a viewer would show garbage or nothing.
    return io.write(io.ctx, bytes.data(), size) == size ? BmpSaveResult::Written : BmpSaveResult::WriteFailed;
}

}  // namespace

BmpSaveResult writeSurfaceAsBmp(std::int32_t width, std::int32_t height, int bitsPerPixel, const BmpSaveIo& io) {
    if (width <= 0 || height <= 0) return BmpSaveResult::ReadFailed;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t bytes = count * sizeof(std::uint32_t);
    FreeOnExit buffer{io.allocate ? io.allocate(bytes) : std::malloc(bytes)};
    if (!buffer.p) return BmpSaveResult::NoMemory;

    auto* pixels = static_cast<std::uint32_t*>(buffer.p);
    if (!io.readSurface(io.ctx, pixels, width, height)) return BmpSaveResult::ReadFailed;
    for (std::size_t i = 0; i < count; ++i) pixels[i] = dibToPixel(pixels[i]);
    return encodeAndWrite(pixels, width, height, bitsPerPixel, io);
}
