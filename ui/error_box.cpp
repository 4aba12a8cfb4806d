#include "error_box.h"

#include <string>

void showError(HWND owner, const char* text) { MessageBoxA(owner, text, "エラー", MB_OK); }

void showFileError(HWND owner, const char* text, const char* path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    const std::string message = std::string(text) + "\n" + (n > 0 && n < MAX_PATH ? full : path);
    showError(owner, message.c_str());
}
