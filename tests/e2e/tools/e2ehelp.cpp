// Small Win32 console tool the end-to-end harness runs next to the program
// under test. It asks Windows itself what X11 cannot tell reliably: where a
// window's client area is, and what image is on the clipboard.
//
//   e2ehelp client TITLE   -> "x y w h" of TITLE's client area, screen coordinates
//   e2ehelp clipdib OUT    -> writes the clipboard's CF_DIB as a .bmp file to OUT
//   e2ehelp formats        -> clipboard format ids, one a line
//   e2ehelp list           -> visible top-level windows: hwnd, rect, class, title
// Output is UTF-8. Exit codes: 0 ok, 1 usage, 2 not found / not available, 3 I/O.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void Out(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &u[0], n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), u.data(), static_cast<DWORD>(u.size()), &written, nullptr);
}

int Client(const wchar_t* title) {
    HWND hwnd = FindWindowW(nullptr, title);
    if (!hwnd) return 2;
    RECT rc;
    POINT origin = {0, 0};
    if (!GetClientRect(hwnd, &rc) || !ClientToScreen(hwnd, &origin)) return 2;
    wchar_t buf[128];
    swprintf(buf, 128, L"%ld %ld %ld %ld\n", origin.x, origin.y, rc.right - rc.left, rc.bottom - rc.top);
    Out(buf);
    return 0;
}

// Another process may hold the clipboard open for a moment; retry briefly.
bool OpenClipboardRetry() {
    for (int i = 0; i < 40; ++i) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(50);
    }
    return false;
}

int ClipDib(const wchar_t* out) {
    if (!OpenClipboardRetry()) return 2;
    int rc = 2;
    HANDLE h = IsClipboardFormatAvailable(CF_DIB) ? GetClipboardData(CF_DIB) : nullptr;
    const BITMAPINFOHEADER* bih = h ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(h)) : nullptr;
    if (bih) {
        SIZE_T total = GlobalSize(h);
        // Bits follow the header, the three masks of BI_BITFIELDS and the palette.
        DWORD off = bih->biSize;
        if (bih->biSize == sizeof(BITMAPINFOHEADER) && bih->biCompression == BI_BITFIELDS) off += 12;
        DWORD colours = bih->biClrUsed;
        if (colours == 0 && bih->biBitCount <= 8) colours = 1u << bih->biBitCount;
        off += colours * 4;
        BITMAPFILEHEADER bfh = {};
        bfh.bfType = 0x4D42;
        bfh.bfOffBits = sizeof bfh + off;
        bfh.bfSize = static_cast<DWORD>(sizeof bfh + total);
        FILE* f = _wfopen(out, L"wb");
        rc = 3;
        if (f) {
            if (std::fwrite(&bfh, sizeof bfh, 1, f) == 1 && std::fwrite(bih, 1, total, f) == total) rc = 0;
            if (std::fclose(f) != 0) rc = 3;
        }
        GlobalUnlock(h);
    }
    CloseClipboard();
    return rc;
}

int Formats() {
    if (!OpenClipboardRetry()) return 2;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
        wchar_t buf[32];
        swprintf(buf, 32, L"%u\n", f);
        Out(buf);
    }
    CloseClipboard();
    return 0;
}

BOOL CALLBACK ListOne(HWND hwnd, LPARAM) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    wchar_t title[256] = L"", cls[256] = L"", buf[800];
    GetWindowTextW(hwnd, title, 256);
    GetClassNameW(hwnd, cls, 256);
    RECT r;
    GetWindowRect(hwnd, &r);
    swprintf(buf, 800, L"%p %ld %ld %ld %ld %ls\t%ls\n", static_cast<void*>(hwnd), r.left, r.top,
             r.right - r.left, r.bottom - r.top, cls, title);
    Out(buf);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && !wcscmp(argv[1], L"client")) return Client(argv[2]);
    if (argc == 3 && !wcscmp(argv[1], L"clipdib")) return ClipDib(argv[2]);
    if (argc == 2 && !wcscmp(argv[1], L"formats")) return Formats();
    if (argc == 2 && !wcscmp(argv[1], L"list")) return EnumWindows(ListOne, 0) ? 0 : 3;
    Out(L"usage: e2ehelp client TITLE | clipdib OUT.bmp | formats | list\n");
    return 1;
}
