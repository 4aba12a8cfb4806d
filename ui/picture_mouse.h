// The mouse on the picture, turned into editor calls: a left drag (the
// window holds the capture while the button is down), wheel notches, the
// picture's own menu, and the move pointer over the picture. Touched on the
// window's thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "editor.h"

class PictureMouse {
public:
    // The image pixel under a client point (of the tile under it when
    // tiled); false off the picture.
    using PictureAt = std::function<bool(POINT client, POINT* pixel)>;

    PictureMouse(HWND hwnd, Editor& editor, PictureAt pictureAt)
        : hwnd_(hwnd), editor_(editor), pictureAt_(std::move(pictureAt)) {}

    // WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_CAPTURECHANGED,
    // WM_MOUSEWHEEL and WM_CONTEXTMENU; false for what is not ours, which
    // goes on to DefWindowProc.
    bool handle(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_SETCURSOR over the client area: the move pointer over the picture.
    bool setCursor() const;

private:
    bool wheel(WPARAM wParam, LPARAM lParam);
    bool contextMenu(LPARAM lParam);

    HWND hwnd_;
    Editor& editor_;
    PictureAt pictureAt_;
    std::optional<POINT> dragFrom_;  // where the button went down, while it is down
    int wheelRest_ = 0;              // deltas short of a notch
    bool wheelHue_ = false;          // what they were for
};
