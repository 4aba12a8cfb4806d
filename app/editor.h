// The program's state and what every command does to it: the parameters, the
// tile flag, the undo history, the render that brings the picture up to date,
// the export that waits for it, the stopped and out-of-memory states and the
// Esc rule. It reaches the window only through EditorHost, so that all of it
// runs, and is tested, without Windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor_host.h"
#include "history.h"
#include "loop.h"
#include "loop_export.h"
#include "pattern_settings.h"
#include "render_scheduler.h"

class Editor {
public:
    // title: the program's name, the start of every title. The renderer's
    // finished renders must reach onWake (through host.wake()), and so must
    // the loop exporter's finished files; without one the editor writes
    // loops on a thread of its own.
    Editor(EditorHost& host, std::unique_ptr<Renderer> renderer, std::string title,
           std::unique_ptr<LoopExporter> exporter = nullptr);
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
    // A set chosen in another window (the variations): one undo step, shown
    // as Space shows its set.
    void pick(const PatternSettings& s);
    void editColours();
    // While the colour dialog is open: the window shows these values.
    void preview(const PatternSettings& trial);
    void saveImage();
    void copyImage();
    void setWallpaper();
    void saveSettingsAs();
    void openSettings();
    // A moving wallpaper: the loop's dialog, then the save dialog; the file
    // is written beside the window with its progress in the title, while
    // the parameters wait; Esc stops it and writes nothing. A pattern that
    // cannot scroll without a seam is offered the hue loop instead.
    void saveLoop();
    // P: the loop of the loop's dialog (the hue loop where the pattern
    // cannot scroll) plays in the window at its frame rate, in drafts where
    // exact frames would come late; P again, or any change, stops it and
    // brings back the still picture. The frames never count as the
    // picture of the parameters.
    void togglePlay();
    bool playing() const { return play_.has_value(); }
    void frameTick();

    // A file handed in from outside (a drop, the command line): as
    // openSettings, and offered by its dialog next. readable false: the
    // host could not name it, which is said as a file that cannot be read.
    void openOutsideFile(const std::string& path, bool readable = true);
    // The wallpapers set lately, newest first, as the menu lists them; the
    // list is kept for openRecentWallpaper, whose index refers to it.
    std::vector<std::string> recentWallpapers();
    // Loads one of them as openSettings loads a file: one undo step.
    void openRecentWallpaper(std::size_t index);

    // The pointer on the picture. A drag moves the pattern with the hand:
    // beginDrag as the button goes down on the picture (false, and no drag,
    // while an export waits), dragBy with the pointer's offset in pixels
    // from where it went down, endDrag as it comes up (one undo step),
    // cancelDrag (or Esc) to put the pattern back. Any other command first
    // ends the drag where it is.
    bool beginDrag();
    void dragBy(std::int32_t dx, std::int32_t dy);
    void endDrag();
    void cancelDrag();
    bool dragging() const { return dragStart_.has_value(); }
    // A drag or a burst of wheel notches that has not come to rest yet.
    bool handMoving() const { return dragStart_ || exactDue_; }
    // Wheel notches over image pixel (x, y) of the tile under the pointer:
    // the pattern larger (> 0) or smaller around that point, or with hue,
    // its colours turned. Notches that follow each other within about half
    // a second make one undo step.
    void wheel(int notches, std::int32_t x, std::int32_t y, bool hue);
    // While the hand moves the picture follows in quick drafts; the exact
    // picture follows once it rests. Gestures are timed by this clock.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // Worker news (after host.wake()) and the progress tick.
    void onWake();
    void tick();

    // A seed no other press of this run, nor any other run, starts from.
    std::uint64_t freshSeed();

private:
    void updateRenderState();
    std::string restingTitle() const;
    void nameFile(const std::string& path);
    void showImageOf(const PatternSettings& s);
    bool pictureShows(const PatternSettings& s) const { return shown_ && *shown_ == s; }
    bool blockedByExport();
    bool refused();
    void settleGesture();
    void moved();
    void rest();
    void pumpDraft();
    void change(const ViewState& before);
    void applyView(const ViewState& v);
    void restoreView(const ViewState& v);
    void replaceSettings(const PatternSettings& next);
    void exportCurrentImage(ExportKind kind);
    void runWaitingExport();
    void onRenderFailed(const PatternSettings& failed);
    void escape();
    void openSettingsFile(const std::string& path);
    void takeLoopExport();
    void stopPlaying();
    void requestFrame(std::int64_t frame, bool draft);
    void onPlayWake(RenderResult& result);
    ViewState view() const { return ViewState{settings_, tileView_}; }

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
    bool historyFailed_ = false;  // the notice adds that the history kept nothing
    std::vector<std::string> recent_;  // as recentWallpapers listed them

    std::optional<PatternSettings> shown_;  // what the picture on screen was rendered from
    // What it stands for: the same, or for a draft the settings it drafts.
    std::optional<PatternSettings> shownFor_;
    bool shownByHand_ = false;  // drawn while the hand moved
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

    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
    std::optional<ViewState> dragStart_;
    bool dragMoved_ = false;
    struct WheelBurst {
        ViewState before;
        std::uint64_t revision;  // the history's, after the burst's last change
        std::chrono::steady_clock::time_point last;
        bool recorded;
    };
    std::optional<WheelBurst> burst_;
    std::chrono::steady_clock::time_point lastMove_;
    bool exactDue_ = false;         // once the hand has rested a moment
    bool exactAfterDraft_ = false;  // as soon as the draft of the settings shows
    std::optional<PatternSettings> draftInFlight_, draftFor_;
    // The exact render after a gesture shows progress only from its own start.
    std::chrono::steady_clock::time_point progressFrom_;

    LoopChoice loopChoice_;  // the loop's dialog starts from the last one
    LoopFormat loopFormat_ = LoopFormat::Gif;
    std::string loopPath_;
    std::unique_ptr<LoopExporter> exporter_;
    bool exporting_ = false;
    // A loop playing in the window: frame f (counted on past the loop's
    // end) is due at start + f delays; the next one renders ahead and waits
    // for its time.
    struct Play {
        PatternSettings still;
        LoopChoice choice;
        std::chrono::steady_clock::time_point start;
        std::int64_t requested = 0;
        PatternSettings requestedSettings;
        bool inFlight = false;
        bool drafting = false;  // once an exact frame came late
        std::optional<RenderResult> ready;
        std::int64_t readyFrame = 0;
    };
    std::optional<Play> play_;
};
