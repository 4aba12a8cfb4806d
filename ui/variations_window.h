// The variations window "候補から選ぶ": a modeless, resizable window owned by
// the main window, whose 3 x 3 grid of cells shows the main window's set in
// the centre and eight variations of it around, each as the desktop would
// show it (tiled, one image pixel per screen pixel, cropped to the cell).
// Clicking a cell, or Enter on the one the arrows framed, makes it the main
// window's set; the centre follows every change of the main window. One per
// main window, reopened as often as the user likes; on the window's thread
// only.
#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "editor.h"
#include "surface.h"
#include "variations.h"

class VariationsWindow {
public:
    VariationsWindow(HWND owner, Editor& editor);
    ~VariationsWindow();
    VariationsWindow(const VariationsWindow&) = delete;
    VariationsWindow& operator=(const VariationsWindow&) = delete;

    // Opens the window, or brings it to the front if it is open.
    void open();
    // The main window's set changed (or may have).
    void follow(const PatternSettings& s);
    // The main window was disabled by a modal box, or enabled again: the
    // window must not change the set under the box.
    void enable(bool on);
    // For the message loop: the window's keys and dialog navigation. True
    // when the message was taken.
    bool translate(MSG& msg);

private:
    static INT_PTR CALLBACK dialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK gridProc(HWND grid, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onGridMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool create(HWND dlg);
    void destroy();
    void placeFirstTime();
    void layOut();
    RECT cellRect(int cell) const;
    int cellAt(POINT p) const;
    void paintGrid(HDC dc);
    void takeCells();
    void clearUnknownCells();
    void pick(int cell);
    void moveFocus(int dx, int dy);
    void scopeClicked(int id);

    HWND owner_;
    Editor& editor_;
    HWND hwnd_ = nullptr;
    HWND grid_ = nullptr;
    HACCEL keys_ = nullptr;
    UINT dpi_ = 96;
    SIZE cell_ = {0, 0};
    int focus_ = Variations::kCentre;
    MutateScope scope_ = MutateAll;  // kept between openings
    RECT placement_ = {0, 0, 0, 0};  // where it was when last closed
    std::unique_ptr<Variations> variations_;
    std::array<std::unique_ptr<ImageSurface>, Variations::kCells> pictures_;
};
