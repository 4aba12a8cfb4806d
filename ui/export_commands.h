// The commands that take the picture out of the program: an image file, the
// clipboard, the desktop wallpaper. Each reads the image surface only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "surface.h"

// The save dialog for an image file: the chosen name lands in fileName
// (MAX_PATH characters, the last name offered again) and the chosen format in
// filterIndex (see kSaveDialogFormats in image_file.h). False when the
// dialog was cancelled; nothing is changed then.
bool chooseImageFile(HWND owner, std::int32_t& filterIndex, char* fileName);
// Writes the surface's picture to path in the format of filterIndex, through
// a temporary file, so that a failure leaves an existing file as it was; says
// so in a box when it fails.
bool saveImageFile(HWND owner, const ImageSurface& surface, const char* path, std::int32_t filterIndex);

// Puts a copy of the picture on the clipboard as a CF_BITMAP. A clipboard
// that another program holds open is left alone without a word; a copy that
// cannot be made (no memory for its bitmap) says so in a box.
// False when nothing was copied.
bool copyImageToClipboard(HWND window, const ImageSurface& surface);

// Makes the picture the desktop wallpaper, tiled or centred: writes it as a
// 24-bit BMP to %APPDATA%\Pallodex\wallpaper.bmp and tells Windows. Any
// failure is shown in a box and leaves the desktop settings as they were.
bool setDesktopWallpaper(HWND owner, const ImageSurface& surface, bool tiled);
// The same for width x height pixels (0x00BBGGRR, top row first), without a
// word: false when it failed.
bool placeWallpaper(const std::uint32_t* pixels, int width, int height, bool tiled);

// %APPDATA% (empty when there is none), and the folder in it that keeps the
// history of wallpapers set.
std::string appDataFolder();
std::string wallpaperHistoryFolder();
