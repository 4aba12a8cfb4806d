// Lists the controls of a top-level window (a dialog or a message box) so
// that end-to-end tests can click real controls and read what they show:
//
//   dlgdump TITLE   -> one line per child window, in creation order:
//                      "ID X Y W H CLASS<TAB>TEXT" (screen pixels, UTF-8),
//                      for combo boxes TEXT is "#SEL<TAB>ENTRY|ENTRY|..."
// Exit codes: 0 ok, 1 usage, 2 no such window.
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        out(L"usage: dlgdump TITLE\n");
        return 1;
    }
    HWND top = FindWindowW(nullptr, argv[1]);
    if (!top) return 2;
    EnumChildWindows(top, listChild, reinterpret_cast<LPARAM>(top));
    return 0;
}
