// Throwaway Win32 program used only to prove the end-to-end harness: it paints
// a known pattern, reacts to a key, puts a bitmap on the clipboard and uses
// the common Open/Save dialogs, so every harness helper has something to act on.
#include <windows.h>
#include <commdlg.h>
#include <windowsx.h>
#include <cstdio>
#include <cstring>
#include "probe_ids.h"

namespace {

const char kClass[] = "PallodexProbe";
const char kTitle[] = "Pallodex プローブ";
const int kClientW = 320;
const int kClientH = 240;

// Quadrant colours; mode m shifts which colour lands in which quadrant.
const COLORREF kColours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
int g_mode = 0;
const UINT kCrashMsg = WM_APP + 1;

void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
    RECT rc = {l, t, r, b};
    HBRUSH br = CreateSolidBrush(c);
    FillRect(dc, &rc, br);
    DeleteObject(br);
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const int hw = kClientW / 2, hh = kClientH / 2;
    for (int q = 0; q < 4; ++q) {
        int x = (q % 2) * hw, y = (q / 2) * hh;
        Fill(dc, x, y, x + hw, y + hh, kColours[(q + g_mode) % 4]);
    }
    EndPaint(hwnd, &ps);
}

// 64x48 bitmap in four known quadrants, handed over as CF_BITMAP so the
// system has to synthesise CF_DIB for readers, as it will for the real program.
void CopyToClipboard(HWND hwnd) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 64, 48);
    HGDIOBJ old = SelectObject(mem, bmp);
    Fill(mem, 0, 0, 32, 24, RGB(255, 0, 255));
    Fill(mem, 32, 0, 64, 24, RGB(0, 255, 255));
    Fill(mem, 0, 24, 32, 48, RGB(255, 255, 0));
    Fill(mem, 32, 24, 64, 48, RGB(0, 0, 0));
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    if (OpenClipboard(hwnd)) {
        EmptyClipboard();
        if (!SetClipboardData(CF_BITMAP, bmp)) DeleteObject(bmp);
        CloseClipboard();
    } else {
        DeleteObject(bmp);
    }
}

bool AskPath(HWND hwnd, bool save, char* path, DWORD size) {
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = "テキスト (*.txt)\0*.txt\0すべてのファイル (*.*)\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = size;
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    return save ? GetSaveFileNameA(&ofn) != 0 : GetOpenFileNameA(&ofn) != 0;
}

void Save(HWND hwnd) {
    char path[MAX_PATH] = "";
    if (!AskPath(hwnd, true, path, sizeof path)) return;
    FILE* f = std::fopen(path, "wb");
    if (!f) return;
    std::fprintf(f, "PALLODEX-PROBE mode=%d\r\n", g_mode);
    std::fclose(f);
}

void Open(HWND hwnd) {
    char path[MAX_PATH] = "";
    if (!AskPath(hwnd, false, path, sizeof path)) return;
    FILE* f = std::fopen(path, "rb");
    if (!f) return;
    int mode = 0;
    if (std::fscanf(f, "PALLODEX-PROBE mode=%d", &mode) == 1 && mode >= 0) {
        g_mode = mode % 4;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    std::fclose(f);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDM_OPEN: Open(hwnd); return 0;
        case IDM_SAVE: Save(hwnd); return 0;
        case IDM_COPY: CopyToClipboard(hwnd); return 0;
        case IDM_NEXT:
            g_mode = (g_mode + 1) % 4;
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case IDM_EXIT: DestroyWindow(hwnd); return 0;
        case IDM_CRASH:
            // Raised from the message loop: an exception inside a window
            // procedure called back by the system is swallowed by Wine.
            PostMessageA(hwnd, kCrashMsg, 0, 0);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN: {
        // A click picks the mode whose top-left colour is the one clicked.
        int q = (GET_X_LPARAM(lp) >= kClientW / 2 ? 1 : 0) + (GET_Y_LPARAM(lp) >= kClientH / 2 ? 2 : 0);
        g_mode = q;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE) { DestroyWindow(hwnd); return 0; }
        break;
    case WM_DESTROY:
        // Exit code carries the pattern so a test can check it after exit.
        PostQuitMessage(40 + g_mode);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClass;
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    if (!RegisterClassA(&wc)) return 1;

    const DWORD style = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
    RECT rc = {0, 0, kClientW, kClientH};
    AdjustWindowRect(&rc, style, TRUE);
    HWND hwnd = CreateWindowA(kClass, kTitle, style, 40, 30, rc.right - rc.left,
                              rc.bottom - rc.top, nullptr, nullptr, inst, nullptr);
    if (!hwnd) return 2;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    HACCEL accel = LoadAcceleratorsA(inst, MAKEINTRESOURCEA(IDR_ACCEL));
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        // Unhandled exception: the harness must see the process end instead
        // of a debugger dialog waiting for a click.
        if (m.message == kCrashMsg) RaiseException(0xE0000001, EXCEPTION_NONCONTINUABLE, 0, nullptr);
        if (!TranslateAcceleratorA(hwnd, accel, &m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    return static_cast<int>(m.wParam);
}
