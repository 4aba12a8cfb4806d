// Lists the controls of a top-level window (a dialog or a message box) so
// that end-to-end tests can click real controls and read what they show:
//
//   dlgdump TITLE   -> one line per child window, in creation order:
//                      "ID X Y W H CLASS<TAB>TEXT" (screen pixels, UTF-8),
//                      for combo boxes TEXT is "#SEL<TAB>ENTRY|ENTRY|..."
//   dlgdump version EXE -> the version block: "fixed A.B.C.D type T os O",
//                      "translation LLLL CCCC", then "NAME=VALUE" per string
//   dlgdump holdclip MS -> opens the clipboard, prints "held", keeps it open
//                      for MS milliseconds (another program's copy must fail)
// Exit codes: 0 ok, 1 usage, 2 no such window or no version block.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void out(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &u[0], n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), u.data(), static_cast<DWORD>(u.size()), &written, nullptr);
}

std::wstring textOf(HWND w) {
    wchar_t buf[1024] = L"";
    // WM_GETTEXT reads a control's text even across processes.
    SendMessageW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf));
    return buf;
}

std::wstring comboOf(HWND w) {
    std::wstring s = L"#" + std::to_wstring(static_cast<int>(SendMessageW(w, CB_GETCURSEL, 0, 0))) + L"\t";
    const int count = static_cast<int>(SendMessageW(w, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        if (SendMessageW(w, CB_GETLBTEXTLEN, i, 0) < 256) SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        if (i) s += L"|";
        s += item;
    }
    return s;
}

BOOL CALLBACK listChild(HWND w, LPARAM parent) {
    if (GetParent(w) != reinterpret_cast<HWND>(parent)) return TRUE;  // only direct children
    wchar_t cls[64] = L"";
    GetClassNameW(w, cls, 64);
    RECT r;
    GetWindowRect(w, &r);
    const bool combo = !_wcsicmp(cls, L"ComboBox");
    wchar_t head[160];
    swprintf(head, 160, L"%d %ld %ld %ld %ld %ls\t", GetDlgCtrlID(w), r.left, r.top, r.right - r.left,
             r.bottom - r.top, cls);
    out(head + (combo ? comboOf(w) : textOf(w)) + L"\n");
    return TRUE;
}

int version(const wchar_t* exe) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
    if (!size) return 2;
    std::string block(size, '\0');
    if (!GetFileVersionInfoW(exe, 0, size, &block[0])) return 2;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) return 2;
    wchar_t line[200];
    swprintf(line, 200, L"fixed %u.%u.%u.%u product %u.%u.%u.%u type %lu os %lx\n", HIWORD(fixed->dwFileVersionMS),
             LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
             HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
             HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS), fixed->dwFileType,
             fixed->dwFileOS);
    out(line);
    WORD* translation = nullptr;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len) ||
        len < 4)
        return 2;
    swprintf(line, 200, L"translation %04X %04X\n", translation[0], translation[1]);
    out(line);
    const wchar_t* names[] = {L"Comments",        L"CompanyName",      L"FileDescription", L"FileVersion",
                              L"InternalName",    L"LegalCopyright",   L"LegalTrademarks", L"OriginalFilename",
                              L"PrivateBuild",    L"ProductName",      L"ProductVersion",  L"SpecialBuild"};
    for (const wchar_t* name : names) {
        swprintf(line, 200, L"\\StringFileInfo\\%04X%04X\\%ls", translation[0], translation[1], name);
        wchar_t* value = nullptr;
        if (VerQueryValueW(block.data(), line, reinterpret_cast<void**>(&value), &len) && value)
            out(std::wstring(name) + L"=" + std::wstring(value, len ? len - 1 : 0) + L"\n");
    }
    return 0;
}

int holdClipboard(int ms) {
    if (!OpenClipboard(nullptr)) return 2;
    out(L"held\n");
    Sleep(static_cast<DWORD>(ms));
    CloseClipboard();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && !wcscmp(argv[1], L"version")) return version(argv[2]);
    if (argc == 3 && !wcscmp(argv[1], L"holdclip")) return holdClipboard(_wtoi(argv[2]));
    if (argc != 2) {
        out(L"usage: dlgdump TITLE | version EXE | holdclip MS\n");
        return 1;
    }
    HWND top = FindWindowW(nullptr, argv[1]);
    if (!top) return 2;
    EnumChildWindows(top, listChild, reinterpret_cast<LPARAM>(top));
    return 0;
}
