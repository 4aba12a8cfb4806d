#include "window_host.h"

#include <imm.h>

#include <algorithm>

#include "dialogs.h"
#include "error_box.h"
#include "export_commands.h"
#include "file_dialog.h"
#include "loop_dialog.h"
#include "resource.h"
#include "shell_input.h"

namespace {

constexpr UINT kProgressTickMs = 50;

// A window restored at a kept place must show this much of itself on the
// work area of a present monitor, caption first, or it takes the default
// place: the monitor it was on may be gone.
constexpr int kMinVisibleWidth = 120;

bool fitsAScreen(const WindowPlace& p) {
    if (p.width <= 0 || p.height <= 0 || p.width > 32767 || p.height > 32767) return false;
    // The place is in workspace coordinates: relative to the primary
    // monitor's work area.
    RECT primary;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &primary, 0)) return false;
    const RECT r = {primary.left + p.x, primary.top + p.y, primary.left + p.x + p.width, primary.top + p.y + p.height};
    MONITORINFO m = {};
    m.cbSize = sizeof m;
    HMONITOR monitor = MonitorFromRect(&r, MONITOR_DEFAULTTONULL);
    if (!monitor || !GetMonitorInfoA(monitor, &m)) return false;
    RECT seen;
    if (!IntersectRect(&seen, &r, &m.rcWork)) return false;
    return r.top >= m.rcWork.top && r.top + GetSystemMetrics(SM_CYCAPTION) <= m.rcWork.bottom &&
           seen.right - seen.left >= std::min(kMinVisibleWidth, p.width);
}

}  // namespace

MainWindow::MainWindow(HWND hwnd, const char* title)
    : hwnd_(hwnd),
      editor_(*this, std::make_unique<RenderScheduler>([this] { wake(); }), title),
      mouse_(hwnd, editor_, [this](POINT client, POINT* pixel) { return pictureAt(client, pixel); }),
      variations_(hwnd, editor_) {}

bool MainWindow::create() {
    if (!surface_.create(hwnd_)) return false;
    // Before pallodex.ini's dir lines move the current folder.
    startFolder_ = fullPath(L".");
    // Letters and digits step the parameters: with an input method on, they
    // would be taken for text. The dialogs keep theirs.
    ImmAssociateContextEx(hwnd_, nullptr, 0);
    return true;
}

void MainWindow::show(int nCmdShow) {
    if (!startPlace_.known || !fitsAScreen(startPlace_)) {
        ShowWindow(hwnd_, nCmdShow);
        return;
    }
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    GetWindowPlacement(hwnd_, &wp);
    wp.rcNormalPosition = RECT{startPlace_.x, startPlace_.y, startPlace_.x + startPlace_.width,
                               startPlace_.y + startPlace_.height};
    // A shortcut set to start minimised or maximised is obeyed; otherwise
    // the window opens as it was left.
    const bool minimised = nCmdShow == SW_SHOWMINIMIZED || nCmdShow == SW_MINIMIZE || nCmdShow == SW_SHOWMINNOACTIVE ||
                           nCmdShow == SW_FORCEMINIMIZE;
    const bool maximised = startPlace_.maximised || nCmdShow == SW_SHOWMAXIMIZED;
    wp.flags = minimised && maximised ? WPF_RESTORETOMAXIMIZED : 0;
    wp.showCmd = minimised ? static_cast<UINT>(nCmdShow) : maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    SetWindowPlacement(hwnd_, &wp);
}

WindowPlace MainWindow::windowPlace() {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd_, &wp)) return WindowPlace{};
    const RECT& r = wp.rcNormalPosition;
    const bool maximised = wp.showCmd == SW_SHOWMAXIMIZED ||
                           (wp.showCmd == SW_SHOWMINIMIZED && (wp.flags & WPF_RESTORETOMAXIMIZED));
    return WindowPlace{true, r.left, r.top, r.right - r.left, r.bottom - r.top, static_cast<std::int8_t>(maximised)};
}

void MainWindow::restoreWindowPlace(const WindowPlace& place) { startPlace_ = place; }

std::string MainWindow::wallpaperHistoryFolder() { return ::wallpaperHistoryFolder(); }

RECT MainWindow::pictureOnScreen() const {
    RECT client;
    GetClientRect(hwnd_, &client);
    RECT r = {0, 0, 0, 0};
    if (surface_.hasImage()) {
        const bool tiled = editor_.tiled();
        r.right = std::min<LONG>(surface_.width() - (tiled ? 0 : scroll_.x()), client.right);
        r.bottom = std::min<LONG>(surface_.height() - (tiled ? 0 : scroll_.y()), client.bottom);
    }
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void MainWindow::destroy() {
    closing_ = true;
    editor_.close();
    taskbar_.release();
    surface_.destroy();
}

void MainWindow::paint(HDC hdc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    surface_.paint(hdc, client, editor_.tiled(), scroll_.x(), scroll_.y());
}

void MainWindow::openOutsideFile(const std::wstring& file) {
    std::string path;
    const bool readable = toAnsiPath(file, &path);
    editor_.openOutsideFile(path, readable);
}

void MainWindow::wake() { PostMessageA(hwnd_, kWakeMessage, 0, 0); }

// Painted at once: while a hand drags the picture, a paint left for an empty
// queue could wait behind a stream of mouse moves.
bool MainWindow::showPicture(const PatternSettings& s, std::vector<std::uint32_t>& pixels) {
    const bool shown = surface_.fill(s, pixels);
    updateScroll();
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
    return shown;
}

void MainWindow::clearPicture() {
    surface_.clear();
    updateScroll();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Only the arrangement changes: no new render, but the white background must
// show again when tiling is switched off.
void MainWindow::tileChanged(bool tiled) {
    CheckMenuItem(GetMenu(hwnd_), IDM_TILE, MF_BYCOMMAND | (tiled ? MF_CHECKED : MF_UNCHECKED));
    updateScroll();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::setTitle(const std::string& title) { SetWindowTextA(hwnd_, title.c_str()); }

void MainWindow::setProgress(int percent) { taskbar_.show(hwnd_, percent); }

void MainWindow::setPointer(Pointer) { refreshCursor(); }

void MainWindow::setTicking(bool on) {
    if (on)
        SetTimer(hwnd_, kProgressTimer, kProgressTickMs, nullptr);
    else
        KillTimer(hwnd_, kProgressTimer);
}

void MainWindow::beep() { MessageBeep(MB_OK); }

// Over the colour dialog while it is open: the window itself is disabled. A
// window on its way out owns no box.
void MainWindow::showError(const std::string& text) {
    ::showError(closing_ ? nullptr : GetLastActivePopup(hwnd_), text.c_str());
}

void MainWindow::showFileError(const std::string& text, const std::string& path) {
    ::showFileError(closing_ ? nullptr : hwnd_, text.c_str(), path.c_str());
}

std::optional<PatternSettings> MainWindow::editColours(const PatternSettings& committed) {
    ColorDialogParams params{committed, [this](const PatternSettings& s) { editor_.preview(s); }, pictureOnScreen()};
    if (DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_COLOR), hwnd_, ColorDlgProc, reinterpret_cast<LPARAM>(&params)) !=
        IDOK)
        return std::nullopt;
    return params.values;
}

bool MainWindow::chooseImageFile(std::int32_t& formatIndex) {
    return ::chooseImageFile(hwnd_, formatIndex, imageFileName_);
}

bool MainWindow::chooseSettingsFile(bool forSaving, std::string& path) {
    char name[MAX_PATH] = "";
    if (path.size() < MAX_PATH) path.copy(name, path.size());
    if (!::chooseSettingsFile(hwnd_, forSaving, name)) return false;
    path = name;
    return true;
}

bool MainWindow::runExport(ExportKind kind, bool tiled, std::int32_t formatIndex) {
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

bool MainWindow::chooseLoop(LoopChoice& choice) { return ::chooseLoop(hwnd_, choice); }

bool MainWindow::chooseLoopFile(LoopFormat& format, std::string& path) { return ::chooseLoopFile(hwnd_, format, path); }

bool MainWindow::ask(const std::string& text) {
    return MessageBoxA(hwnd_, text.c_str(), "動く壁紙の保存", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// As often as the system's timers go (about every 16 ms): the editor shows
// each frame at the first tick after it is due.
void MainWindow::setFrameTimer(bool on) {
    if (on)
        SetTimer(hwnd_, kFrameTimer, USER_TIMER_MINIMUM, nullptr);
    else
        KillTimer(hwnd_, kFrameTimer);
}

void MainWindow::playingChanged(bool playing) {
    CheckMenuItem(GetMenu(hwnd_), IDM_PLAY, MF_BYCOMMAND | (playing ? MF_CHECKED : MF_UNCHECKED));
}

// Sets the cursor at once if the pointer is over the client area; otherwise
// WM_SETCURSOR does it when the pointer gets there.
void MainWindow::refreshCursor() {
    POINT p;
    if (!GetCursorPos(&p) || WindowFromPoint(p) != hwnd_) return;
    SendMessageA(hwnd_, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd_),
                 MAKELPARAM(SendMessageA(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), WM_MOUSEMOVE));
}

// The picture starts at the client area's corner, repeated from there when
// tiled (see ImageSurface::paint).
bool MainWindow::pictureAt(POINT client, POINT* pixel) const {
    RECT area;
    if (!surface_.hasImage() || !GetClientRect(hwnd_, &area) || !PtInRect(&area, client)) return false;
    const int w = surface_.width(), h = surface_.height();
    if (editor_.tiled()) {
        *pixel = POINT{client.x % w, client.y % h};
        return true;
    }
    *pixel = client;
    return client.x < w && client.y < h;
}
