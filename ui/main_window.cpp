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
#include "editor.h"
#include "error_box.h"
#include "export_commands.h"
#include "file_dialog.h"
#include "resource.h"
#include "shell_input.h"
#include "surface.h"
#include "taskbar.h"

HINSTANCE g_hInst;

// The 32-bit program's structure sizes (a 64-bit build, used only to run the
// tests where Wine has no 32-bit side, has wider pointers).
static_assert(sizeof(void*) != 4 || sizeof(MENUITEMINFOA) == 48, "MENUITEMINFOA with hbmpItem");
static_assert(sizeof(void*) != 4 || sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA");

namespace {

// Posted by the render worker when an image is ready to be taken.
constexpr UINT kWakeMessage = WM_APP + 1;
// Drives the progress shown in the title while a render runs.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressTickMs = 50;

class MainWindow final : public EditorHost {
public:
    MainWindow(HWND hwnd, const char* title)
        : hwnd_(hwnd),
          editor_(*this, std::make_unique<RenderScheduler>([this] { wake(); }), title) {}

    Editor& editor() { return editor_; }
    bool create() { return surface_.create(hwnd_); }
    void destroy() {
        closing_ = true;
        editor_.close();
        taskbar_.release();
        surface_.destroy();
    }
    void paint(HDC hdc) {
        RECT client;
        GetClientRect(hwnd_, &client);
        surface_.paint(hdc, client, editor_.tiled());
    }
    void taskbarButtonCreated() { taskbar_.buttonCreated(hwnd_); }
    // A file from outside the program (its command line, a drop).
    void openOutsideFile(const std::wstring& file) {
        std::string path;
        const bool readable = toAnsiPath(file, &path);
        editor_.openOutsideFile(path, readable);
    }

    void wake() override { PostMessageA(hwnd_, kWakeMessage, 0, 0); }
    bool showPicture(const PatternSettings& s, std::vector<std::uint32_t>& pixels) override {
        const bool shown = surface_.fill(s, pixels);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return shown;
    }
    void clearPicture() override {
        surface_.clear();
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
    // Only the arrangement changes: no new render, but the white background
    // must show again when tiling is switched off.
    void tileChanged(bool tiled) override {
        CheckMenuItem(GetMenu(hwnd_), IDM_TILE, MF_BYCOMMAND | (tiled ? MF_CHECKED : MF_UNCHECKED));
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
    void setTitle(const std::string& title) override { SetWindowTextA(hwnd_, title.c_str()); }
    void setProgress(int percent) override { taskbar_.show(hwnd_, percent); }
    void setPointer(Pointer) override { refreshCursor(); }
    void setTicking(bool on) override {
        if (on)
            SetTimer(hwnd_, kProgressTimer, kProgressTickMs, nullptr);
        else
            KillTimer(hwnd_, kProgressTimer);
    }
    void beep() override { MessageBeep(MB_OK); }
    // Over the colour dialog while it is open: the window itself is disabled.
    // A window on its way out owns no box.
    void showError(const std::string& text) override {
        ::showError(closing_ ? nullptr : GetLastActivePopup(hwnd_), text.c_str());
    }
    void showFileError(const std::string& text, const std::string& path) override {
        ::showFileError(closing_ ? nullptr : hwnd_, text.c_str(), path.c_str());
    }
    std::optional<PatternSettings> editColours(const PatternSettings& committed) override {
        ColorDialogParams params{committed, [this](const PatternSettings& s) { editor_.preview(s); }};
        if (DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_COLOR), hwnd_, ColorDlgProc,
                            reinterpret_cast<LPARAM>(&params)) != IDOK)
            return std::nullopt;
        return params.values;
    }
    bool chooseImageFile(std::int32_t& formatIndex) override {
        return ::chooseImageFile(hwnd_, formatIndex, imageFileName_);
    }
    bool chooseSettingsFile(bool forSaving, std::string& path) override {
        char name[MAX_PATH] = "";
        if (path.size() < MAX_PATH) path.copy(name, path.size());
        if (!::chooseSettingsFile(hwnd_, forSaving, name)) return false;
        path = name;
        return true;
    }
    bool runExport(ExportKind kind, bool tiled, std::int32_t formatIndex) override {
        switch (kind) {
            case ExportKind::ImageFile:
                return saveImageFile(hwnd_, surface_, imageFileName_, formatIndex);
            case ExportKind::Clipboard:
                return copyImageToClipboard(hwnd_, surface_);
            case ExportKind::Wallpaper:
                return setDesktopWallpaper(hwnd_, surface_, tiled);
        }
        return false;
    }

private:
    // Sets the cursor at once if the pointer is over the client area;
    // otherwise WM_SETCURSOR does it when the pointer gets there.
    void refreshCursor() {
        POINT p;
        if (!GetCursorPos(&p) || WindowFromPoint(p) != hwnd_) return;
        SendMessageA(hwnd_, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd_),
                     MAKELPARAM(SendMessageA(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), WM_MOUSEMOVE));
    }

    HWND hwnd_;
    ImageSurface surface_;
    TaskbarProgress taskbar_;
    char imageFileName_[MAX_PATH] = "";  // the last image file, offered again
    bool closing_ = false;
    Editor editor_;  // last: its renderer stops before the surface goes
};

MainWindow* windowOf(HWND hwnd) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

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
};

bool onCommand(HWND hwnd, Editor& editor, WORD id) {
    for (const Command& c : kCommands)
        if (c.id == id) {
            c.run(hwnd, editor);
            return true;
        }
    return false;
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

// Messages for a window that has its MainWindow.
LRESULT handle(HWND hwnd, MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam) {
    Editor& editor = w.editor();
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
        case WM_KEYDOWN:
            editor.key(LOWORD(wParam));
            return 0;
        case WM_COMMAND:
            if (onCommand(hwnd, editor, LOWORD(wParam))) return 0;
            break;
        case WM_INITMENUPOPUP: {
            HMENU menu = reinterpret_cast<HMENU>(wParam);
            EnableMenuItem(menu, IDM_UNDO, MF_BYCOMMAND | (editor.canUndo() ? MF_ENABLED : MF_GRAYED));
            EnableMenuItem(menu, IDM_REDO, MF_BYCOMMAND | (editor.canRedo() ? MF_ENABLED : MF_GRAYED));
            return 0;
        }
        case kWakeMessage:
            editor.onWake();
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
            if (wParam != kProgressTimer) break;
            editor.tick();
            return 0;
        case WM_SETCURSOR:
            if (editor.pointer() == Pointer::Normal || LOWORD(lParam) != HTCLIENT) break;
            SetCursor(LoadCursorA(nullptr, editor.pointer() == Pointer::Waiting ? IDC_WAIT : IDC_APPSTARTING));
            return TRUE;
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
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
    if (!file.empty()) windowOf(hwnd)->openOutsideFile(file);

    HACCEL accelerators = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDC_PALLODEX));
    MSG msg = {};
    // GetMessage reports a failure as -1, which must not count as a message.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (com) CoUninitialize();
    return static_cast<int>(msg.wParam);
}
