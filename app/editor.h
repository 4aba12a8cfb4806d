// The program's state and what every command does to it: the parameters, the
// tile flag, the undo history, the render that brings the picture up to date,
// the export that waits for it, the stopped and out-of-memory states and the
// Esc rule. It reaches the window only through EditorHost, so that all of it
// runs, and is tested, without Windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor_host.h"
#include "history.h"
#include "pattern_settings.h"
#include "render_scheduler.h"

class Editor {
public:
    // title: the program's name, the start of every title. The renderer's
    // finished renders must reach onWake (through host.wake()).
    Editor(EditorHost& host, std::unique_ptr<Renderer> renderer, std::string title);
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Start: the folder the program started in keeps its own settings file,
    // which is read (its dir line may move the current folder), and the
    // first render starts; the window is never kept waiting for it.
    void open();
    // Quit: a running render is stopped, not waited for, and the own
    // settings file is written to the start folder.
    void close();

    const PatternSettings& settings() const { return settings_; }
    bool tiled() const { return tileView_ != 0; }
    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    Pointer pointer() const { return pointer_; }

    // A key of the key table (virtual-key code), or Esc.
    void key(unsigned vk);
    void toggleTile();
    void undo();
    void redo();
    // Space: a new random wallpaper; Shift+Space: a small change of this one.
    void random();
    void mutate();
    void editColours();
    // While the colour dialog is open: the window shows these values.
    void preview(const PatternSettings& trial);
    void saveImage();
    void copyImage();
    void setWallpaper();
    void saveSettingsAs();
    void openSettings();
    // A file handed in from outside (a drop, the command line): as
    // openSettings, and offered by its dialog next. readable false: the
    // host could not name it, which is said as a file that cannot be read.
    void openOutsideFile(const std::string& path, bool readable = true);

    // Worker news (after host.wake()) and the progress tick.
    void onWake();
    void tick();

private:
    void updateRenderState();
    std::string restingTitle() const;
    void nameFile(const std::string& path);
    void showImageOf(const PatternSettings& s);
    bool pictureShows(const PatternSettings& s) const { return shown_ && *shown_ == s; }
    bool blockedByExport();
    void change(const ViewState& before);
    void restoreView(const ViewState& v);
    void replaceSettings(const PatternSettings& next);
    void exportCurrentImage(ExportKind kind);
    void runWaitingExport();
    void onRenderFailed(const PatternSettings& failed);
    void escape();
    void openSettingsFile(const std::string& path);
    ViewState view() const { return ViewState{settings_, tileView_}; }
    std::uint64_t freshSeed();

    EditorHost& host_;
    std::unique_ptr<Renderer> renderer_;
    const std::string title_;

    PatternSettings settings_;
    std::int8_t tileView_ = 1;
    std::int32_t imageFormatIndex_ = 1;  // flg_bit, the save dialog's filter index
    History history_;
    std::string startDir_;
    std::string settingsFileName_;  // what the settings-file dialogs offer
    WindowPlace window_;            // as the own settings file has it
    // The info file last loaded or saved and the settings it holds: the
    // title names it while the settings are those.
    std::string fileName_;
    std::optional<PatternSettings> fileSettings_;
    // Until then the title says the wallpaper was set.
    std::optional<std::chrono::steady_clock::time_point> noticeEnd_;

    std::optional<PatternSettings> shown_;  // what the picture on screen shows
    std::optional<ExportKind> waitingExport_;
    // Esc stopped a render with no picture to fall back on, or a render ran
    // out of memory: the title says so until the picture catches up.
    bool renderStopped_ = false;
    // The last settings whose render ran out of memory, said once in a box.
    std::optional<PatternSettings> failed_;
    bool errorBoxOpen_ = false;
    bool ticking_ = false;
    // What the host was last told, so that a tick changes nothing unasked.
    std::string lastTitle_;
    int lastPercent_ = -1;
    Pointer pointer_ = Pointer::Normal;
    std::uint64_t presses_ = 0;
};
