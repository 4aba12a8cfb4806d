// A new wallpaper at every logon, without a window: pallodex.exe /wallpaper,
// run by the value "Pallodex" under HKCU\...\CurrentVersion\Run, which the
// Settings menu adds and removes.
#pragma once

#include <windows.h>

#include <string>

#include "shell_input.h"

// The whole of pallodex.exe /wallpaper: the process's exit code (see
// wallpaper_command.h). Shows nothing, whatever happens.
int runHeadlessWallpaper(const WallpaperArguments& arguments);

// Whether the Run value is there, starts this program and is not switched
// off in Windows' own startup list (Task Manager, Settings).
bool logonWallpaperOn();
// The menu item chosen: removes the value when logonWallpaperOn(), else
// writes it to start this program with /wallpaper in startFolder. A value
// that Windows' startup list keeps switched off stays so: a box says where
// to switch it on. Errors are said in a box too.
void toggleLogonWallpaper(HWND owner, const std::wstring& startFolder);
