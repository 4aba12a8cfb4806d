#include "image_file.h"

#include "bmp.h"
#include "png.h"

ImageFormat imageFormatForFilter(std::int32_t filterIndex) {
    constexpr std::int32_t count = sizeof kSaveDialogFormats / sizeof kSaveDialogFormats[0];
    return filterIndex >= 1 && filterIndex <= count ? kSaveDialogFormats[filterIndex - 1] : kSaveDialogFormats[0];
}

const char* imageExtension(ImageFormat format) { return format == ImageFormat::Png ? "png" : "bmp"; }

std::vector<std::uint8_t> encodeImage(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                      ImageFormat format) {
    switch (format) {
        case ImageFormat::Png:
            return encodePng(pixels, width, height);
        case ImageFormat::Bmp8:
            return encodeBmp(pixels, width, height, 8);
        default:
            return encodeBmp(pixels, width, height, 24);
    }
}
