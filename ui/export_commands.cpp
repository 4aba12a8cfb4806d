#include "export_commands.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "error_box.h"
#include "file_dialog.h"
#include "file_system.h"
#include "image_file.h"

namespace {

// The save dialog's entry for a format: the first two are both *.bmp, so the
// index chosen, not the name typed, decides the format.
struct FilterEntry {
    const char* name;
    const char* pattern;
};

FilterEntry filterEntry(ImageFormat format) {
    switch (format) {
        case ImageFormat::Bmp8:
            return {"256色ビットマップ", "*.bmp"};
        case ImageFormat::Png:
            return {"PNG ファイル (*.png)", "*.png"};
        default:
            return {"フルカラー(24bit)ビットマップ", "*.bmp"};
    }
}

// The filter string in the order of kSaveDialogFormats: name\0pattern\0...\0.
std::string imageFilter() {
    std::string filter;
    for (const ImageFormat format : kSaveDialogFormats) {
        const FilterEntry e = filterEntry(format);
        filter.append(e.name).append(1, '\0').append(e.pattern).append(1, '\0');
    }
    return filter;  // c_str() adds the final \0
}

enum class WriteOutcome { Written, BadName, Failed };

// Whether the folder part of path names an existing folder: a file that
// cannot be written where its folder exists failed in the writing, not in
// its name.
bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(fsys::folderOf(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Encodes the pixels and writes them through a temporary file.
WriteOutcome writeImageFile(const std::uint32_t* pixels, int width, int height, const std::string& path,
                            ImageFormat format) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = encodeImage(pixels, width, height, format);
    } catch (const std::bad_alloc&) {
        return WriteOutcome::Failed;
    }
    switch (fsys::writeFile(path, [&](std::FILE* f) {
        return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    })) {
        case fsys::WriteResult::Written:
            return WriteOutcome::Written;
        case fsys::WriteResult::ReadOnly:
            // Creating over a read-only file always failed here: its name is
            // not one this program may write.
            return WriteOutcome::BadName;
        default:
            return folderExists(path) ? WriteOutcome::Failed : WriteOutcome::BadName;
    }
}

// Reads the picture back and writes it as above.
WriteOutcome writeSurfaceFile(const ImageSurface& surface, const std::string& path, ImageFormat format) {
    std::vector<std::uint32_t> pixels;
    try {
        if (!surface.readPixels(pixels)) return WriteOutcome::Failed;
    } catch (const std::bad_alloc&) {
        return WriteOutcome::Failed;
    }
    return writeImageFile(pixels.data(), surface.width(), surface.height(), path, format);
}

// A string value of a registry key as it was, to be put back.
struct SavedValue {
    bool present = false;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

SavedValue saveValue(HKEY key, const char* name) {
    SavedValue v;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) return v;
    v.data.resize(size);
    v.present = RegQueryValueExA(key, name, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
    v.data.resize(size);
    return v;
}

void restoreValue(HKEY key, const char* name, const SavedValue& v) {
    if (v.present)
        RegSetValueExA(key, name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    else
        RegDeleteValueA(key, name);
}

bool setString(HKEY key, const char* name, const char* value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

}  // namespace

// %APPDATA% as the user's environment has it (so that a user who moved it is
// followed), else the folder the shell knows for it.
std::string appDataFolder() {
    char buffer[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("APPDATA", buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return std::string(buffer, n);
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) return buffer;
    return std::string();
}

std::string wallpaperHistoryFolder() {
    const std::string base = appDataFolder();
    return base.empty() ? base : base + "\\Pallodex\\history";
}

bool placeWallpaper(const std::uint32_t* pixels, int width, int height, bool tiled) {
    const std::string base = appDataFolder();
    if (base.empty()) return false;
    const std::string folder = base + "\\Pallodex";
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const std::string path = folder + "\\wallpaper.bmp";
    // The desktop may be showing the previous wallpaper.bmp; it is replaced
    // only by a complete file.
    if (writeImageFile(pixels, width, height, path, ImageFormat::Bmp24) != WriteOutcome::Written) return false;

    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const SavedValue oldTile = saveValue(key, "TileWallpaper"), oldStyle = saveValue(key, "WallpaperStyle");
    // Style 0 is centred, or tiled when TileWallpaper is 1.
    bool ok = setString(key, "TileWallpaper", tiled ? "1" : "0") && setString(key, "WallpaperStyle", "0");
    ok = ok && SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(path.c_str()),
                                     SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    if (!ok) {
        restoreValue(key, "TileWallpaper", oldTile);
        restoreValue(key, "WallpaperStyle", oldStyle);
    }
    RegCloseKey(key);
    return ok;
}

bool chooseImageFile(HWND owner, std::int32_t& filterIndex, char* fileName) {
    FileDialog d;
    const std::string filter = imageFilter();
    // The dialog appends the extension of the filter chosen in it to a name
    // typed without one; this is where it starts.
    prepareFileDialog(d, owner, filter.c_str(), fileName, imageExtension(imageFormatForFilter(filterIndex)));
    d.ofn.nFilterIndex = static_cast<DWORD>(filterIndex);
    d.ofn.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&d.ofn)) return false;
    filterIndex = static_cast<std::int32_t>(d.ofn.nFilterIndex);
    return true;
}

bool saveImageFile(HWND owner, const ImageSurface& surface, const char* path, std::int32_t filterIndex) {
    switch (writeSurfaceFile(surface, path, imageFormatForFilter(filterIndex))) {
        case WriteOutcome::Written:
            return true;
        case WriteOutcome::BadName:
            showError(owner, "ファイル名が不正の模様です。");
            return false;
        default:
            // Nothing half-written is left: the old file, if any, is intact.
            showError(owner, "ファイルの書き込みに失敗しました。");
            return false;
    }
}

bool copyImageToClipboard(HWND window, const ImageSurface& surface) {
    if (!OpenClipboard(window)) return false;
    bool failed = false;
    const bool emptied = EmptyClipboard() != 0;
    if (emptied) {
        HBITMAP copy = surface.copyBitmap();
        // Once accepted the clipboard owns the bitmap; if it is refused it is
        // still ours to delete.
        failed = !copy || !SetClipboardData(CF_BITMAP, copy);
        if (copy && failed) DeleteObject(copy);
    }
    CloseClipboard();
    // The clipboard was emptied: the user must not paste believing it holds
    // the picture.
    if (failed) showError(window, "画像をコピーできませんでした。");
    return emptied && !failed;
}

bool setDesktopWallpaper(HWND owner, const ImageSurface& surface, bool tiled) {
    std::vector<std::uint32_t> pixels;
    bool read = false;
    try {
        read = surface.readPixels(pixels);
    } catch (const std::bad_alloc&) {
    }
    if (read && placeWallpaper(pixels.data(), surface.width(), surface.height(), tiled)) return true;
    showError(owner, "壁紙を設定できませんでした。");
    return false;
}
