#include "picture_mouse.h"

#include <windowsx.h>

#include "resource.h"

extern HINSTANCE g_hInst;

namespace {

// Client coordinates are signed: with the capture, the pointer may be left
// of or above the window.
POINT pointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

bool PictureMouse::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            POINT pixel;
            if (!pictureAt_(pointOf(lParam), &pixel) || !editor_.beginDrag()) return false;
            dragFrom_ = pointOf(lParam);
            SetCapture(hwnd_);
            return true;
        }
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            if (!dragFrom_) return false;
            // Device pixels are image pixels: the picture is never scaled.
            editor_.dragBy(pointOf(lParam).x - dragFrom_->x, pointOf(lParam).y - dragFrom_->y);
            if (message == WM_LBUTTONUP) ReleaseCapture();
            return true;
        case WM_CAPTURECHANGED:
            // Released, or taken by a menu or a box: the drag ends where it is.
            if (!dragFrom_) return false;
            dragFrom_.reset();
            editor_.endDrag();
            return true;
        case WM_MOUSEWHEEL:
            return wheel(wParam, lParam);
        case WM_CONTEXTMENU:
            return contextMenu(lParam);
        default:
            return false;
    }
}

bool PictureMouse::setCursor() const {
    POINT p, pixel;
    if (!GetCursorPos(&p) || !ScreenToClient(hwnd_, &p) || !pictureAt_(p, &pixel)) return false;
    SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
    return true;
}

// The plain wheel zooms, Ctrl+wheel turns the hue; Shift+wheel scrolls
// across and is not ours. Deltas finer than a notch (smooth wheels, touch
// pads) add up until they make one; a turn the other way, or to the other
// kind, starts again.
bool PictureMouse::wheel(WPARAM wParam, LPARAM lParam) {
    const WORD keys = GET_KEYSTATE_WPARAM(wParam);
    if (keys & MK_SHIFT) return false;
    POINT p = pointOf(lParam), pixel;  // screen coordinates
    if (!ScreenToClient(hwnd_, &p) || !pictureAt_(p, &pixel)) return false;
    const bool hue = (keys & MK_CONTROL) != 0;
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (hue != wheelHue_ || (wheelRest_ > 0 && delta < 0) || (wheelRest_ < 0 && delta > 0)) wheelRest_ = 0;
    wheelHue_ = hue;
    wheelRest_ += delta;
    const int notches = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= notches * WHEEL_DELTA;
    if (notches != 0) editor_.wheel(notches, pixel.x, pixel.y, hue);
    return true;
}

// At the pointer, or from the keyboard (both coordinates -1) at the centre
// of the window. Outside the client area, the caption's own menu.
bool PictureMouse::contextMenu(LPARAM lParam) {
    POINT at = pointOf(lParam);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (at.x == -1 && at.y == -1) {
        at = POINT{client.right / 2, client.bottom / 2};
        ClientToScreen(hwnd_, &at);
    } else {
        POINT inside = at;
        if (!ScreenToClient(hwnd_, &inside) || !PtInRect(&client, inside)) return false;
    }
    HMENU menu = LoadMenuA(g_hInst, MAKEINTRESOURCEA(IDR_PICTURE_MENU));
    if (!menu) return true;
    HMENU popup = GetSubMenu(menu, 0);
    CheckMenuItem(popup, IDM_TILE, MF_BYCOMMAND | (editor_.tiled() ? MF_CHECKED : MF_UNCHECKED));
    // The choice comes as WM_COMMAND, exactly as from the menu bar.
    TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, hwnd_, nullptr);
    DestroyMenu(menu);
    return true;
}
