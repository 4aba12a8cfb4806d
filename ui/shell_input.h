// Files handed to the program from outside: the command line (Explorer's
// "open with", a shortcut) and files dropped on the window.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

// The first argument after the program's name in commandLine (as
// GetCommandLineW gives it), split as CommandLineToArgvW does; the others are
// ignored. Empty when there is none (an empty "" counts as none).
std::wstring firstFileArgument(const wchar_t* commandLine);

// pallodex.exe /wallpaper [/dir FOLDER] [FILE]: a wallpaper without a
// window, the own settings file read in FOLDER (else the current folder),
// FILE an info file to take instead of a random set. Recognised only as the
// first argument, in any case; the rest in any order, each once.
struct WallpaperArguments {
    bool requested = false;  // the first argument is /wallpaper
    bool valid = false;      // and the rest is understood
    std::wstring folder, file;
};
WallpaperArguments wallpaperArguments(const wchar_t* commandLine);

// arg in double quotes, so that CommandLineToArgvW gives it back exactly:
// backslashes before a quote, and at the end, are doubled ("C:\" for C:\).
std::wstring quoteArgument(const std::wstring& arg);

// The first of the files in a WM_DROPFILES drop; empty when it holds none.
// The drop stays the caller's to DragFinish.
std::wstring firstDroppedFile(HDROP drop);

// path made full against the current directory; as it is where Windows
// cannot make it full.
std::wstring fullPath(const std::wstring& path);

// path made full (against the current directory) and in the ANSI code page
// the program's file functions use. False when that code page cannot name
// it: ansi then holds a readable approximation for a message.
bool toAnsiPath(const std::wstring& path, std::string* ansi);
