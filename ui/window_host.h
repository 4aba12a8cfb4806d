// The main window as the editor's host: the image surface, the taskbar
// button, the dialogs' remembered names, and the Editor itself. One per
// window, kept in its GWLP_USERDATA; every call comes on the window's thread
// except wake().
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "editor.h"
#include "picture_mouse.h"
#include "surface.h"
#include "taskbar.h"
#include "variations_window.h"
#include "view_scroll.h"

extern HINSTANCE g_hInst;

// Posted by the render worker when an image is ready to be taken.
constexpr UINT kWakeMessage = WM_APP + 1;
// Drives the progress shown in the title while a render runs.
constexpr UINT_PTR kProgressTimer = 1;
// Shows a playing loop's frames on time.
constexpr UINT_PTR kFrameTimer = 2;

class MainWindow final : public EditorHost {
public:
    MainWindow(HWND hwnd, const char* title);

    HWND hwnd() const { return hwnd_; }
    Editor& editor() { return editor_; }
    PictureMouse& mouse() { return mouse_; }
    // The image surface; false when the system has none to give. The window
    // takes no input method: every key reaches the key table.
    bool create();
    // Shows the window for the first time: at the place pallodex.ini kept,
    // where that still fits a screen, else as nCmdShow and Windows say.
    void show(int nCmdShow);
    // The window goes: the editor saves, the surface and taskbar are let go.
    void destroy();
    void paint(HDC hdc);
    void taskbarButtonCreated() { taskbar_.buttonCreated(hwnd_); }
    ViewScroll& scroll() { return scroll_; }
    // The window's size, the picture's or the arrangement changed.
    void updateScroll() { scroll_.update(hwnd_, surface_.width(), surface_.height(), editor_.tiled()); }
    // A file from outside the program (its command line, a drop).
    void openOutsideFile(const std::wstring& file);
    void openVariations() { variations_.open(); }
    // The folder the program started in, which keeps its pallodex.ini.
    const std::wstring& startFolder() const { return startFolder_; }
    // The main window was disabled by a modal box, or enabled again.
    void enablePopups(bool on) { variations_.enable(on); }
    // For the message loop: messages the variations window takes itself.
    bool translatePopupMessage(MSG& msg) { return variations_.translate(msg); }

    void wake() override;
    bool showPicture(const PatternSettings& s, std::vector<std::uint32_t>& pixels) override;
    void clearPicture() override;
    void tileChanged(bool tiled) override;
    void settingsChanged(const PatternSettings& s) override { variations_.follow(s); }
    void setTitle(const std::string& title) override;
    void setProgress(int percent) override;
    void setPointer(Pointer pointer) override;
    void setTicking(bool on) override;
    void beep() override;
    void showError(const std::string& text) override;
    void showFileError(const std::string& text, const std::string& path) override;
    std::optional<PatternSettings> editColours(const PatternSettings& committed) override;
    bool chooseImageFile(std::int32_t& formatIndex) override;
    bool chooseSettingsFile(bool forSaving, std::string& path) override;
    bool runExport(ExportKind kind, bool tiled, std::int32_t formatIndex) override;
    bool chooseLoop(LoopChoice& choice) override;
    bool chooseLoopFile(LoopFormat& format, std::string& path) override;
    bool ask(const std::string& text) override;
    void setFrameTimer(bool on) override;
    void playingChanged(bool playing) override;
    WindowPlace windowPlace() override;
    void restoreWindowPlace(const WindowPlace& place) override;
    std::string wallpaperHistoryFolder() override;

private:
    void refreshCursor();
    bool pictureAt(POINT client, POINT* pixel) const;
    // The part of the picture the window shows (one tile when tiled), in
    // screen pixels.
    RECT pictureOnScreen() const;

    HWND hwnd_;
    ImageSurface surface_;
    TaskbarProgress taskbar_;
    ViewScroll scroll_;
    WindowPlace startPlace_;  // from pallodex.ini, for show()
    std::wstring startFolder_;
    char imageFileName_[MAX_PATH] = "";  // the last image file, offered again
    bool closing_ = false;
    Editor editor_;  // after the surface: its renderer stops before the surface goes
    PictureMouse mouse_;
    VariationsWindow variations_;
};

// The MainWindow of a main window; null before WM_CREATE and after WM_NCDESTROY.
inline MainWindow* windowOf(HWND hwnd) {
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}
