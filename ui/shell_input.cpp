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

WallpaperArguments wallpaperArguments(const wchar_t* commandLine) {
    WallpaperArguments a;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv) return a;
    a.requested = argc > 1 && CompareStringOrdinal(argv[1], -1, L"/wallpaper", -1, TRUE) == CSTR_EQUAL;
    bool folderGiven = false, ok = a.requested;
    for (int i = 2; ok && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (CompareStringOrdinal(arg.c_str(), -1, L"/dir", -1, TRUE) == CSTR_EQUAL) {
            ok = !folderGiven && i + 1 < argc && argv[i + 1][0] != L'\0';
            if (ok) a.folder = argv[++i];
            folderGiven = true;
        } else {
            ok = !arg.empty() && arg[0] != L'/' && a.file.empty();
            if (ok) a.file = arg;
        }
    }
    a.valid = ok;
    LocalFree(argv);
    return a;
}

std::wstring quoteArgument(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only before a quote.
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        out += c;
        backslashes = 0;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
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
