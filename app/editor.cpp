#include "editor.h"

#include <cstdio>

#include "file_system.h"
#include "fresh_seed.h"
#include "generate.h"
#include "keyboard.h"
#include "reference.h"
#include "settings_file.h"
#include "wallpaper_history.h"
#include "zoom.h"

namespace {

const char kOwnSettingsFile[] = "pallodex.ini";
// No settings file is anywhere near this size; a bigger file was chosen by
// mistake and is not read to its end.
constexpr std::uint64_t kSettingsFileMaxBytes = 1 << 20;
// A render that ends sooner than this shows no progress at all.
constexpr auto kProgressDelay = std::chrono::milliseconds(150);
// Quitting stops a running render; this long is it waited for.
constexpr auto kQuitWait = std::chrono::milliseconds(100);
// A hand that rests this long gets the exact picture.
constexpr auto kRestDelay = std::chrono::milliseconds(150);
// Wheel notches closer together than this are one undo step.
constexpr auto kBurstGap = std::chrono::milliseconds(500);

// What the picture shows while the hand moves: one sample per pixel, a
// small fraction of a smooth render's time.
PatternSettings draftOf(const PatternSettings& s) {
    PatternSettings draft = s;
    if (renderedAccuracy(s) > 1) draft.accuracy = 1;
    return draft;
}
// How long the title says that the wallpaper was set.
constexpr auto kNoticeTime = std::chrono::seconds(2);

}  // namespace

Editor::Editor(EditorHost& host, std::unique_ptr<Renderer> renderer, std::string title,
               std::unique_ptr<LoopExporter> exporter)
    : host_(host),
      renderer_(std::move(renderer)),
      title_(std::move(title)),
      lastTitle_(title_),
      exporter_(exporter ? std::move(exporter) : std::make_unique<BackgroundLoopExporter>([this] { host_.wake(); })) {}

Editor::~Editor() = default;

void Editor::open() {
    startDir_ = fsys::currentDirectory();
    std::vector<std::string> dirs;
    OwnFileExtras extras{&tileView_, &imageFormatIndex_, &dirs, &window_};
    loadSettingsFile(settings_, kOwnSettingsFile, &extras);
    // Each in turn, so that relative ones compound; a folder that is gone is
    // simply not restored.
    for (const std::string& dir : dirs) fsys::setCurrentDirectory(dir);
    if (window_.known) host_.restoreWindowPlace(window_);
    host_.tileChanged(tiled());
    // The first render runs while the window appears: a slow one never keeps
    // the user from the window, its menu, or quitting.
    showImageOf(settings_);
}

void Editor::close() {
    // A running render is stopped, not waited for: quitting is immediate. A
    // worker that cannot stop in time is left to the end of the process.
    if (renderer_ && !renderer_->shutdown(kQuitWait)) static_cast<void>(renderer_.release());
    // A loop file being written is given up: nothing of it is left.
    if (exporter_ && !exporter_->shutdown(kQuitWait)) static_cast<void>(exporter_.release());
    if (play_) host_.setFrameTimer(false);
    play_.reset();
    if (ticking_) host_.setTicking(ticking_ = false);
    // The own file's dir line may have moved us; the file belongs in the
    // folder the program was started from.
    if (!startDir_.empty()) fsys::setCurrentDirectory(startDir_);
    // A window whose place cannot be told keeps the place it was given.
    const WindowPlace place = host_.windowPlace();
    if (place.known) window_ = place;
    OwnFileExtras extras{&tileView_, &imageFormatIndex_, nullptr, &window_};
    // A read-only own file is the user's way of pinning the parameters: it
    // is left alone without a word. Any other failure loses this run's
    // parameters, which the user must hear about.
    if (saveSettingsFile(settings_, kOwnSettingsFile, &extras) == SaveResult::Failed)
        host_.showFileError("設定を保存できませんでした。", kOwnSettingsFile);
}

// Title, taskbar and pointer after the render state changed, and on every
// tick while a render runs: progress once the render has taken a moment.
void Editor::updateRenderState() {
    const RenderStatus st = renderer_->status();
    // Drafts and a playing loop's frames come and go too fast to be worth
    // a word.
    const bool drafting = draftInFlight_.has_value() || play_;
    const bool showProgress = st.busy && !drafting && clock_() - std::max(st.since, progressFrom_) >= kProgressDelay;
    std::string title = lastTitle_;
    int percent = -1;
    if (exporting_) {
        percent = std::max(exporter_->percent(), 0);
        char text[64];
        std::snprintf(text, sizeof text, " ― 書き出し中 %d%%  (Escで中止)", percent);
        title = title_ + text;
    } else if (showProgress) {
        percent = st.rows > 0 ? static_cast<int>(100LL * st.rowsDone / st.rows) : 0;
        char text[64];
        std::snprintf(text, sizeof text, " ― 描画中 %d%%  (Escで中止)", percent);
        title = title_ + text;
    } else if (!st.busy || drafting) {
        title = restingTitle();
    }
    if (title != lastTitle_) host_.setTitle(lastTitle_ = title);
    if (percent != lastPercent_) host_.setProgress(lastPercent_ = percent);
    if (!st.busy && !exactDue_ && !exactAfterDraft_ && !noticeEnd_ && !exporting_ && ticking_)
        host_.setTicking(ticking_ = false);
    const Pointer pointer = waitingExport_ ? Pointer::Waiting
                            : showProgress || exporting_ ? Pointer::Working
                                                         : Pointer::Normal;
    if (pointer != pointer_) host_.setPointer(pointer_ = pointer);
}

// The title while no render shows its progress.
std::string Editor::restingTitle() const {
    if (renderStopped_) return title_ + " ― 中止";
    if (noticeEnd_) return title_ + " ― 壁紙に設定しました" + (historyFailed_ ? " (履歴には残せませんでした)" : "");
    if (fileSettings_ && *fileSettings_ == settings_) return title_ + " ― " + fileName_;
    return title_;
}

// The info file at path now holds the settings.
void Editor::nameFile(const std::string& path) {
    fileName_ = path.substr(path.find_last_of("\\/") + 1);
    fileSettings_ = settings_;
}

// Brings the picture to the image of s: at once if it already shows it,
// else by asking the worker, which stops whatever it was rendering.
void Editor::showImageOf(const PatternSettings& s) {
    draftInFlight_.reset();
    if (pictureShows(s)) {
        renderer_->cancel();
        renderStopped_ = false;
    } else {
        renderer_->request(s);
        if (!ticking_) host_.setTicking(ticking_ = true);
    }
    updateRenderState();
}

// Commands that change the parameters or the tile flag, or export, wait
// while an export waits: the image it is to take must stay the one asked for.
bool Editor::blockedByExport() {
    if (!waitingExport_ && !exporting_) return false;
    host_.beep();
    return true;
}

// Every command first ends what the hand is doing, where it is.
bool Editor::refused() {
    settleGesture();
    return blockedByExport();
}

// A drag ends as if released, a wheel burst asks for its exact picture now,
// a playing loop stops. Windows that follow the parameters hear of a gesture
// once it settles.
void Editor::settleGesture() {
    stopPlaying();
    const bool settling = dragStart_ || exactDue_;
    if (dragStart_) {
        history_.record(*dragStart_, view());
        dragStart_.reset();
    }
    if (exactDue_ || exactAfterDraft_) {
        exactDue_ = exactAfterDraft_ = false;
        showImageOf(settings_);
    }
    if (settling) host_.settingsChanged(settings_);
}

// One undo step from `before` to what the settings are now, shown.
void Editor::change(const ViewState& before) {
    history_.record(before, view());
    showImageOf(settings_);
    host_.settingsChanged(settings_);
}

// Puts a state from the history in place: the tile flag at once, the
// parameters through a render.
void Editor::applyView(const ViewState& v) {
    if (v.tileView != tileView_) {
        tileView_ = v.tileView;
        host_.tileChanged(tiled());
    }
    settings_ = v.settings;
}

void Editor::restoreView(const ViewState& v) {
    applyView(v);
    showImageOf(settings_);
    host_.settingsChanged(settings_);
}

void Editor::key(unsigned vk) {
    if (vk == kKeyEscape) {
        escape();
        return;
    }
    if (waitingExport_ || exporting_) return;
    // Shift and Ctrl come as keys too, and must not end a gesture.
    PatternSettings probe = settings_;
    std::int8_t probeTile = tileView_;
    if (applyKey(vk, probe, probeTile) == KeyEffect::None) return;
    settleGesture();
    const ViewState before = view();
    const KeyEffect effect = applyKey(vk, settings_, tileView_);
    if (effect == KeyEffect::TileToggled) host_.tileChanged(tiled());
    change(before);
}

// Only the arrangement changes: no new render.
void Editor::toggleTile() {
    if (refused()) return;
    const ViewState before = view();
    tileView_ = tileView_ ? 0 : 1;
    history_.record(before, view());
    host_.tileChanged(tiled());
}

void Editor::undo() {
    if (!refused() && history_.canUndo()) restoreView(history_.undo(view()));
}

void Editor::redo() {
    if (!refused() && history_.canRedo()) restoreView(history_.redo(view()));
}

std::uint64_t Editor::freshSeed() { return ::freshSeed(); }

// A whole new parameter set as one undo step, shown through the same
// newest-wins path as the keys: holding Space never queues up renders.
void Editor::replaceSettings(const PatternSettings& next) {
    const ViewState before = view();
    settings_ = next;
    change(before);
}

void Editor::random() {
    if (refused()) return;
    // The generator takes its size and accuracy from a repaired set.
    PatternSettings keep = settings_;
    keep.validate();
    replaceSettings(randomSettings(keep, freshSeed()));
}

void Editor::mutate() {
    if (!refused()) replaceSettings(mutateSettings(settings_, freshSeed()));
}

void Editor::pick(const PatternSettings& s) {
    if (!blockedByExport()) replaceSettings(s);
}

void Editor::editColours() {
    if (refused()) return;
    const ViewState before = view();
    if (std::optional<PatternSettings> committed = host_.editColours(settings_)) settings_ = *committed;
    // Whatever closed the dialog: this also replaces an uncommitted
    // preview with the committed image.
    change(before);
}

void Editor::preview(const PatternSettings& trial) { showImageOf(trial); }

// Exports read the image of the current settings, never a stale or half-drawn
// one: if the picture does not show it yet, the export waits for the render.
void Editor::exportCurrentImage(ExportKind kind) {
    waitingExport_ = kind;
    if (pictureShows(settings_)) {
        runWaitingExport();
        return;
    }
    if (!renderer_->status().busy) showImageOf(settings_);
    updateRenderState();
}

void Editor::runWaitingExport() {
    const ExportKind kind = *waitingExport_;
    waitingExport_.reset();
    updateRenderState();
    if (!host_.runExport(kind, tiled(), imageFormatIndex_) || kind != ExportKind::Wallpaper) return;
    // The history is a convenience: one that cannot be written takes nothing
    // from the wallpaper, and is only mentioned.
    const std::string history = host_.wallpaperHistoryFolder();
    historyFailed_ = !wallpaper_history::record(history, settings_, wallpaper_history::localNow());
    // Setting the wallpaper shows nothing in the program: the title says it
    // worked, for a moment.
    noticeEnd_ = clock_() + kNoticeTime;
    if (!ticking_) host_.setTicking(ticking_ = true);
    updateRenderState();
}

void Editor::saveImage() {
    if (!refused() && host_.chooseImageFile(imageFormatIndex_)) exportCurrentImage(ExportKind::ImageFile);
}

void Editor::copyImage() {
    if (!refused()) exportCurrentImage(ExportKind::Clipboard);
}

void Editor::setWallpaper() {
    if (!refused()) exportCurrentImage(ExportKind::Wallpaper);
}

// A settings file chosen in the dialog is the user's explicit choice: unlike
// the own pallodex.ini, a read-only one is a failure to say, not a pin.
void Editor::saveSettingsAs() {
    if (refused() || !host_.chooseSettingsFile(true, settingsFileName_)) return;
    if (saveSettingsFile(settings_, settingsFileName_.c_str(), nullptr) != SaveResult::Written) {
        host_.showFileError("情報を保存できませんでした。", settingsFileName_);
        return;
    }
    nameFile(settingsFileName_);
    updateRenderState();
}

void Editor::openSettings() {
    if (!refused() && host_.chooseSettingsFile(false, settingsFileName_)) openSettingsFile(settingsFileName_);
}

// Reads a settings file as one undo step. A file that cannot be read or holds
// no setting (a picture chosen by mistake) changes nothing and says so.
void Editor::openSettingsFile(const std::string& path) {
    const ViewState before = view();
    if (loadSettingsFile(settings_, path.c_str(), nullptr, nullptr, kSettingsFileMaxBytes) != LoadResult::Loaded) {
        host_.showFileError("設定を読み込めませんでした。", path);
        return;
    }
    nameFile(path);
    change(before);
}

void Editor::openOutsideFile(const std::string& path, bool readable) {
    if (refused()) return;
    if (!readable) {
        host_.showFileError("設定を読み込めませんでした。", path);
        return;
    }
    openSettingsFile(path);
    settingsFileName_ = path;
}

std::vector<std::string> Editor::recentWallpapers() {
    std::vector<std::string> labels;
    recent_.clear();
    for (const wallpaper_history::Entry& e : wallpaper_history::newest(host_.wallpaperHistoryFolder())) {
        recent_.push_back(e.path);
        labels.push_back(e.label);
    }
    return labels;
}

void Editor::openRecentWallpaper(std::size_t index) {
    if (!refused() && index < recent_.size()) openSettingsFile(recent_[index]);
}

// No memory for the image or its bitmap: the window keeps the picture it had
// (its title says the render stopped) and says why once for these settings.
// An export that waited for the image is given up, and always says so: the
// user asked for it.
void Editor::onRenderFailed(const PatternSettings& failed) {
    renderStopped_ = true;
    const bool exportWaited = waitingExport_.has_value();
    waitingExport_.reset();
    updateRenderState();
    const bool saidBefore = failed_ && *failed_ == failed;
    // The box runs its own message loop, in which further failures arrive.
    if (errorBoxOpen_ || (saidBefore && !exportWaited)) return;
    failed_ = failed;
    errorBoxOpen_ = true;
    host_.showError("メモリが足りないため描画できませんでした。");
    errorBoxOpen_ = false;
}

void Editor::onWake() {
    takeLoopExport();
    RenderResult result;
    if (!renderer_ || !renderer_->take(result)) return;  // superseded after it was posted
    if (play_) {
        onPlayWake(result);
        return;
    }
    const bool draft = draftInFlight_ && result.settings == *draftInFlight_;
    draftInFlight_.reset();
    if (result.pixels.empty() || !host_.showPicture(result.settings, result.pixels)) {
        onRenderFailed(result.settings);
        return;
    }
    shown_ = result.settings;
    shownFor_ = draft ? *draftFor_ : result.settings;
    shownByHand_ = draft;
    renderStopped_ = false;
    renderer_->recycle(std::move(result.pixels));
    if (exactDue_ || exactAfterDraft_) pumpDraft();
    updateRenderState();
    if (waitingExport_ && pictureShows(settings_)) runWaitingExport();
}

void Editor::tick() {
    if (noticeEnd_ && clock_() >= *noticeEnd_) noticeEnd_.reset();
    if (!renderer_) return;
    if (exactDue_ && clock_() - lastMove_ >= kRestDelay) rest();
    updateRenderState();
}

bool Editor::beginDrag() {
    if (dragStart_ || waitingExport_ || exporting_) return false;
    stopPlaying();
    dragStart_ = view();
    dragMoved_ = false;
    return true;
}

void Editor::dragBy(std::int32_t dx, std::int32_t dy) {
    if (!dragStart_) return;
    const PatternSettings next = shiftSettings(dragStart_->settings, dx, dy);
    if (next == settings_) return;
    settings_ = next;
    dragMoved_ = true;
    moved();
}

void Editor::endDrag() {
    if (!dragStart_) return;
    history_.record(*dragStart_, view());
    dragStart_.reset();
    if (dragMoved_) rest();
}

void Editor::cancelDrag() {
    if (!dragStart_) return;
    settings_ = dragStart_->settings;
    dragStart_.reset();
    if (dragMoved_) rest();
}

void Editor::wheel(int notches, std::int32_t x, std::int32_t y, bool hue) {
    if (notches == 0 || dragStart_ || waitingExport_ || exporting_) return;
    stopPlaying();
    const auto now = clock_();
    if (!burst_ || now - burst_->last > kBurstGap || history_.revision() != burst_->revision)
        burst_ = WheelBurst{view(), history_.revision(), now, false};
    burst_->last = now;
    const PatternSettings next = hue ? turnHue(settings_, notches) : zoomSettings(settings_, notches, x, y);
    if (next == settings_) return;
    settings_ = next;
    if (!burst_->recorded) history_.record(burst_->before, view());
    burst_->recorded = true;
    burst_->revision = history_.revision();
    moved();
}

// The hand moved the pattern: the picture follows in drafts.
void Editor::moved() {
    lastMove_ = clock_();
    exactDue_ = true;
    exactAfterDraft_ = false;
    if (!ticking_) host_.setTicking(ticking_ = true);
    pumpDraft();
    updateRenderState();
}

// The hand rests: the exact picture, once the draft shows where it rests,
// so that the pattern never jumps back to an older place meanwhile.
void Editor::rest() {
    exactDue_ = false;
    exactAfterDraft_ = true;
    host_.settingsChanged(settings_);
    pumpDraft();
    updateRenderState();
}

// One draft at a time: a new request would stop the one under way, and a
// hand moving faster than drafts are drawn would then never see one.
void Editor::pumpDraft() {
    const PatternSettings draft = draftOf(settings_);
    if (pictureShows(settings_) || pictureShows(draft)) {
        if (exactAfterDraft_) {
            exactAfterDraft_ = false;
            progressFrom_ = clock_();
            showImageOf(settings_);
        }
        return;
    }
    if (draftInFlight_) return;
    renderer_->request(draft);
    draftInFlight_ = draft;
    draftFor_ = settings_;
    if (!ticking_) host_.setTicking(ticking_ = true);
}

// Esc ends a drag where it began and gives up a waiting export; otherwise
// it undoes the changes the picture does not show (yet, or ever, when their
// render ran out of memory), stopping a running render, so that picture and
// settings agree again. A draft on screen shows its settings, only less
// smoothly: they come back, and its exact render stops. With no picture to
// go back to, the render just stops; a picture drawn while the hand moved
// (of a place on its way, not in the history) stays, being near the
// settings.
void Editor::escape() {
    if (exporting_) {
        exporter_->cancel();
        return;
    }
    if (play_) {
        stopPlaying();
        return;
    }
    if (dragStart_) {
        cancelDrag();
        return;
    }
    if (waitingExport_) {
        waitingExport_.reset();
        updateRenderState();
        return;
    }
    const bool resting = exactDue_ || exactAfterDraft_;
    exactDue_ = exactAfterDraft_ = false;
    const bool busy = resting || renderer_->status().busy;
    if (!busy && (!shown_ || pictureShows(settings_))) return;
    const bool byHand = shown_ && shownByHand_;
    if (shown_) {
        History probe = history_;
        ViewState v = view();
        while (v.settings != *shownFor_ && probe.canUndo()) v = probe.undo(v);
        if (v.settings == *shownFor_) {
            history_ = probe;
            if (*shown_ == *shownFor_) {
                restoreView(v);
                return;
            }
            applyView(v);
        }
    }
    if (resting || shown_) host_.settingsChanged(settings_);
    if (!busy && !byHand) return;
    renderer_->cancel();
    draftInFlight_.reset();
    if (!byHand) {
        shown_.reset();
        host_.clearPicture();
    }
    renderStopped_ = true;
    updateRenderState();
}

void Editor::saveLoop() {
    if (refused()) return;
    LoopChoice choice = loopChoice_;
    if (!host_.chooseLoop(choice)) return;
    loopChoice_ = choice;
    if (!loopIsSeamless(settings_, choice.kind)) {
        if (!host_.ask("この模様はタイルの中で繰り返さないため、流すと継ぎ目が見えます。\n"
                       "色が一周するループなら継ぎ目なく作れます。色のループにしますか？"))
            return;
        loopChoice_.kind = choice.kind = LoopKind::Hue;
    }
    if (!host_.chooseLoopFile(loopFormat_, loopPath_)) return;
    exporter_->start(LoopJob{settings_, choice, loopFormat_, loopPath_});
    exporting_ = true;
    if (!ticking_) host_.setTicking(ticking_ = true);
    updateRenderState();
}

// The loop's file is done (or given up): a failure is said, Esc's stop is not.
void Editor::takeLoopExport() {
    if (!exporting_ || !exporter_) return;
    const std::optional<LoopExportOutcome> outcome = exporter_->take();
    if (!outcome) return;
    exporting_ = false;
    updateRenderState();
    switch (*outcome) {
        case LoopExportOutcome::Written:
        case LoopExportOutcome::Cancelled:
            break;
        case LoopExportOutcome::ReadOnly:
            host_.showFileError("読み取り専用のため書き込めませんでした。", loopPath_);
            break;
        case LoopExportOutcome::OutOfMemory:
            host_.showError("メモリが足りないため書き出せませんでした。");
            break;
        case LoopExportOutcome::Failed:
            host_.showFileError("ファイルの書き込みに失敗しました。", loopPath_);
            break;
    }
}

void Editor::togglePlay() {
    if (play_) {
        stopPlaying();
        return;
    }
    if (refused()) return;
    LoopChoice choice = loopChoice_;
    if (!loopIsSeamless(settings_, choice.kind)) choice.kind = LoopKind::Hue;
    PatternSettings still = settings_;
    still.validate();
    play_ = Play{still, choice, clock_(), 0, still, false, false, std::nullopt, 0};
    draftInFlight_.reset();
    host_.playingChanged(true);
    host_.setFrameTimer(true);
    requestFrame(1, false);
    updateRenderState();
}

// The loop stops where it is; the still picture of the parameters comes back.
void Editor::stopPlaying() {
    if (!play_) return;
    if (play_->ready) renderer_->recycle(std::move(play_->ready->pixels));
    play_.reset();
    host_.setFrameTimer(false);
    host_.playingChanged(false);
    showImageOf(settings_);
}

void Editor::requestFrame(std::int64_t frame, bool draft) {
    Play& p = *play_;
    const PatternSettings s = loopFrame(p.still, p.choice.kind, p.choice.frames,
                                        static_cast<std::int32_t>(frame % p.choice.frames));
    p.requested = frame;
    p.requestedSettings = draft ? draftOf(s) : s;
    p.inFlight = true;
    renderer_->request(p.requestedSettings);
}

// A frame rendered ahead waits for its time; a render that ran out of
// memory ends the play as it would any render.
void Editor::onPlayWake(RenderResult& result) {
    Play& p = *play_;
    if (result.pixels.empty()) {
        stopPlaying();
        onRenderFailed(result.settings);
        return;
    }
    if (!p.inFlight || result.settings != p.requestedSettings) {
        renderer_->recycle(std::move(result.pixels));
        return;
    }
    p.inFlight = false;
    p.ready = std::move(result);
    p.readyFrame = p.requested;
    frameTick();
}

// Shows the frame rendered ahead once it is due and asks for the next. An
// exact frame still rendering when it is due is late: from then on the
// frames are drafts, and where even drafts come late the loop skips ahead.
void Editor::frameTick() {
    if (!play_) return;
    Play& p = *play_;
    const auto delay = std::chrono::milliseconds(p.choice.delayMs);
    const std::int64_t due = (clock_() - p.start) / delay;
    if (p.ready && p.readyFrame <= due) {
        RenderResult shown = std::move(*p.ready);
        p.ready.reset();
        if (!host_.showPicture(shown.settings, shown.pixels)) {
            stopPlaying();
            onRenderFailed(shown.settings);
            return;
        }
        shown_ = shown.settings;
        shownFor_ = settings_;
        shownByHand_ = true;
        renderStopped_ = false;
        renderer_->recycle(std::move(shown.pixels));
        if (p.readyFrame < due && p.choice.delayMs > 0) p.drafting = true;
        requestFrame(std::max(p.readyFrame, due) + 1, p.drafting);
        return;
    }
    if (p.inFlight && p.requested <= due && !p.drafting) {
        p.drafting = true;
        const PatternSettings draft = draftOf(p.requestedSettings);
        if (draft != p.requestedSettings) requestFrame(p.requested, true);
    }
}
