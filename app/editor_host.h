// What the editor needs from the window system it runs in, and nothing more:
// the Win32 window implements it, the tests implement it with a recording
// fake. Every call comes on the window's thread, except wake().
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "loop.h"
#include "loop_file.h"
#include "pattern_settings.h"
#include "settings_file.h"

// The ways a picture leaves the program.
enum class ExportKind { ImageFile, Clipboard, Wallpaper };

// The pointer over the picture: as usual, working in the background (a
// render the user may ignore), or waiting (an export that waits for it).
enum class Pointer { Normal, Working, Waiting };

class EditorHost {
public:
    virtual ~EditorHost() = default;

    // Called from a worker thread: the editor has news to take on the
    // window's thread (Editor::onWake). Must be quick and thread-safe.
    virtual void wake() = 0;

    // Puts the rendered pixels of s (s.bmpw x s.bmph, 0x00BBGGRR, top row
    // first) on screen in one go; the buffer may be reordered on the way.
    // False when there is no memory for them: the picture on screen stays.
    virtual bool showPicture(const PatternSettings& s, std::vector<std::uint32_t>& pixels) = 0;
    // Forgets the picture: the window shows its background.
    virtual void clearPicture() = 0;
    // The tile flag changed: the menu's check mark and the arrangement.
    virtual void tileChanged(bool tiled) = 0;
    // The parameters may have changed (a command that changes them ran, or
    // was undone): windows that follow them look at s. Not for previews.
    virtual void settingsChanged(const PatternSettings& s) { static_cast<void>(s); }

    virtual void setTitle(const std::string& title) = 0;
    // percent 0..100, or -1 for none (the taskbar button's progress).
    virtual void setProgress(int percent) = 0;
    virtual void setPointer(Pointer pointer) = 0;
    // Ticks (Editor::tick) about every 50 ms while on.
    virtual void setTicking(bool on) = 0;

    virtual void beep() = 0;
    // A modal error box; the editor may be called again while it is open.
    virtual void showError(const std::string& text) = 0;
    // text, then the full path of the file it is about.
    virtual void showFileError(const std::string& text, const std::string& path) = 0;

    // The colour dialog, modal, starting from `committed`; while it is open
    // it shows its values through Editor::preview. The values OK committed,
    // or nothing when it was cancelled.
    virtual std::optional<PatternSettings> editColours(const PatternSettings& committed) = 0;
    // The save dialog of an image file: the name (offered again next time)
    // and the format (the dialog's filter index) are the host's and the
    // editor's to remember. False when cancelled.
    virtual bool chooseImageFile(std::int32_t& formatIndex) = 0;
    // The settings-file dialogs (info files); `path` holds the name offered and receives the
    // one chosen. False when cancelled.
    virtual bool chooseSettingsFile(bool forSaving, std::string& path) = 0;
    // Writes or hands over the picture on screen, which shows the current
    // settings. A failure is the host's to tell the user; false then.
    virtual bool runExport(ExportKind kind, bool tiled, std::int32_t formatIndex) = 0;

    // Moving wallpapers. The loop's dialog (kind, frames, delay), starting
    // from choice and leaving the values chosen there; false when cancelled.
    virtual bool chooseLoop(LoopChoice& choice) = 0;
    // The save dialog of a loop's file: the format by the file type chosen
    // (GIF or animated PNG) and the path; both start as last time. False
    // when cancelled.
    virtual bool chooseLoopFile(LoopFormat& format, std::string& path) = 0;
    // A question answered yes (true) or no.
    virtual bool ask(const std::string& text) = 0;
    // While on, Editor::frameTick every few milliseconds, as often as the
    // system's timers allow: frames of a playing loop are shown on time.
    virtual void setFrameTimer(bool on) = 0;
    // A loop started or stopped playing in the window: the menu's check mark.
    virtual void playingChanged(bool playing) = 0;

    // The window's place as the own settings file keeps it (not known when
    // the host cannot tell), and the place read from it at start, which the
    // host takes where it still fits a screen.
    virtual WindowPlace windowPlace() = 0;
    virtual void restoreWindowPlace(const WindowPlace& place) = 0;

    // The folder that keeps the wallpapers set (see wallpaper_history.h);
    // empty where there is none.
    virtual std::string wallpaperHistoryFolder() { return std::string(); }

};
