// Entry point and main window: the Win32 shell around the Editor. Messages
// become editor calls; the editor's requests become window, dialog and GDI
// calls. Renders run on a worker thread, which posts kWakeMessage when an
// image is ready, so the window keeps painting, opening menus and dialogs,
// and quitting while a render runs. Every GDI object of the window (the
// image surface included) is touched on this thread only.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "dialogs.h"
#include "error_box.h"
#include "logon_wallpaper.h"
#include "resource.h"
#include "shell_input.h"
#include "wallpaper_menu.h"
#include "window_host.h"

HINSTANCE g_hInst;

// The 32-bit program's structure sizes (a 64-bit build, used only to run the
// tests where Wine has no 32-bit side, has wider pointers).
static_assert(sizeof(void*) != 4 || sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA");

namespace {

void showBox(HWND hwnd, int id) { DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(id), hwnd, CloseOnlyDlgProc, 0); }

struct Command {
    WORD id;
    void (*run)(HWND hwnd, Editor& editor);
};

const Command kCommands[] = {
    {IDM_ABOUT, [](HWND hwnd, Editor&) { showBox(hwnd, IDD_ABOUTBOX); }},
    {IDM_KEYS, [](HWND hwnd, Editor&) { showBox(hwnd, IDD_KEYS); }},
    {IDM_EXIT, [](HWND hwnd, Editor&) { DestroyWindow(hwnd); }},
    {IDM_COLOR, [](HWND, Editor& e) { e.editColours(); }},
    {IDM_SAVE_IMAGE, [](HWND, Editor& e) { e.saveImage(); }},
    {IDM_COPY, [](HWND, Editor& e) { e.copyImage(); }},
    {IDM_WALLPAPER, [](HWND, Editor& e) { e.setWallpaper(); }},
    {IDM_TILE, [](HWND, Editor& e) { e.toggleTile(); }},
    {IDM_SAVE_SETTINGS, [](HWND, Editor& e) { e.saveSettingsAs(); }},
    {IDM_OPEN_SETTINGS, [](HWND, Editor& e) { e.openSettings(); }},
    {IDM_UNDO, [](HWND, Editor& e) { e.undo(); }},
    {IDM_REDO, [](HWND, Editor& e) { e.redo(); }},
    {IDM_RANDOM, [](HWND, Editor& e) { e.random(); }},
    {IDM_MUTATE, [](HWND, Editor& e) { e.mutate(); }},
    {IDM_VARIATIONS, [](HWND hwnd, Editor&) { windowOf(hwnd)->openVariations(); }},
    {IDM_SAVE_LOOP, [](HWND, Editor& e) { e.saveLoop(); }},
    {IDM_PLAY, [](HWND, Editor& e) { e.togglePlay(); }},
};

bool onCommand(HWND hwnd, MainWindow& w, WORD id) {
    for (const Command& c : kCommands)
        if (c.id == id) {
            c.run(hwnd, w.editor());
            return true;
        }
    return wallpaperMenuCommand(hwnd, w.editor(), id, w.startFolder());
}

void onDropFiles(HWND hwnd, MainWindow& w, HDROP drop) {
    const std::wstring file = firstDroppedFile(drop);
    DragFinish(drop);
    if (file.empty()) return;
    SetForegroundWindow(hwnd);
    w.openOutsideFile(file);
}

LRESULT onCreate(HWND hwnd, const CREATESTRUCTA& cs) {
    auto w = std::make_unique<MainWindow>(hwnd, static_cast<const char*>(cs.lpCreateParams));
    if (!w->create()) return -1;  // CreateWindowExA fails, and WinMain says so
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w.get()));
    DragAcceptFiles(hwnd, TRUE);
    w.release()->editor().open();
    return 0;
}

// The keys, the mouse and the scroll bars; false for a message that is none
// of theirs, or that they leave to DefWindowProc.
bool handleInput(HWND hwnd, MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Editor& editor = w.editor();
    result = 0;
    switch (message) {
        case WM_KEYDOWN:
            if (!w.scroll().onKey(hwnd, LOWORD(wParam))) editor.key(LOWORD(wParam));
            return true;
        case WM_SIZE:
            w.updateScroll();
            return true;
        case WM_HSCROLL:
        case WM_VSCROLL:
            w.scroll().onScroll(hwnd, message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
            return true;
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
            // The scroll bars' part first (Shift, or over a bar), then the
            // picture's (the pattern's size, Ctrl for the hue).
            if (w.scroll().onWheel(hwnd, message, wParam, lParam)) return true;
            return message == WM_MOUSEWHEEL && w.mouse().handle(message, wParam, lParam);
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_CONTEXTMENU:
            return w.mouse().handle(message, wParam, lParam);
        case WM_SETCURSOR:
            // The busy pointers first, then the move pointer over the picture.
            if (LOWORD(lParam) != HTCLIENT) return false;
            result = TRUE;
            if (editor.pointer() == Pointer::Normal) return w.mouse().setCursor();
            SetCursor(LoadCursorA(nullptr, editor.pointer() == Pointer::Waiting ? IDC_WAIT : IDC_APPSTARTING));
            return true;
        default:
            return false;
    }
}

// Messages for a window that has its MainWindow.
LRESULT handle(HWND hwnd, MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam) {
    Editor& editor = w.editor();
    LRESULT result;
    if (handleInput(hwnd, w, message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_DESTROY:
            w.destroy();
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(hwnd, &ps);
            w.paint(hdc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_COMMAND:
            if (onCommand(hwnd, w, LOWORD(wParam))) return 0;
            break;
        case WM_INITMENUPOPUP: {
            HMENU menu = reinterpret_cast<HMENU>(wParam);
            EnableMenuItem(menu, IDM_UNDO, MF_BYCOMMAND | (editor.canUndo() ? MF_ENABLED : MF_GRAYED));
            EnableMenuItem(menu, IDM_REDO, MF_BYCOMMAND | (editor.canRedo() ? MF_ENABLED : MF_GRAYED));
            prepareWallpaperMenu(menu, editor);
            return 0;
        }
        case kWakeMessage:
            editor.onWake();
            return 0;
        case WM_ENABLE:
            // A modal box over the window keeps the variations still too.
            w.enablePopups(wParam != FALSE);
            return 0;
        case WM_DROPFILES:
            onDropFiles(hwnd, w, reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_DPICHANGED: {
            // The picture keeps one image pixel per screen pixel; only the
            // frame takes the size Windows suggests for the new scale.
            const RECT* r = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kFrameTimer) editor.frameTick();
            if (wParam == kProgressTimer) editor.tick();
            if (wParam != kFrameTimer && wParam != kProgressTimer) break;
            return 0;
        default:
            if (message == TaskbarProgress::buttonCreatedMessage()) {
                w.taskbarButtonCreated();
                return 0;
            }
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return onCreate(hwnd, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
    MainWindow* w = windowOf(hwnd);
    if (message == WM_NCDESTROY && w) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete w;
        w = nullptr;
    }
    return w ? handle(hwnd, *w, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

int failStart(const char* text) {
    showError(nullptr, text);
    return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    // pallodex.exe /wallpaper: no window, no box; the exit code tells.
    const WallpaperArguments wallpaper = wallpaperArguments(GetCommandLineW());
    if (wallpaper.requested) return runHeadlessWallpaper(wallpaper);
    char title[100], className[100];
    LoadStringA(hInstance, IDS_APP_TITLE, title, sizeof title);
    LoadStringA(hInstance, IDC_PALLODEX, className, sizeof className);
    // The taskbar's interface lives on this thread, apartment-threaded; the
    // program goes on without it if COM cannot start.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Version 6 of the common controls (the manifest asks for it) draws the
    // dialogs in the system's current style.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // A relative name is relative to the folder the program was started in,
    // which pallodex.ini's dir line may leave: it is made full now, and
    // opened once pallodex.ini has been read.
    const std::wstring argument = firstFileArgument(GetCommandLineW());
    const std::wstring file = argument.empty() ? argument : fullPath(argument);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_PALLODEX));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDC_PALLODEX);
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc)) return failStart("ウィンドウクラスを登録できませんでした。");

    g_hInst = hInstance;
    HWND hwnd = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                nullptr, nullptr, hInstance, title);
    if (!hwnd) return failStart("ウィンドウを作成できませんでした。");
    windowOf(hwnd)->show(nCmdShow);
    UpdateWindow(hwnd);
    if (!file.empty()) windowOf(hwnd)->openOutsideFile(file);

    HACCEL accelerators = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDC_PALLODEX));
    MSG msg = {};
    // GetMessage reports a failure as -1, which must not count as a message.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        MainWindow* w = windowOf(hwnd);
        if (w && w->translatePopupMessage(msg)) continue;
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (com) CoUninitialize();
    return static_cast<int>(msg.wParam);
}
