#include "view_scroll.h"

#include <algorithm>

namespace {

// One wheel notch or arrow click moves this many lines of this many pixels.
constexpr int kLinePixels = 20;

int pageOf(HWND hwnd, int bar) {
    RECT r;
    GetClientRect(hwnd, &r);
    return bar == SB_HORZ ? r.right : r.bottom;
}

}  // namespace

void ViewScroll::update(HWND hwnd, int width, int height, bool tiled) {
    // Showing a bar resizes the client, which calls here again; a minimised
    // window has no client to measure.
    if (updating_ || IsIconic(hwnd)) return;
    updating_ = true;
    width_ = tiled ? 0 : width;
    height_ = tiled ? 0 : height;
    // What the client would be without bars decides which are needed; a bar
    // across takes height from the client and may call for a bar down, and
    // the other way round.
    RECT r;
    GetClientRect(hwnd, &r);
    const int barW = GetSystemMetrics(SM_CXVSCROLL), barH = GetSystemMetrics(SM_CYHSCROLL);
    const int fullW = r.right + (bars_[SB_VERT] ? barW : 0), fullH = r.bottom + (bars_[SB_HORZ] ? barH : 0);
    bool across = width_ > fullW, down = height_ > fullH;
    down = down || (across && height_ > fullH - barH);
    across = across || (down && width_ > fullW - barW);
    const bool want[2] = {across, down};
    for (int bar : {SB_HORZ, SB_VERT}) {
        if (want[bar] != bars_[bar]) ShowScrollBar(hwnd, bar, want[bar]);
        bars_[bar] = want[bar];
    }
    for (int bar : {SB_HORZ, SB_VERT}) {
        const int size = bar == SB_HORZ ? width_ : height_, page = pageOf(hwnd, bar);
        int& position = positionOf(bar);
        position = bars_[bar] ? std::max(0, std::min(position, size - page)) : 0;
        if (!bars_[bar]) continue;
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMax = size - 1;
        si.nPage = static_cast<UINT>(page);
        si.nPos = position;
        SetScrollInfo(hwnd, bar, &si, TRUE);
    }
    updating_ = false;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void ViewScroll::scrollTo(HWND hwnd, int bar, int position) {
    const int size = bar == SB_HORZ ? width_ : height_;
    position = std::max(0, std::min(position, size - pageOf(hwnd, bar)));
    if (!bars_[bar] || position == positionOf(bar)) return;
    positionOf(bar) = position;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = position;
    SetScrollInfo(hwnd, bar, &si, TRUE);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void ViewScroll::onScroll(HWND hwnd, int bar, WORD code) {
    const int page = pageOf(hwnd, bar), now = positionOf(bar);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    switch (code) {
        case SB_LINEUP: scrollTo(hwnd, bar, now - kLinePixels); break;
        case SB_LINEDOWN: scrollTo(hwnd, bar, now + kLinePixels); break;
        case SB_PAGEUP: scrollTo(hwnd, bar, now - page); break;
        case SB_PAGEDOWN: scrollTo(hwnd, bar, now + page); break;
        case SB_TOP: scrollTo(hwnd, bar, 0); break;
        case SB_BOTTOM: scrollTo(hwnd, bar, bar == SB_HORZ ? width_ : height_); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            // The 32-bit position, not the message's 16 bits.
            if (GetScrollInfo(hwnd, bar, &si)) scrollTo(hwnd, bar, si.nTrackPos);
            break;
        default: break;
    }
}

bool ViewScroll::onKey(HWND hwnd, unsigned key) {
    const int bar = GetKeyState(VK_SHIFT) < 0 ? SB_HORZ : SB_VERT;
    if (!bars_[bar]) return false;
    switch (key) {
        case VK_PRIOR: onScroll(hwnd, bar, SB_PAGEUP); return true;
        case VK_NEXT: onScroll(hwnd, bar, SB_PAGEDOWN); return true;
        case VK_HOME: onScroll(hwnd, bar, SB_TOP); return true;
        case VK_END: onScroll(hwnd, bar, SB_BOTTOM); return true;
        default: return false;
    }
}

bool ViewScroll::onWheel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WORD keys = GET_KEYSTATE_WPARAM(wParam);
    if (keys & MK_CONTROL) return false;
    int bar = message == WM_MOUSEHWHEEL || (keys & MK_SHIFT) ? SB_HORZ : SB_VERT;
    if (message == WM_MOUSEWHEEL && !(keys & MK_SHIFT)) {
        // The plain wheel scrolls only over a scroll bar.
        const LRESULT hit = SendMessageA(hwnd, WM_NCHITTEST, 0, lParam);
        if (hit != HTVSCROLL && hit != HTHSCROLL) return false;
        bar = hit == HTHSCROLL ? SB_HORZ : SB_VERT;
    }
    if (!bars_[bar]) return true;
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    // A turn away from the user scrolls up, and a tilt to the right right.
    const int turned = wheel_[bar] + GET_WHEEL_DELTA_WPARAM(wParam) * (message == WM_MOUSEHWHEEL ? 1 : -1);
    wheel_[bar] = turned % WHEEL_DELTA;
    const int notches = turned / WHEEL_DELTA;
    if (notches == 0) return true;
    const int step = lines == WHEEL_PAGESCROLL ? pageOf(hwnd, bar) : static_cast<int>(lines) * kLinePixels;
    scrollTo(hwnd, bar, positionOf(bar) + notches * step);
    return true;
}
