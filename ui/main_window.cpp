// Entry point, main window and menu commands.
#include <windows.h>
#include <commdlg.h>

#include "app.h"
#include "keyboard.h"
#include "resource.h"
#include "settings_file.h"

HINSTANCE g_hInst;
HWND g_hWnd;
PatternSettings g_settings;
std::int8_t g_tileView = 1;
std::int32_t g_bitmapFilterIndex = 1;
char g_startDir[MAX_PATH];
char g_infoFileName[MAX_PATH];
char g_bitmapFileName[MAX_PATH];

// The sizes a 32-bit program hands to Windows in the cbSize-style fields.
static_assert(sizeof(OPENFILENAMEA) == 88, "OPENFILENAMEA with the Windows 2000 fields");
static_assert(sizeof(MENUITEMINFOA) == 48, "MENUITEMINFOA with hbmpItem");
static_assert(sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA");

namespace {

const char kOwnSettingsFile[] = "pallodex.ini";

char g_title[100];
char g_className[100];

OwnFileExtras ownFileExtras() { return OwnFileExtras{&g_tileView, &g_bitmapFilterIndex}; }

void invalidate(HWND hwnd, bool erase) { InvalidateRect(hwnd, nullptr, erase ? TRUE : FALSE); }

}  // namespace

void prepareFileDialog(FileDialog& d, HWND owner, const char* filter, char* fileName, const char* defaultExtension) {
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, d.initialDir);
    if (n == 0 || n >= MAX_PATH) d.initialDir[0] = '\0';
    d.ofn = OPENFILENAMEA{};
    d.ofn.lStructSize = sizeof d.ofn;
    d.ofn.hwndOwner = owner;
    d.ofn.lpstrFilter = filter;
    d.ofn.lpstrFile = fileName;
    d.ofn.nMaxFile = MAX_PATH;
    d.ofn.lpstrInitialDir = d.initialDir[0] ? d.initialDir : nullptr;
    d.ofn.lpstrDefExt = defaultExtension;
}

namespace {

// Both info-file dialogs share their set-up; the file name buffer is kept so
// that the next dialog offers the last file again. The dialogs may change the
// current directory; the own settings file is still written to the start
// directory because WM_DESTROY returns there first.
bool chooseInfoFile(HWND owner, bool forSaving) {
    // "*.txt" with its dot: a bare "*txt" would also list names like
    // "notatxt" that merely end in those letters.
    static const char kFilter[] = "テキストファイル\0*.txt;*.ini\0全てのファイル\0*.*\0";
    FileDialog d;
    prepareFileDialog(d, owner, kFilter, g_infoFileName, "ini");
    OPENFILENAMEA& ofn = d.ofn;
    if (forSaving) {
        ofn.Flags = OFN_OVERWRITEPROMPT;
        return GetSaveFileNameA(&ofn) != 0;
    }
    ofn.Flags = OFN_FILEMUSTEXIST;
    return GetOpenFileNameA(&ofn) != 0;
}

void createSurface(HWND hwnd) {
    HDC windowDC = GetDC(hwnd);
    g_memDC = CreateCompatibleDC(windowDC);
    HBITMAP first = CreateCompatibleBitmap(windowDC, 1, 1);
    g_initialBitmap = static_cast<HBITMAP>(SelectObject(g_memDC, first));
    ReleaseDC(hwnd, windowDC);
}

void destroySurface() {
    if (!g_memDC) return;
    DeleteObject(SelectObject(g_memDC, g_initialBitmap));
    DeleteDC(g_memDC);
    g_memDC = nullptr;
    g_initialBitmap = nullptr;
    g_imageWidth = g_imageHeight = 0;
}

LRESULT onCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:
        DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_ABOUTBOX), hwnd, AboutDlgProc, 0);
        return 0;
    case IDM_EXIT:
        DestroyWindow(hwnd);
        return 0;
    case IDM_COLOR:
        DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_COLOR), hwnd, ColorDlgProc, 0);
        // Whatever closed the dialog: this also replaces an uncommitted
        // trial-run image with the committed one.
        render(g_settings);
        invalidate(hwnd, false);
        return 0;
    case IDM_SAVE_BITMAP:
        saveBitmapFile(g_memDC, g_settings.bmpw, g_settings.bmph);
        return 0;
    case IDM_TILE:
        // Only the arrangement changes: no new render, but the white
        // background must show again when tiling is switched off.
        g_tileView = g_tileView ? 0 : 1;
        updateTileCheck(hwnd);
        invalidate(hwnd, true);
        return 0;
    case IDM_COPY:
        copyImageToClipboard(hwnd, g_memDC, g_settings.bmpw, g_settings.bmph);
        return 0;
    case IDM_SAVE_INFO:
        if (chooseInfoFile(hwnd, true)) saveSettingsFile(g_settings, g_infoFileName, nullptr);
        return 0;
    case IDM_LOAD_INFO:
        if (chooseInfoFile(hwnd, false)) {
            loadSettingsFile(g_settings, g_infoFileName, nullptr);
            render(g_settings);
            invalidate(hwnd, false);
        }
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

void updateTileCheck(HWND hwnd) {
    HMENU menu = GetMenu(hwnd);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoA(menu, IDM_TILE, FALSE, &info)) return;
    if (g_tileView)
        info.fState |= MFS_CHECKED;
    else
        info.fState &= ~static_cast<UINT>(MFS_CHECKED);
    SetMenuItemInfoA(menu, IDM_TILE, FALSE, &info);
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        g_hWnd = hwnd;
        const DWORD n = GetCurrentDirectoryA(MAX_PATH, g_startDir);
        if (n == 0 || n >= MAX_PATH) g_startDir[0] = '\0';
        const OwnFileExtras extras = ownFileExtras();
        loadSettingsFile(g_settings, kOwnSettingsFile, &extras);
        createSurface(hwnd);
        render(g_settings);
        updateTileCheck(hwnd);
        return 0;
    }
    case WM_DESTROY: {
        // The own file's dir line may have moved us; the file belongs in
        // the folder the program was started from.
        if (g_startDir[0]) SetCurrentDirectoryA(g_startDir);
        const OwnFileExtras extras = ownFileExtras();
        saveSettingsFile(g_settings, kOwnSettingsFile, &extras);
        destroySurface();
        PostQuitMessage(0);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        paint(hdc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN: {
        const KeyEffect effect = applyKey(LOWORD(wParam), g_settings, g_tileView);
        if (effect == KeyEffect::None) return 0;
        if (effect == KeyEffect::TileToggled) updateTileCheck(hwnd);
        render(g_settings);
        invalidate(hwnd, false);
        return 0;
    }
    case WM_COMMAND:
        return onCommand(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    LoadStringA(hInstance, IDS_APP_TITLE, g_title, sizeof g_title);
    LoadStringA(hInstance, IDC_PALLODEX, g_className, sizeof g_className);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_PALLODEX));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDC_PALLODEX);
    wc.lpszClassName = g_className;
    RegisterClassExA(&wc);

    g_hInst = hInstance;
    g_hWnd = CreateWindowExA(0, g_className, g_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                             nullptr, nullptr, hInstance, nullptr);
    if (!g_hWnd) return 0;
    ShowWindow(g_hWnd, nCmdShow);
    UpdateWindow(g_hWnd);

    HACCEL accelerators = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDC_PALLODEX));
    MSG msg = {};
    // GetMessage reports a failure as -1, which must not count as a message.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
