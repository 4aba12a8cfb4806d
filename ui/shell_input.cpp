#include "shell_input.h"

#include <vector>

std::wstring firstFileArgument(const wchar_t* commandLine) {
    // An empty command line would make CommandLineToArgvW return the
    // program's own path as the only argument, which is right here too.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv) return std::wstring();
    std::wstring first = argc > 1 ? argv[1] : L"";
    LocalFree(argv);
    return first;
}

std::wstring firstDroppedFile(HDROP drop) {
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 0) return std::wstring();
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::vector<wchar_t> name(length + 1);
    if (DragQueryFileW(drop, 0, name.data(), length + 1) != length) return std::wstring();
    return std::wstring(name.data(), length);
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return path;
    std::vector<wchar_t> buffer(need);
    const DWORD n = GetFullPathNameW(path.c_str(), need, buffer.data(), nullptr);
    return n > 0 && n < need ? std::wstring(buffer.data(), n) : path;
}

bool toAnsiPath(const std::wstring& path, std::string* ansi) {
    ansi->clear();
    if (path.empty()) return false;
    const std::wstring full = fullPath(path);
    const int wideLength = static_cast<int>(full.size());
    // No best-fit mapping: a look-alike character would name another file.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(CP_ACP, flags, full.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    ansi->resize(static_cast<std::size_t>(n));
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, flags, full.c_str(), wideLength, &(*ansi)[0], n, nullptr, &lossy);
    // The program's file names live in MAX_PATH buffers.
    return !lossy && ansi->size() < MAX_PATH;
}
