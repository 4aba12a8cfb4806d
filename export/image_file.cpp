#include "image_file.h"

#include <algorithm>

#include "bmp.h"
#include "png.h"
#include "workers.h"

ImageFormat imageFormatForFilter(std::int32_t filterIndex) {
    constexpr std::int32_t count = sizeof kSaveDialogFormats / sizeof kSaveDialogFormats[0];
    return filterIndex >= 1 && filterIndex <= count ? kSaveDialogFormats[filterIndex - 1] : kSaveDialogFormats[0];
}

const char* imageExtension(ImageFormat format) { return format == ImageFormat::Png ? "png" : "bmp"; }

namespace {

// Bands of rows on several threads: a large image takes as long to encode on
// one thread as to render on all of them.
void encodeBmpInBands(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, int bits, int threads,
                      std::uint8_t* out) {
    writeBmpHeader(out, width, height, bits);
    const std::int64_t pixelCount = static_cast<std::int64_t>(width) * height;
    const int bands = static_cast<int>(
        std::min<std::int64_t>({workerCount(threads), height, std::max<std::int64_t>(pixelCount / 65536, 1)}));
    forEachItem(bands, bands, nullptr, [&](int, std::int32_t band) {
        const std::int32_t y0 = static_cast<std::int32_t>(static_cast<std::int64_t>(height) * band / bands);
        const std::int32_t y1 = static_cast<std::int32_t>(static_cast<std::int64_t>(height) * (band + 1) / bands);
        encodeBmpRows(pixels, width, height, bits, y0, y1, out);
        return true;
    });
}

}  // namespace

void encodeImage(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, ImageFormat format,
                 const ImageFileOptions& options, const std::function<std::uint8_t*(std::size_t)>& room) {
    if (format == ImageFormat::Png) {
        PngOptions png;
        png.threads = options.threads;
        const PngEncoding encoding(pixels, width, height, png);
        encoding.write(room(encoding.size()));
        return;
    }
    const int bits = format == ImageFormat::Bmp8 ? 8 : 24;
    encodeBmpInBands(pixels, width, height, bits, options.threads, room(bmpFileSize(width, height, bits)));
}

std::vector<std::uint8_t> encodeImage(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                      ImageFormat format, const ImageFileOptions& options) {
    std::vector<std::uint8_t> bytes;
    encodeImage(pixels, width, height, format, options, [&](std::size_t size) {
        bytes.resize(size);
        return bytes.data();
    });
    return bytes;
}
