#include "wallpaper_command.h"

#include <new>

#include "file_system.h"
#include "generate.h"
#include "render.h"
#include "settings_file.h"
#include "wallpaper_history.h"

namespace {

const char kOwnSettingsFile[] = "pallodex.ini";
// As the window takes info files: anything bigger was chosen by mistake.
constexpr std::uint64_t kInfoFileMaxBytes = 1 << 20;

bool present(const char* name) {
    for (const std::string& f : fsys::listFolder(".")) {
        if (f.size() != std::char_traits<char>::length(name)) continue;
        bool same = true;  // Windows names are the same in any case
        for (std::size_t i = 0; i < f.size() && same; ++i)
            same = (f[i] | 0x20) == (name[i] | 0x20);
        if (same) return true;
    }
    return false;
}

}  // namespace

int runWallpaperCommand(const std::string& infoFile, WallpaperDesktop& desktop, std::uint64_t seed) {
    PatternSettings s;
    std::int8_t tiled = 1;
    std::int32_t formatIndex = 1;
    // The dir lines lead the window's dialogs; there are none here.
    OwnFileExtras extras{&tiled, &formatIndex, nullptr, nullptr};
    // Without the file the window would start from the defaults, and so does
    // this; a file that is there but cannot be read is not taken for none.
    if (loadSettingsFile(s, kOwnSettingsFile, &extras) == LoadResult::Failed && present(kOwnSettingsFile))
        return kWallpaperBadSettings;
    if (!infoFile.empty()) {
        if (loadSettingsFile(s, infoFile.c_str(), nullptr, nullptr, kInfoFileMaxBytes) != LoadResult::Loaded)
            return kWallpaperBadSettings;
    } else {
        s.validate();  // as Space: the size and smoothness of a repaired set
        s = randomSettings(s, seed);
    }
    std::vector<std::uint32_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph));
        renderImage(s, pixels.data());
    } catch (const std::bad_alloc&) {
        return kWallpaperNoMemory;
    }
    if (!desktop.setWallpaper(pixels, s.bmpw, s.bmph, tiled != 0)) return kWallpaperNotSet;
    wallpaper_history::record(desktop.historyFolder(), s, wallpaper_history::localNow());
    return kWallpaperSet;
}
