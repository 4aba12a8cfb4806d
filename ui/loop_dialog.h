// The moving wallpaper's dialogs: the loop's kind, frame count and delay,
// then the save dialog of its file, GIF or animated PNG.
#pragma once

#include <windows.h>

#include <string>

#include "loop.h"
#include "loop_file.h"

// Starts from choice and leaves there what OK took; false when cancelled.
bool chooseLoop(HWND owner, LoopChoice& choice);
// The save dialog: the file type chosen there decides the format; path
// (the name offered, as last time) receives the name chosen.
bool chooseLoopFile(HWND owner, LoopFormat& format, std::string& path);
