// The scroll bars of the main window: with tile display off, a picture larger
// than the window is moved under it with standard scroll bars, PageUp and
// PageDown (a window's height), Home and End (to the top and bottom), the
// same keys with Shift across, and the wheel with Shift across (or over a
// scroll bar, along that bar). The picture stays one image pixel per screen
// pixel; with tile display on, or a picture that fits, there are no bars.
#pragma once

#include <windows.h>

class ViewScroll {
public:
    // The picture's size or arrangement, or the window's size, changed.
    void update(HWND hwnd, int width, int height, bool tiled);
    // The picture's pixel at the client's top-left corner.
    int x() const { return x_; }
    int y() const { return y_; }

    // WM_HSCROLL (bar SB_HORZ) or WM_VSCROLL (SB_VERT).
    void onScroll(HWND hwnd, int bar, WORD code);
    // A key: false when it is not one of ours or there is nothing to scroll.
    bool onKey(HWND hwnd, unsigned key);
    // WM_MOUSEWHEEL or WM_MOUSEHWHEEL: false when the wheel is someone
    // else's (the plain wheel over the picture, any wheel with Ctrl).
    bool onWheel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void scrollTo(HWND hwnd, int bar, int position);
    int& positionOf(int bar) { return bar == SB_HORZ ? x_ : y_; }

    int x_ = 0, y_ = 0;
    int width_ = 0, height_ = 0;
    bool bars_[2] = {false, false};  // SB_HORZ, SB_VERT shown
    bool updating_ = false;
    int wheel_[2] = {0, 0};          // part turns of a fine wheel
};
