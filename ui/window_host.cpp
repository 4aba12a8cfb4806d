#include "window_host.h"

#include "dialogs.h"
#include "error_box.h"
#include "export_commands.h"
#include "file_dialog.h"
#include "resource.h"
#include "shell_input.h"

namespace {

constexpr UINT kProgressTickMs = 50;

}  // namespace

MainWindow::MainWindow(HWND hwnd, const char* title)
    : hwnd_(hwnd),
      editor_(*this, std::make_unique<RenderScheduler>([this] { wake(); }), title),
      mouse_(hwnd, editor_, [this](POINT client, POINT* pixel) { return pictureAt(client, pixel); }),
      variations_(hwnd, editor_) {}

void MainWindow::destroy() {
    closing_ = true;
    editor_.close();
    taskbar_.release();
    surface_.destroy();
}

void MainWindow::paint(HDC hdc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    surface_.paint(hdc, client, editor_.tiled());
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
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
    return shown;
}

void MainWindow::clearPicture() {
    surface_.clear();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Only the arrangement changes: no new render, but the white background must
// show again when tiling is switched off.
void MainWindow::tileChanged(bool tiled) {
    CheckMenuItem(GetMenu(hwnd_), IDM_TILE, MF_BYCOMMAND | (tiled ? MF_CHECKED : MF_UNCHECKED));
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
    ColorDialogParams params{committed, [this](const PatternSettings& s) { editor_.preview(s); }};
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
