#include "image_file.h"

#include "bmp.h"
#include "png.h"

ImageFormat imageFormatForFilter(std::int32_t filterIndex) {
    switch (filterIndex) {
        case 2:
            return ImageFormat::Bmp8;
        case 3:
            return ImageFormat::Png;
        default:
            return ImageFormat::Bmp24;
    }
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
