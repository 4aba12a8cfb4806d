// Win32 unit test of the files handed in from outside (ui/shell_input.cpp),
// run under Wine by tests/e2e/window/outside_files_test.sh. Prints each
// failure; exit code 0 when all pass.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "shell_input.h"

namespace {

int g_failures = 0;

void check(bool ok, const char* what, int row) {
    if (ok) return;
    ++g_failures;
    std::printf("FAIL %s, row %d\n", what, row);
}

// A drop as Explorer hands it over: DROPFILES, then the names, each ended
// by a NUL, and one more NUL.
HDROP makeDrop(const std::wstring& names, bool wide) {
    const std::size_t bytes = wide ? (names.size() + 1) * sizeof(wchar_t) : (names.size() + 1) * 2;
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(h));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = wide;
    char* list = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
    if (wide)
        std::memcpy(list, names.c_str(), (names.size() + 1) * sizeof(wchar_t));
    else
        WideCharToMultiByte(CP_ACP, 0, names.c_str(), static_cast<int>(names.size() + 1), list,
                            static_cast<int>(bytes), nullptr, nullptr);
    GlobalUnlock(h);
    return static_cast<HDROP>(h);
}

// A literal with NULs inside, whole (the final implicit NUL left out).
template <std::size_t N>
std::wstring nulList(const wchar_t (&s)[N]) {
    return std::wstring(s, N - 1);
}

}  // namespace

int main() {
    // Quotes, spaces and Japanese characters as CommandLineToArgvW splits
    // them; the program's own name may itself be quoted and hold spaces.
    struct Arg {
        const wchar_t* line;
        const wchar_t* first;
    };
    const Arg args[] = {
        {L"pallodex.exe", L""},
        {L"pallodex.exe   ", L""},
        {L"\"C:\\my apps\\pallodex.exe\"", L""},
        {L"pallodex.exe a.ini", L"a.ini"},
        {L"\"C:\\my apps\\pallodex.exe\" \"C:\\壁紙 集\\夜 空.ini\" second.ini", L"C:\\壁紙 集\\夜 空.ini"},
        {L"pallodex.exe 夜 空.ini", L"夜"},
        {L"pallodex.exe \"\" b.ini", L""},
    };
    int row = 0;
    for (const Arg& a : args) check(firstFileArgument(a.line) == a.first, "firstFileArgument", ++row);

    // /wallpaper [/dir FOLDER] [FILE]: first only, switches in any case,
    // each part once; anything else is a command not understood.
    struct Wallpaper {
        const wchar_t* line;
        bool requested, valid;
        const wchar_t *folder, *file;
    };
    const Wallpaper wallpapers[] = {
        {L"p.exe /wallpaper", true, true, L"", L""},
        {L"p.exe /WallPaper /DIR \"C:\\壁紙 集\\\\\" a.txt", true, true, L"C:\\壁紙 集\\", L"a.txt"},
        {L"p.exe /wallpaper a.txt /dir C:\\x", true, true, L"C:\\x", L"a.txt"},
        {L"p.exe a.txt /wallpaper", false, false, L"", L""},
        {L"p.exe /wallpaper /dir \"\"", true, false, L"", L""},
        {L"p.exe /wallpaper a.txt b.txt", true, false, L"", L""},
        {L"p.exe /wallpaper /tile", true, false, L"", L""},
    };
    row = 0;
    for (const Wallpaper& w : wallpapers) {
        const WallpaperArguments a = wallpaperArguments(w.line);
        check(a.requested == w.requested && a.valid == w.valid && (!a.valid || (a.folder == w.folder && a.file == w.file)),
              "wallpaperArguments", ++row);
    }
    // What quoteArgument writes, CommandLineToArgvW gives back whole, not
    // running on into the next argument.
    const wchar_t* quoted[] = {L"C:\\", L"C:\\my apps\\", L"a\\\\\"b\" c", L"", L"夜 空\\\\"};
    row = 0;
    for (const wchar_t* q : quoted) {
        const std::wstring line = L"p.exe " + quoteArgument(q) + L" next";
        check(firstFileArgument(line.c_str()) == q, "quoteArgument", ++row);
    }

    struct Drop {
        std::wstring names;  // NUL-separated
        bool wide;
        const wchar_t* first;
    };
    const Drop drops[] = {
        {nulList(L"C:\\壁紙 集\\夜 空.ini\0C:\\b.ini\0"), true, L"C:\\壁紙 集\\夜 空.ini"},
        {nulList(L"C:\\a b.txt\0"), true, L"C:\\a b.txt"},
        {nulList(L"C:\\夜.ini\0C:\\x\0"), false, L"C:\\夜.ini"},
        {nulList(L"\0"), true, L""},
    };
    row = 0;
    for (const Drop& d : drops) {
        HDROP h = makeDrop(d.names, d.wide);
        check(firstDroppedFile(h) == d.first, "firstDroppedFile", ++row);
        GlobalFree(h);
    }

    // Names the ANSI code page (932 here) holds convert and are made full;
    // others are refused rather than turned into another file's name.
    struct Path {
        const wchar_t* path;
        bool ok;
        const char* ansi;  // UTF-8 literal compared after converting back
    };
    const Path paths[] = {
        {L"C:\\壁紙 集\\夜 空.ini", true, "C:\\壁紙 集\\夜 空.ini"},
        {L"C:\\x\\..\\y.ini", true, "C:\\y.ini"},
        {L"C:\\한글.ini", false, nullptr},
        {L"C:\\caf\u00e9.ini", false, nullptr},
        {L"", false, nullptr},
    };
    row = 0;
    check(GetACP() == 932, "the ANSI code page is 932", 0);
    for (const Path& p : paths) {
        std::string ansi;
        const bool ok = toAnsiPath(p.path, &ansi);
        ++row;
        check(ok == p.ok, "toAnsiPath result", row);
        if (!ok || !p.ansi) continue;
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, MAX_PATH);
        wchar_t expected[MAX_PATH] = {};
        MultiByteToWideChar(CP_UTF8, 0, p.ansi, -1, expected, MAX_PATH);
        check(std::wcscmp(wide, expected) == 0, "toAnsiPath text", row);
    }
    // A relative name is made full against the current directory.
    std::string rel;
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    check(toAnsiPath(L"rel.ini", &rel) && rel == std::string(cwd) + (cwd[std::strlen(cwd) - 1] == '\\' ? "" : "\\") + "rel.ini",
          "toAnsiPath relative", 0);
    std::printf("%s\n", g_failures ? "failed" : "passed");
    return g_failures ? 1 : 0;
}
