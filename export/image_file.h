// The image file formats the program and pallodex-render write, chosen by
// the save dialog's filter index or by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

struct ImageFileOptions {
    // Encoding runs on this many threads (0: every hardware thread); the
    // bytes do not depend on it.
    int threads = 0;
};

// The file's bytes for pixels (width x height, 0x00BBGGRR, top row first).
// Throws std::bad_alloc when memory runs out.
std::vector<std::uint8_t> encodeImage(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                                      ImageFormat format, const ImageFileOptions& options = {});
// The same bytes in memory the caller provides: room(size) is called once,
// with the file's size, and returns where its size bytes go (none of which
// need to be cleared). Throws what encodeImage and room throw.
void encodeImage(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, ImageFormat format,
                 const ImageFileOptions& options, const std::function<std::uint8_t*(std::size_t)>& room);
