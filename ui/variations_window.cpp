#include "variations_window.h"

#include <algorithm>
#include <utility>

#include "error_box.h"
#include "resource.h"

extern HINSTANCE g_hInst;

namespace {

// Posted by the cell worker when a cell is finished.
constexpr UINT kCellsMessage = WM_APP + 2;
// At 96 DPI: a cell's side when the window opens, the space between cells
// (room for the focus frame), the margin round the buttons, the smallest cell.
constexpr int kCellSide = 240;
constexpr int kGap = 8;
constexpr int kMargin = 8;
constexpr int kSmallestCell = 32;
const char kGridClass[] = "PallodexVariationCells";

int scaled(int v, UINT dpi) { return MulDiv(v, static_cast<int>(dpi), 96); }

// The window's scale: its monitor's where the system can tell (Windows 10
// on), else the system's.
UINT dpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpi)
        if (const UINT dpi = getDpi(hwnd)) return dpi;
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE sizeOf(HWND w) {
    RECT r = {};
    GetWindowRect(w, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// What the frame adds to a client area of the window.
SIZE frameOf(HWND w) {
    RECT c = {};
    GetClientRect(w, &c);
    const SIZE outer = sizeOf(w);
    return SIZE{outer.cx - c.right, outer.cy - c.bottom};
}

}  // namespace

VariationsWindow::VariationsWindow(HWND owner, Editor& editor) : owner_(owner), editor_(editor) {}

VariationsWindow::~VariationsWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void VariationsWindow::open() {
    if (hwnd_) {
        if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
        SetActiveWindow(hwnd_);
        return;
    }
    HWND dlg = CreateDialogParamA(g_hInst, MAKEINTRESOURCEA(IDD_VARIATIONS), owner_, dialogProc,
                                  reinterpret_cast<LPARAM>(this));
    if (!dlg) {
        showError(owner_, "候補の画面を開けませんでした。");
        return;
    }
    ShowWindow(dlg, SW_SHOW);
}

void VariationsWindow::follow(const PatternSettings& s) {
    if (!hwnd_) return;
    // The picked cell's picture is the new centre's: it moves there at once.
    const int moved = variations_->follow(s);
    if (moved >= 0) std::swap(pictures_[static_cast<std::size_t>(moved)], pictures_[Variations::kCentre]);
    clearUnknownCells();
}

void VariationsWindow::enable(bool on) {
    if (hwnd_) EnableWindow(hwnd_, on);
}

// The main window's accelerators would send Space, Enter and the stepping
// keys to it; here they press buttons and move the frame. Only undo and redo
// go to the main window.
bool VariationsWindow::translate(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    if (keys_ && TranslateAcceleratorA(hwnd_, keys_, &msg)) return true;
    return IsDialogMessageA(hwnd_, &msg) != FALSE;
}

INT_PTR CALLBACK VariationsWindow::dialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<VariationsWindow*>(lParam);
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        if (!self->create(dlg)) {
            DestroyWindow(dlg);
            return FALSE;
        }
        return FALSE;  // the grid has the focus
    }
    auto* self = reinterpret_cast<VariationsWindow*>(GetWindowLongPtrA(dlg, DWLP_USER));
    return self && self->hwnd_ == dlg ? self->onMessage(message, wParam, lParam) : FALSE;
}

LRESULT CALLBACK VariationsWindow::gridProc(HWND grid, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(grid, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<VariationsWindow*>(GetWindowLongPtrA(grid, GWLP_USERDATA));
    if (self && self->grid_ == grid) return self->onGridMessage(message, wParam, lParam);
    return DefWindowProcA(grid, message, wParam, lParam);
}

bool VariationsWindow::create(HWND dlg) {
    hwnd_ = dlg;
    dpi_ = dpiOf(dlg);
    SendMessageA(dlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconA(g_hInst, MAKEINTRESOURCEA(IDI_PALLODEX))));
    keys_ = LoadAcceleratorsA(g_hInst, MAKEINTRESOURCEA(IDR_VARIATIONS));
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;  // a double click is no second pick
    wc.lpfnWndProc = gridProc;
    wc.hInstance = g_hInst;
    wc.hCursor = LoadCursorA(nullptr, IDC_HAND);
    wc.lpszClassName = kGridClass;
    RegisterClassExA(&wc);  // fails harmlessly when it already is
    grid_ = CreateWindowExA(0, kGridClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, dlg,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VAR_CELLS)), g_hInst, this);
    bool ok = grid_ != nullptr;
    for (auto& p : pictures_) {
        p = std::make_unique<ImageSurface>();
        ok = ok && p->create(grid_);
    }
    if (!ok) {
        destroy();
        return false;
    }
    // First in the tab order, above the buttons.
    SetWindowPos(grid_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    variations_ = std::make_unique<Variations>([dlg] { PostMessageA(dlg, kCellsMessage, 0, 0); },
                                               [this] { return editor_.freshSeed(); });
    CheckDlgButton(dlg, IDC_VAR_KEEP_COLOUR, (scope_ & MutateColour) ? BST_UNCHECKED : BST_CHECKED);
    CheckDlgButton(dlg, IDC_VAR_KEEP_SHAPE, (scope_ & MutateShape) ? BST_UNCHECKED : BST_CHECKED);
    scopeClicked(0);
    focus_ = Variations::kCentre;
    placeFirstTime();
    layOut();
    variations_->follow(editor_.settings());
    SetFocus(grid_);
    return true;
}

void VariationsWindow::destroy() {
    variations_.reset();
    for (auto& p : pictures_) p.reset();
    hwnd_ = grid_ = nullptr;
}

// Cells of kCellSide at the window's scale, or the place and size the user
// left it at; beside the main window's right edge, within the work area.
void VariationsWindow::placeFirstTime() {
    RECT r = placement_;
    if (r.right <= r.left) {
        const int cell = scaled(kCellSide, dpi_), gap = scaled(kGap, dpi_), margin = scaled(kMargin, dpi_);
        const SIZE frame = frameOf(hwnd_), button = sizeOf(GetDlgItem(hwnd_, IDC_VAR_RANDOM));
        const int w = 3 * cell + 4 * gap + frame.cx, h = 3 * cell + 4 * gap + button.cy + margin + frame.cy;
        RECT owner = {};
        GetWindowRect(owner_, &owner);
        r = RECT{owner.right - w, owner.top + GetSystemMetrics(SM_CYCAPTION), owner.right, 0};
        r.bottom = r.top + h;
    }
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoA(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi)) {
        // A small screen at a large scale takes smaller cells.
        const RECT& wa = mi.rcWork;
        r.right = r.left + std::min(r.right - r.left, wa.right - wa.left);
        r.bottom = r.top + std::min(r.bottom - r.top, wa.bottom - wa.top);
        LONG dx = std::min(0L, wa.right - r.right), dy = std::min(0L, wa.bottom - r.bottom);
        dx = std::max(dx, wa.left - r.left);
        dy = std::max(dy, wa.top - r.top);
        OffsetRect(&r, dx, dy);
    }
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The buttons in a row along the bottom, the grid over the rest; the cells
// share the grid, so a new size shows more or less of each picture.
void VariationsWindow::layOut() {
    RECT c = {};
    GetClientRect(hwnd_, &c);
    if (c.right <= 0 || c.bottom <= 0) return;
    const int margin = scaled(kMargin, dpi_), gap = scaled(kGap, dpi_);
    HWND random = GetDlgItem(hwnd_, IDC_VAR_RANDOM), colour = GetDlgItem(hwnd_, IDC_VAR_KEEP_COLOUR);
    HWND shape = GetDlgItem(hwnd_, IDC_VAR_KEEP_SHAPE), close = GetDlgItem(hwnd_, IDCANCEL);
    const SIZE rs = sizeOf(random), cs = sizeOf(colour), ss = sizeOf(shape), xs = sizeOf(close);
    const int top = c.bottom - margin - rs.cy, boxTop = top + (rs.cy - cs.cy) / 2;
    MoveWindow(random, margin, top, rs.cx, rs.cy, TRUE);
    MoveWindow(colour, 3 * margin + rs.cx, boxTop, cs.cx, cs.cy, TRUE);
    MoveWindow(shape, 4 * margin + rs.cx + cs.cx, boxTop, ss.cx, ss.cy, TRUE);
    MoveWindow(close, std::max(5 * margin + rs.cx + cs.cx + ss.cx, static_cast<int>(c.right) - margin - xs.cx), top,
               xs.cx, xs.cy, TRUE);
    MoveWindow(grid_, 0, 0, c.right, std::max(0, top), TRUE);
    cell_ = SIZE{std::max(1L, (c.right - 4 * gap) / 3), std::max(1, (top - 4 * gap) / 3)};
    if (variations_) variations_->resize(cell_.cx, cell_.cy);
    InvalidateRect(grid_, nullptr, FALSE);
}

RECT VariationsWindow::cellRect(int cell) const {
    const int gap = scaled(kGap, dpi_);
    const int x = gap + (cell % 3) * (cell_.cx + gap), y = gap + (cell / 3) * (cell_.cy + gap);
    return RECT{x, y, x + cell_.cx, y + cell_.cy};
}

int VariationsWindow::cellAt(POINT p) const {
    for (int i = 0; i < Variations::kCells; ++i) {
        const RECT r = cellRect(i);
        if (PtInRect(&r, p)) return i;
    }
    return -1;
}

// A cell not finished yet is the window's background, which its picture
// fills in.
void VariationsWindow::paintGrid(HDC dc) {
    RECT client = {};
    GetClientRect(grid_, &client);
    int saved = SaveDC(dc);
    for (int i = 0; i < Variations::kCells; ++i) {
        const RECT r = cellRect(i);
        if (pictures_[static_cast<std::size_t>(i)]->hasImage()) ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
    }
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RestoreDC(dc, saved);
    for (int i = 0; i < Variations::kCells; ++i) {
        const ImageSurface& picture = *pictures_[static_cast<std::size_t>(i)];
        if (!picture.hasImage()) continue;
        const RECT r = cellRect(i);
        saved = SaveDC(dc);
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        SetViewportOrgEx(dc, r.left, r.top, nullptr);
        const RECT local = {0, 0, r.right - r.left, r.bottom - r.top};
        picture.paint(dc, local, false);
        RestoreDC(dc, saved);
    }
    if (GetFocus() == grid_) {
        const int thickness = std::max(2, scaled(3, dpi_));
        RECT f = cellRect(focus_);
        InflateRect(&f, thickness + 1, thickness + 1);
        for (int k = 0; k < thickness; ++k, InflateRect(&f, -1, -1)) FrameRect(dc, &f, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
}

// Every finished cell, painted at once rather than when the queue is empty.
void VariationsWindow::takeCells() {
    bool any = false;
    for (CellResult r; variations_ && variations_->take(r);) {
        ImageSurface& picture = *pictures_[static_cast<std::size_t>(r.index)];
        PatternSettings shape = r.settings;
        shape.bmpw = cell_.cx;
        shape.bmph = cell_.cy;
        if (!picture.fill(shape, r.pixels)) picture.clear();
        const RECT rc = cellRect(r.index);
        InvalidateRect(grid_, &rc, FALSE);
        any = true;
    }
    if (any) UpdateWindow(grid_);
}

// Cells whose sets are still to be made show no stale picture.
void VariationsWindow::clearUnknownCells() {
    for (int i = 0; i < Variations::kCells; ++i)
        if (!variations_->settings(i)) pictures_[static_cast<std::size_t>(i)]->clear();
    InvalidateRect(grid_, nullptr, FALSE);
}

// The centre is already the main window's set: picking it asks for eight
// more variations of it. A cell whose set is still being made has nothing
// to give yet.
void VariationsWindow::pick(int cell) {
    if (!variations_->settings(cell)) {
        MessageBeep(MB_OK);
        return;
    }
    const PatternSettings chosen = *variations_->settings(cell);
    focus_ = Variations::kCentre;
    if (cell == Variations::kCentre) {
        variations_->refill();
        clearUnknownCells();
    } else {
        editor_.pick(chosen);  // the centre follows through the main window
    }
    InvalidateRect(grid_, nullptr, FALSE);
}

void VariationsWindow::moveFocus(int dx, int dy) {
    const int x = std::min(2, std::max(0, focus_ % 3 + dx)), y = std::min(2, std::max(0, focus_ / 3 + dy));
    focus_ = y * 3 + x;
    InvalidateRect(grid_, nullptr, FALSE);
}

// With both ticked nothing would be left to vary: each box greys the other.
void VariationsWindow::scopeClicked(int id) {
    const bool keepColour = IsDlgButtonChecked(hwnd_, IDC_VAR_KEEP_COLOUR) == BST_CHECKED;
    const bool keepShape = IsDlgButtonChecked(hwnd_, IDC_VAR_KEEP_SHAPE) == BST_CHECKED;
    EnableWindow(GetDlgItem(hwnd_, IDC_VAR_KEEP_SHAPE), !keepColour);
    EnableWindow(GetDlgItem(hwnd_, IDC_VAR_KEEP_COLOUR), !keepShape);
    scope_ = keepColour ? MutateShape : keepShape ? MutateColour : MutateAll;
    variations_->setScope(scope_);
    if (id) clearUnknownCells();
}

INT_PTR VariationsWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) layOut();
            return TRUE;
        case WM_GETMINMAXINFO: {
            const int margin = scaled(kMargin, dpi_), gap = scaled(kGap, dpi_);
            const SIZE frame = frameOf(hwnd_), button = sizeOf(GetDlgItem(hwnd_, IDC_VAR_RANDOM));
            int buttons = 6 * margin;
            for (int id : {IDC_VAR_RANDOM, IDC_VAR_KEEP_COLOUR, IDC_VAR_KEEP_SHAPE, IDCANCEL})
                buttons += sizeOf(GetDlgItem(hwnd_, id)).cx;
            const int grid = 3 * scaled(kSmallestCell, dpi_) + 4 * gap;
            auto* mm = reinterpret_cast<MINMAXINFO*>(lParam);
            mm->ptMinTrackSize.x = std::max(grid, buttons) + frame.cx;
            mm->ptMinTrackSize.y = grid + button.cy + margin + frame.cy;
            return TRUE;
        }
        case WM_DPICHANGED: {
            // The cells keep one image pixel per screen pixel: the window
            // takes the size Windows suggests, and the cells what it holds.
            dpi_ = HIWORD(wParam);
            const RECT* r = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            layOut();
            return TRUE;
        }
        case kCellsMessage:
            takeCells();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_VAR_RANDOM:
                    variations_->refillRandom();
                    clearUnknownCells();
                    return TRUE;
                case IDC_VAR_KEEP_COLOUR:
                case IDC_VAR_KEEP_SHAPE:
                    scopeClicked(LOWORD(wParam));
                    return TRUE;
                case IDOK:  // Enter where no button takes it
                    pick(focus_);
                    return TRUE;
                case IDCANCEL:  // Esc, the close box and the button
                    DestroyWindow(hwnd_);
                    return TRUE;
                case IDM_UNDO:
                case IDM_REDO:
                    SendMessageA(owner_, WM_COMMAND, LOWORD(wParam), 0);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            GetWindowRect(hwnd_, &placement_);
            if (IsIconic(hwnd_)) placement_ = RECT{};
            destroy();
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT VariationsWindow::onGridMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(grid_, &ps);
            paintGrid(dc);
            EndPaint(grid_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_LBUTTONDOWN: {
            SetFocus(grid_);
            const int cell = cellAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            if (cell >= 0) {
                focus_ = cell;
                pick(cell);
            }
            return 0;
        }
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_LEFT: moveFocus(-1, 0); return 0;
                case VK_RIGHT: moveFocus(1, 0); return 0;
                case VK_UP: moveFocus(0, -1); return 0;
                case VK_DOWN: moveFocus(0, 1); return 0;
                case VK_RETURN: pick(focus_); return 0;
                default: break;
            }
            break;
        case WM_GETDLGCODE: {
            const MSG* m = reinterpret_cast<const MSG*>(lParam);
            return DLGC_WANTARROWS | (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0);
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(grid_, nullptr, FALSE);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(grid_, message, wParam, lParam);
}
