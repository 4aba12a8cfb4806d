// The program's error boxes: caption "エラー", an OK button.
#pragma once

#include <windows.h>

// owner null: a box of its own (before the window exists, or after it went).
void showError(HWND owner, const char* text);
// text, then on a second line the full path of the file it is about (path as
// given when it has no full form).
void showFileError(HWND owner, const char* text, const char* path);
