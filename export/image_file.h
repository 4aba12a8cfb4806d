// The image file formats the program and pallodex-render write, chosen by
// the save dialog's filter index or by name.
#pragma once

#include <cstdint>
#include <vector>

enum class ImageFormat { Bmp24, Bmp8, Png };

// The formats in the order the save dialog lists them: its filter index n
// (counted from 1, and stored as flg_bit) is kSaveDialogFormats[n - 1].
constexpr ImageFormat kSaveDialogFormats[] = {ImageFormat::Bmp24, ImageFormat::Bmp8, ImageFormat::Png};
// Any index outside the list (an old or edited settings file) is the first,
// full colour.
ImageFormat imageFormatForFilter(std::int32_t filterIndex);
// The extension (without dot) a file of that format gets by default.
const char* imageExtension(ImageFormat format);

// The file's bytes for pixels (width x height, 0x00BBGGRR, top row first).
// Throws std::bad_alloc when memory runs out.
std::vector<std::uint8_t> encodeImage(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                      ImageFormat format);
