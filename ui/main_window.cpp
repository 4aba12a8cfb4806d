// Entry point, main window and menu commands.
//
// Renders run on a worker thread (RenderScheduler); this thread asks for them
// and takes the finished image when the worker posts kRenderedMessage, so the
// window keeps painting, opening menus and dialogs, and quitting while a
// render runs. Every GDI object of the window (the image surface included)
// is touched on this thread only.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shobjidl.h>

#include <chrono>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "dialogs.h"
#include "error_box.h"
#include "export_commands.h"
#include "file_dialog.h"
#include "file_system.h"
#include "generate.h"
#include "history.h"
#include "keyboard.h"
#include "render_scheduler.h"
#include "resource.h"
#include "settings_file.h"
#include "shell_input.h"
#include "surface.h"

HINSTANCE g_hInst;
HWND g_hWnd;
PatternSettings g_settings;
std::int8_t g_tileView = 1;
std::int32_t g_bitmapFilterIndex = 1;  // the save dialog's, see kSaveDialogFormats
std::string g_startDir;
char g_infoFileName[MAX_PATH];
char g_bitmapFileName[MAX_PATH];

// The 32-bit program's structure sizes (a 64-bit build, used only to run the
// tests where Wine has no 32-bit side, has wider pointers).
static_assert(sizeof(void*) != 4 || sizeof(MENUITEMINFOA) == 48, "MENUITEMINFOA with hbmpItem");
static_assert(sizeof(void*) != 4 || sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA");

namespace {

const char kOwnSettingsFile[] = "pallodex.ini";

// Posted by the render worker when an image is ready to be taken.
constexpr UINT kRenderedMessage = WM_APP + 1;
// Drives the progress shown in the title while a render runs.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressTickMs = 50;
// A render that ends sooner than this shows no progress at all.
constexpr auto kProgressDelay = std::chrono::milliseconds(150);
// Quitting stops a running render; this long is it waited for.
constexpr auto kQuitWait = std::chrono::milliseconds(100);

// Registered "TaskbarButtonCreated": the taskbar button exists and takes
// progress from now on.
UINT g_taskbarButtonCreated = 0;
ITaskbarList3* g_taskbar = nullptr;  // null where the taskbar offers none
int g_taskbarPercent = -1;           // what the button shows; -1 no progress

char g_title[100];
char g_className[100];

ImageSurface g_surface;
std::unique_ptr<RenderScheduler> g_renderer;
History g_history;

// Set when Esc stopped a render with no image to fall back on, or a render
// ran out of memory: the title says so until the picture shows the current
// settings again.
bool g_renderStopped = false;
// The last settings whose render ran out of memory, said once in a box: a
// burst of failing trials, or going back to them later, does not say it again.
bool g_hasFailedSettings = false;
PatternSettings g_failedSettings;
bool g_memoryBoxOpen = false;
bool g_busyCursor = false;  // a busy pointer is due over the client area
std::string g_shownTitle;

// An export command that waits for the image of the current settings.
enum class WaitingExport { None, SaveFile, Copy, Wallpaper };
WaitingExport g_waitingExport = WaitingExport::None;

OwnFileExtras ownFileExtras() { return OwnFileExtras{&g_tileView, &g_bitmapFilterIndex}; }

void invalidate(HWND hwnd, bool erase) { InvalidateRect(hwnd, nullptr, erase ? TRUE : FALSE); }

ViewState currentView() { return ViewState{g_settings, g_tileView}; }

bool surfaceShows(const PatternSettings& s) { return g_surface.hasImage() && g_surface.settings() == s; }

void setTitle(HWND hwnd, const std::string& title) {
    if (title == g_shownTitle) return;
    g_shownTitle = title;
    SetWindowTextA(hwnd, title.c_str());
}

// Sets the cursor at once if the pointer is over the client area; otherwise
// WM_SETCURSOR does it when the pointer gets there.
void refreshCursor(HWND hwnd) {
    POINT p;
    if (!GetCursorPos(&p) || WindowFromPoint(p) != hwnd) return;
    SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                 MAKELPARAM(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), WM_MOUSEMOVE));
}

// percent < 0 clears the button's progress.
void showTaskbarProgress(HWND hwnd, int percent) {
    if (!g_taskbar || percent == g_taskbarPercent) return;
    g_taskbarPercent = percent;
    if (percent < 0)
        g_taskbar->SetProgressState(hwnd, TBPF_NOPROGRESS);
    else
        g_taskbar->SetProgressValue(hwnd, static_cast<ULONGLONG>(percent), 100);
}

void updateRenderState(HWND hwnd);

// The button is made anew when Explorer restarts: the old interface is let go.
void onTaskbarButtonCreated(HWND hwnd) {
    if (g_taskbar) g_taskbar->Release();
    g_taskbar = nullptr;
    g_taskbarPercent = -1;
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar))))
        return;
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        return;
    }
    g_taskbar = taskbar;
    updateRenderState(hwnd);
}

// Title and cursor after the render state changed, and on every timer tick
// while a render runs: progress once the render has taken a moment.
void updateRenderState(HWND hwnd) {
    const RenderScheduler::Status st = g_renderer->status();
    const bool showProgress = st.busy && std::chrono::steady_clock::now() - st.since >= kProgressDelay;
    if (showProgress) {
        const int percent = st.rows > 0 ? static_cast<int>(100LL * st.rowsDone / st.rows) : 0;
        char text[160];
        std::snprintf(text, sizeof text, "%s ― 描画中 %d%%  (Escで中止)", g_title, percent);
        setTitle(hwnd, text);
        showTaskbarProgress(hwnd, percent);
    } else if (!st.busy && g_renderStopped) {
        setTitle(hwnd, std::string(g_title) + " ― 中止");
    } else if (!st.busy) {
        setTitle(hwnd, g_title);
    }
    if (!showProgress) showTaskbarProgress(hwnd, -1);
    if (!st.busy) KillTimer(hwnd, kProgressTimer);
    const bool busyCursor = showProgress || g_waitingExport != WaitingExport::None;
    if (busyCursor != g_busyCursor) {
        g_busyCursor = busyCursor;
        refreshCursor(hwnd);
    }
}

// Brings the surface to the image of s: at once if it already shows it,
// else by asking the worker, which stops whatever it was rendering.
void showImageOf(HWND hwnd, const PatternSettings& s) {
    if (surfaceShows(s)) {
        g_renderer->cancel();
        g_renderStopped = false;
    } else {
        g_renderer->request(s);
        SetTimer(hwnd, kProgressTimer, kProgressTickMs, nullptr);
    }
    updateRenderState(hwnd);
}

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

// Puts a state from the history in place: the tile flag at once, the
// parameters through a render.
void restoreView(HWND hwnd, const ViewState& v) {
    if (v.tileView != g_tileView) {
        g_tileView = v.tileView;
        updateTileCheck(hwnd);
        invalidate(hwnd, true);
    }
    g_settings = v.settings;
    showImageOf(hwnd, g_settings);
}

void undo(HWND hwnd) {
    if (g_history.canUndo()) restoreView(hwnd, g_history.undo(currentView()));
}

void redo(HWND hwnd) {
    if (g_history.canRedo()) restoreView(hwnd, g_history.redo(currentView()));
}

// Runs the export that waited, now that the surface shows the current settings.
void runWaitingExport(HWND hwnd) {
    const WaitingExport what = g_waitingExport;
    g_waitingExport = WaitingExport::None;
    updateRenderState(hwnd);
    switch (what) {
    case WaitingExport::SaveFile:
        saveBitmapFile(hwnd, g_surface, g_bitmapFileName, g_bitmapFilterIndex);
        break;
    case WaitingExport::Copy:
        copyImageToClipboard(hwnd, g_surface);
        break;
    case WaitingExport::Wallpaper:
        setDesktopWallpaper(hwnd, g_surface, g_tileView != 0);
        break;
    case WaitingExport::None:
        break;
    }
}

// Exports read the image of the current settings, never a stale or half-drawn
// one: if the surface does not show it yet, the export waits for the render.
void exportCurrentImage(HWND hwnd, WaitingExport what) {
    g_waitingExport = what;
    if (surfaceShows(g_settings)) {
        runWaitingExport(hwnd);
        return;
    }
    if (!g_renderer->status().busy) showImageOf(hwnd, g_settings);
    updateRenderState(hwnd);
}

// No memory for the image or its bitmap: the window keeps the picture it had
// (its title says the render stopped) and says why once for these settings.
// An export that waited for the image is given up, and always says so: the
// user asked for it.
void onRenderFailed(HWND hwnd, const PatternSettings& failed) {
    g_renderStopped = true;
    const bool exportWaited = g_waitingExport != WaitingExport::None;
    g_waitingExport = WaitingExport::None;
    updateRenderState(hwnd);
    const bool saidBefore = g_hasFailedSettings && g_failedSettings == failed;
    // The box runs its own message loop, in which further failures arrive.
    if (g_memoryBoxOpen || (saidBefore && !exportWaited)) return;
    g_hasFailedSettings = true;
    g_failedSettings = failed;
    g_memoryBoxOpen = true;
    // Over the colour dialog while it is open: the window itself is disabled.
    showError(GetLastActivePopup(hwnd), "メモリが足りないため描画できませんでした。");
    g_memoryBoxOpen = false;
}

void onRendered(HWND hwnd) {
    RenderScheduler::Result result;
    if (!g_renderer->take(result)) return;  // superseded after it was posted
    const bool filled = !result.pixels.empty() && g_surface.fill(result.settings, std::move(result.pixels));
    invalidate(hwnd, false);
    if (!filled) {
        onRenderFailed(hwnd, result.settings);
        return;
    }
    g_renderStopped = false;
    g_renderer->recycle(std::move(result.pixels));
    updateRenderState(hwnd);
    if (g_waitingExport != WaitingExport::None && surfaceShows(g_settings)) runWaitingExport(hwnd);
}

// Esc gives up a waiting export; otherwise it undoes the changes the image on
// screen does not show (yet, or ever, when their render ran out of memory),
// stopping a running render, so that image and settings agree again. With no
// image to go back to, the render just stops.
void onEscape(HWND hwnd) {
    if (g_waitingExport != WaitingExport::None) {
        g_waitingExport = WaitingExport::None;
        updateRenderState(hwnd);
        return;
    }
    const bool busy = g_renderer->status().busy;
    if (!busy && (!g_surface.hasImage() || surfaceShows(g_settings))) return;
    if (g_surface.hasImage()) {
        History probe = g_history;
        ViewState v = currentView();
        while (v.settings != g_surface.settings() && probe.canUndo()) v = probe.undo(v);
        if (v.settings == g_surface.settings()) {
            g_history = probe;
            restoreView(hwnd, v);
            return;
        }
    }
    if (!busy) return;
    g_renderer->cancel();
    g_surface.clear();
    g_renderStopped = true;
    invalidate(hwnd, true);
    updateRenderState(hwnd);
}

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
    // An info file is only ever read: the read-only box would mean nothing.
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    return GetOpenFileNameA(&ofn) != 0;
}

// No settings file is anywhere near this size; a bigger file was chosen by
// mistake and is not read to its end.
constexpr std::uint64_t kInfoFileMaxBytes = 1 << 20;

// Reads an info file as one undo step. A file that cannot be read or holds
// no setting (a picture chosen by mistake) changes nothing and says so.
void openInfoFile(HWND hwnd, const char* path) {
    const ViewState before = currentView();
    if (loadSettingsFile(g_settings, path, nullptr, nullptr, kInfoFileMaxBytes) != LoadResult::Loaded) {
        showFileError(hwnd, "設定を読み込めませんでした。", path);
        return;
    }
    g_history.record(before, currentView());
    showImageOf(hwnd, g_settings);
    invalidate(hwnd, false);
}

// A file from outside the program (its command line, a drop) opens as
// 情報の読み込み would, and becomes the name its dialogs offer next.
void openOutsideFile(HWND hwnd, const std::wstring& file) {
    std::string path;
    if (!toAnsiPath(file, &path)) {
        showFileError(hwnd, "設定を読み込めませんでした。", path.c_str());
        return;
    }
    openInfoFile(hwnd, path.c_str());
    path.copy(g_infoFileName, path.size());
    g_infoFileName[path.size()] = '\0';
}

void onDropFiles(HWND hwnd, HDROP drop) {
    const std::wstring file = firstDroppedFile(drop);
    DragFinish(drop);
    if (file.empty()) return;
    // Like 情報の読み込み, it waits while an export waits.
    if (g_waitingExport != WaitingExport::None) {
        MessageBeep(MB_OK);
        return;
    }
    SetForegroundWindow(hwnd);
    openOutsideFile(hwnd, file);
}

void showTrial(const PatternSettings& trial) { showImageOf(g_hWnd, trial); }

void commandAbout(HWND hwnd) {
    DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_ABOUTBOX), hwnd, AboutDlgProc, 0);
}

void commandExit(HWND hwnd) { DestroyWindow(hwnd); }

void commandColor(HWND hwnd) {
    const ViewState before = currentView();
    ColorDialogParams params{&g_settings, showTrial};
    DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_COLOR), hwnd, ColorDlgProc, reinterpret_cast<LPARAM>(&params));
    g_history.record(before, currentView());
    // Whatever closed the dialog: this also replaces an uncommitted
    // trial-run image with the committed one.
    showImageOf(hwnd, g_settings);
    invalidate(hwnd, false);
}

void commandSaveBitmap(HWND hwnd) {
    if (chooseBitmapFile(hwnd, g_bitmapFilterIndex, g_bitmapFileName)) exportCurrentImage(hwnd, WaitingExport::SaveFile);
}

void commandCopy(HWND hwnd) { exportCurrentImage(hwnd, WaitingExport::Copy); }

void commandWallpaper(HWND hwnd) { exportCurrentImage(hwnd, WaitingExport::Wallpaper); }

// Only the arrangement changes: no new render, but the white background must
// show again when tiling is switched off.
void commandTile(HWND hwnd) {
    const ViewState before = currentView();
    g_tileView = g_tileView ? 0 : 1;
    g_history.record(before, currentView());
    updateTileCheck(hwnd);
    invalidate(hwnd, true);
}

// An info file is the user's explicit choice: unlike the own pallodex.ini, a
// read-only one is a failure to say, not a pin to respect.
void commandSaveInfo(HWND hwnd) {
    if (!chooseInfoFile(hwnd, true)) return;
    if (saveSettingsFile(g_settings, g_infoFileName, nullptr) != SaveResult::Written)
        showFileError(hwnd, "情報を保存できませんでした。", g_infoFileName);
}

void commandLoadInfo(HWND hwnd) {
    if (chooseInfoFile(hwnd, false)) openInfoFile(hwnd, g_infoFileName);
}

// Bits from the system's entropy source, or none where it fails (some
// runtimes have none, or a fixed one: the clock in freshSeed covers those).
std::uint64_t deviceBits() {
    try {
        static std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    } catch (...) {
        return 0;
    }
}

// A new seed for each press: entropy, the clock and a counter, mixed so that
// every input bit reaches every seed bit (the splitmix64 finaliser). No two
// presses of a run, nor two runs, start from the same seed.
std::uint64_t freshSeed() {
    static std::uint64_t presses = 0;
    std::uint64_t x = deviceBits();
    x ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    x += 0x9E3779B97F4A7C15ull * ++presses;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A whole new parameter set as one undo step, shown through the same
// newest-wins path as the keys: holding Space never queues up renders.
void replaceSettings(HWND hwnd, const PatternSettings& next) {
    const ViewState before = currentView();
    g_settings = next;
    g_history.record(before, currentView());
    showImageOf(hwnd, g_settings);
    invalidate(hwnd, false);
}

void commandRandom(HWND hwnd) {
    // The generator takes its size and accuracy from a repaired set.
    PatternSettings keep = g_settings;
    keep.validate();
    replaceSettings(hwnd, randomSettings(keep, freshSeed()));
}

void commandMutate(HWND hwnd) { replaceSettings(hwnd, mutateSettings(g_settings, freshSeed())); }

void commandKeys(HWND hwnd) { DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_KEYS), hwnd, AboutDlgProc, 0); }

struct Command {
    WORD id;
    void (*run)(HWND);
    // Commands that change the parameters or the tile flag, or export, wait
    // while an export waits: the image it is to take must stay the one asked
    // for.
    bool whileExportWaits;
};

const Command kCommands[] = {
    {IDM_ABOUT, commandAbout, true},
    {IDM_EXIT, commandExit, true},
    {IDM_COLOR, commandColor, false},
    {IDM_SAVE_BITMAP, commandSaveBitmap, false},
    {IDM_COPY, commandCopy, false},
    {IDM_WALLPAPER, commandWallpaper, false},
    {IDM_TILE, commandTile, false},
    {IDM_SAVE_INFO, commandSaveInfo, false},
    {IDM_LOAD_INFO, commandLoadInfo, false},
    {IDM_UNDO, undo, false},
    {IDM_REDO, redo, false},
    {IDM_RANDOM, commandRandom, false},
    {IDM_MUTATE, commandMutate, false},
    {IDM_KEYS, commandKeys, true},
};

LRESULT onCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WORD id = LOWORD(wParam);
    for (const Command& c : kCommands) {
        if (c.id != id) continue;
        if (g_waitingExport != WaitingExport::None && !c.whileExportWaits)
            MessageBeep(MB_OK);
        else
            c.run(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void onKey(HWND hwnd, unsigned key) {
    if (key == VK_ESCAPE) {
        onEscape(hwnd);
        return;
    }
    if (g_waitingExport != WaitingExport::None) return;
    const ViewState before = currentView();
    const KeyEffect effect = applyKey(key, g_settings, g_tileView);
    if (effect == KeyEffect::None) return;
    g_history.record(before, currentView());
    if (effect == KeyEffect::TileToggled) updateTileCheck(hwnd);
    showImageOf(hwnd, g_settings);
    invalidate(hwnd, false);
}

bool onCreate(HWND hwnd) {
    g_hWnd = hwnd;
    g_startDir = fsys::currentDirectory();
    std::vector<std::string> dirs;
    OwnFileExtras extras = ownFileExtras();
    extras.dirs = &dirs;
    loadSettingsFile(g_settings, kOwnSettingsFile, &extras);
    for (const std::string& dir : dirs) fsys::setCurrentDirectory(dir);  // a folder that is gone is not restored
    if (!g_surface.create(hwnd)) return false;
    g_renderer = std::make_unique<RenderScheduler>([hwnd] { PostMessageA(hwnd, kRenderedMessage, 0, 0); });
    updateTileCheck(hwnd);
    DragAcceptFiles(hwnd, TRUE);
    // The first render runs while the window appears: a slow one never keeps
    // the user from the window, its menu, or quitting.
    showImageOf(hwnd, g_settings);
    return true;
}

void onDestroy() {
    g_surface.destroy();
    // A window that never got going (WM_CREATE failed) has nothing to save.
    if (!g_renderer) return;
    // A running render is stopped, not waited for: quitting is immediate. A
    // worker that cannot stop in time is left to the end of the process.
    if (!g_renderer->shutdown(kQuitWait)) static_cast<void>(g_renderer.release());
    KillTimer(g_hWnd, kProgressTimer);
    if (g_taskbar) g_taskbar->Release();
    g_taskbar = nullptr;
    // The own file's dir line may have moved us; the file belongs in the
    // folder the program was started from.
    if (!g_startDir.empty()) fsys::setCurrentDirectory(g_startDir);
    const OwnFileExtras extras = ownFileExtras();
    // A read-only own file is the user's way of pinning the parameters: it
    // is left alone without a word. Any other failure loses this run's
    // parameters, which the user must hear about.
    if (saveSettingsFile(g_settings, kOwnSettingsFile, &extras) == SaveResult::Failed) {
        // The window is on its way out: the box has no owner.
        showFileError(nullptr, "設定を保存できませんでした。", kOwnSettingsFile);
    }
    PostQuitMessage(0);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // -1 makes CreateWindowExA fail, and WinMain says so.
        return onCreate(hwnd) ? 0 : -1;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        g_surface.paint(hdc, client, g_tileView != 0);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        onKey(hwnd, LOWORD(wParam));
        return 0;
    case WM_COMMAND:
        return onCommand(hwnd, message, wParam, lParam);
    case WM_INITMENUPOPUP: {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        EnableMenuItem(menu, IDM_UNDO, MF_BYCOMMAND | (g_history.canUndo() ? MF_ENABLED : MF_GRAYED));
        EnableMenuItem(menu, IDM_REDO, MF_BYCOMMAND | (g_history.canRedo() ? MF_ENABLED : MF_GRAYED));
        return 0;
    }
    case kRenderedMessage:
        onRendered(hwnd);
        return 0;
    case WM_DROPFILES:
        onDropFiles(hwnd, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DPICHANGED: {
        // The picture keeps one image pixel per screen pixel; only the frame
        // takes the size Windows suggests for the new scale.
        const RECT* r = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kProgressTimer) {
            updateRenderState(hwnd);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SETCURSOR:
        if (g_busyCursor && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorA(nullptr, g_waitingExport != WaitingExport::None ? IDC_WAIT : IDC_APPSTARTING));
            return TRUE;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
        if (message == g_taskbarButtonCreated && message != 0) {
            onTaskbarButtonCreated(hwnd);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

namespace {

int failStart(const char* text) {
    showError(nullptr, text);
    return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    LoadStringA(hInstance, IDS_APP_TITLE, g_title, sizeof g_title);
    LoadStringA(hInstance, IDC_PALLODEX, g_className, sizeof g_className);
    g_shownTitle = g_title;
    // The taskbar's interface lives on this thread, apartment-threaded; the
    // program goes on without it if COM cannot start.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    g_taskbarButtonCreated = RegisterWindowMessageA("TaskbarButtonCreated");
    // Version 6 of the common controls (the manifest asks for it) draws the
    // dialogs in the system's current style.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // A relative name is relative to the folder the program was started in,
    // which pallodex.ini's dir line may leave: it is made full now, and
    // opened once pallodex.ini has been read.
    const std::wstring argument = firstFileArgument(GetCommandLineW());
    std::wstring file;
    if (!argument.empty()) {
        const DWORD need = GetFullPathNameW(argument.c_str(), 0, nullptr, nullptr);
        file.resize(need);
        const DWORD n = need ? GetFullPathNameW(argument.c_str(), need, &file[0], nullptr) : 0;
        file.resize(n > 0 && n < need ? n : 0);
        if (file.empty()) file = argument;
    }

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
    if (!RegisterClassExA(&wc)) return failStart("ウィンドウクラスを登録できませんでした。");

    g_hInst = hInstance;
    g_hWnd = CreateWindowExA(0, g_className, g_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                             nullptr, nullptr, hInstance, nullptr);
    if (!g_hWnd) return failStart("ウィンドウを作成できませんでした。");
    ShowWindow(g_hWnd, nCmdShow);
    UpdateWindow(g_hWnd);
    if (!file.empty()) openOutsideFile(g_hWnd, file);

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
