// pallodex.exe /wallpaper: a new random wallpaper, or an info file's, put on
// the desktop without a window (at logon, from a script). It reads the own
// settings file of the current folder for the image size, smoothness and
// tile flag, never writes it, and says nothing: the exit code tells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The exit codes (the README lists them).
enum WallpaperExit : int {
    kWallpaperSet = 0,
    kWallpaperBadCommand = 2,   // arguments not understood, or the folder given cannot be entered
    kWallpaperBadSettings = 3,  // pallodex.ini is there but unreadable, or the info file cannot be read or holds no settings
    kWallpaperNoMemory = 4,     // no memory for the picture
    kWallpaperNotSet = 5,       // the desktop did not take it; its settings are as they were
};

// What only the window system can do.
class WallpaperDesktop {
public:
    virtual ~WallpaperDesktop() = default;
    // Makes the w x h picture (0x00BBGGRR, top row first) the wallpaper,
    // tiled or centred; false leaves the desktop as it was.
    virtual bool setWallpaper(const std::vector<std::uint32_t>& pixels, std::int32_t w, std::int32_t h,
                              bool tiled) = 0;
    // As EditorHost::wallpaperHistoryFolder.
    virtual std::string historyFolder() = 0;
};

// infoFile empty: a random set as Space makes it from `seed`; otherwise that
// file's set. The history gets the set only once the desktop took it, and a
// history that cannot be written changes neither the desktop nor the code.
int runWallpaperCommand(const std::string& infoFile, WallpaperDesktop& desktop, std::uint64_t seed);
