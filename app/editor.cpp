#include "editor.h"

#include <cstdio>
#include <random>

#include "file_system.h"
#include "generate.h"
#include "keyboard.h"
#include "settings_file.h"

namespace {

const char kOwnSettingsFile[] = "pallodex.ini";
// No settings file is anywhere near this size; a bigger file was chosen by
// mistake and is not read to its end.
constexpr std::uint64_t kSettingsFileMaxBytes = 1 << 20;
// A render that ends sooner than this shows no progress at all.
constexpr auto kProgressDelay = std::chrono::milliseconds(150);
// Quitting stops a running render; this long is it waited for.
constexpr auto kQuitWait = std::chrono::milliseconds(100);
// How long the title says that the wallpaper was set.
constexpr auto kNoticeTime = std::chrono::seconds(2);

// Bits from the system's entropy source, or none where it fails (some
// runtimes have none, or a fixed one: the clock in freshSeed covers those).
std::uint64_t deviceBits() {
    try {
        static std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    } catch (...) {
        return 0;
    }
}

}  // namespace

Editor::Editor(EditorHost& host, std::unique_ptr<Renderer> renderer, std::string title)
    : host_(host), renderer_(std::move(renderer)), title_(std::move(title)), lastTitle_(title_) {}

Editor::~Editor() = default;

void Editor::open() {
    startDir_ = fsys::currentDirectory();
    OwnFileExtras extras{&tileView_, &imageFormatIndex_, &window_};
    loadSettingsFile(settings_, kOwnSettingsFile, &extras);
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
    if (ticking_) host_.setTicking(ticking_ = false);
    // The own file's dir line may have moved us; the file belongs in the
    // folder the program was started from.
    if (!startDir_.empty()) fsys::setCurrentDirectory(startDir_);
    // A window whose place cannot be told keeps the place it was given.
    const WindowPlace place = host_.windowPlace();
    if (place.known) window_ = place;
    OwnFileExtras extras{&tileView_, &imageFormatIndex_, &window_};
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
    const bool showProgress = st.busy && std::chrono::steady_clock::now() - st.since >= kProgressDelay;
    std::string title = lastTitle_;
    int percent = -1;
    if (showProgress) {
        percent = st.rows > 0 ? static_cast<int>(100LL * st.rowsDone / st.rows) : 0;
        char text[64];
        std::snprintf(text, sizeof text, " ― 描画中 %d%%  (Escで中止)", percent);
        title = title_ + text;
    } else if (!st.busy) {
        title = restingTitle();
    }
    if (title != lastTitle_) host_.setTitle(lastTitle_ = title);
    if (percent != lastPercent_) host_.setProgress(lastPercent_ = percent);
    if (!st.busy && !noticeEnd_ && ticking_) host_.setTicking(ticking_ = false);
    const Pointer pointer = waitingExport_ ? Pointer::Waiting : showProgress ? Pointer::Working : Pointer::Normal;
    if (pointer != pointer_) host_.setPointer(pointer_ = pointer);
}

// The title while no render shows its progress.
std::string Editor::restingTitle() const {
    if (renderStopped_) return title_ + " ― 中止";
    if (noticeEnd_) return title_ + " ― 壁紙に設定しました";
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
    if (!waitingExport_) return false;
    host_.beep();
    return true;
}

// One undo step from `before` to what the settings are now, shown.
void Editor::change(const ViewState& before) {
    history_.record(before, view());
    showImageOf(settings_);
}

// Puts a state from the history in place: the tile flag at once, the
// parameters through a render.
void Editor::restoreView(const ViewState& v) {
    if (v.tileView != tileView_) {
        tileView_ = v.tileView;
        host_.tileChanged(tiled());
    }
    settings_ = v.settings;
    showImageOf(settings_);
}

void Editor::key(unsigned vk) {
    if (vk == kKeyEscape) {
        escape();
        return;
    }
    if (waitingExport_) return;
    const ViewState before = view();
    const KeyEffect effect = applyKey(vk, settings_, tileView_);
    if (effect == KeyEffect::None) return;
    if (effect == KeyEffect::TileToggled) host_.tileChanged(tiled());
    change(before);
}

// Only the arrangement changes: no new render.
void Editor::toggleTile() {
    if (blockedByExport()) return;
    const ViewState before = view();
    tileView_ = tileView_ ? 0 : 1;
    history_.record(before, view());
    host_.tileChanged(tiled());
}

void Editor::undo() {
    if (!blockedByExport() && history_.canUndo()) restoreView(history_.undo(view()));
}

void Editor::redo() {
    if (!blockedByExport() && history_.canRedo()) restoreView(history_.redo(view()));
}

// A new seed for each press: entropy, the clock and a counter, mixed so that
// every input bit reaches every seed bit (the splitmix64 finaliser). No two
// presses of a run, nor two runs, start from the same seed.
std::uint64_t Editor::freshSeed() {
    std::uint64_t x = deviceBits();
    x ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    x += 0x9E3779B97F4A7C15ull * ++presses_;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A whole new parameter set as one undo step, shown through the same
// newest-wins path as the keys: holding Space never queues up renders.
void Editor::replaceSettings(const PatternSettings& next) {
    const ViewState before = view();
    settings_ = next;
    change(before);
}

void Editor::random() {
    if (blockedByExport()) return;
    // The generator takes its size and accuracy from a repaired set.
    PatternSettings keep = settings_;
    keep.validate();
    replaceSettings(randomSettings(keep, freshSeed()));
}

void Editor::mutate() {
    if (!blockedByExport()) replaceSettings(mutateSettings(settings_, freshSeed()));
}

void Editor::editColours() {
    if (blockedByExport()) return;
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
    // Setting the wallpaper shows nothing in the program: the title says it
    // worked, for a moment.
    noticeEnd_ = host_.now() + kNoticeTime;
    if (!ticking_) host_.setTicking(ticking_ = true);
    updateRenderState();
}

void Editor::saveImage() {
    if (!blockedByExport() && host_.chooseImageFile(imageFormatIndex_)) exportCurrentImage(ExportKind::ImageFile);
}

void Editor::copyImage() {
    if (!blockedByExport()) exportCurrentImage(ExportKind::Clipboard);
}

void Editor::setWallpaper() {
    if (!blockedByExport()) exportCurrentImage(ExportKind::Wallpaper);
}

// A settings file chosen in the dialog is the user's explicit choice: unlike
// the own pallodex.ini, a read-only one is a failure to say, not a pin.
void Editor::saveSettingsAs() {
    if (blockedByExport() || !host_.chooseSettingsFile(true, settingsFileName_)) return;
    if (saveSettingsFile(settings_, settingsFileName_.c_str(), nullptr) != SaveResult::Written) {
        host_.showFileError("情報を保存できませんでした。", settingsFileName_);
        return;
    }
    nameFile(settingsFileName_);
    updateRenderState();
}

void Editor::openSettings() {
    if (!blockedByExport() && host_.chooseSettingsFile(false, settingsFileName_)) openSettingsFile(settingsFileName_);
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
    if (blockedByExport()) return;
    if (!readable) {
        host_.showFileError("設定を読み込めませんでした。", path);
        return;
    }
    openSettingsFile(path);
    settingsFileName_ = path;
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
    RenderResult result;
    if (!renderer_ || !renderer_->take(result)) return;  // superseded after it was posted
    if (result.pixels.empty() || !host_.showPicture(result.settings, result.pixels)) {
        onRenderFailed(result.settings);
        return;
    }
    shown_ = result.settings;
    renderStopped_ = false;
    renderer_->recycle(std::move(result.pixels));
    updateRenderState();
    if (waitingExport_ && pictureShows(settings_)) runWaitingExport();
}

void Editor::tick() {
    if (noticeEnd_ && host_.now() >= *noticeEnd_) noticeEnd_.reset();
    if (renderer_) updateRenderState();
}

// Esc gives up a waiting export; otherwise it undoes the changes the picture
// does not show (yet, or ever, when their render ran out of memory),
// stopping a running render, so that picture and settings agree again. With
// no picture to go back to, the render just stops.
void Editor::escape() {
    if (waitingExport_) {
        waitingExport_.reset();
        updateRenderState();
        return;
    }
    const bool busy = renderer_->status().busy;
    if (!busy && (!shown_ || pictureShows(settings_))) return;
    if (shown_) {
        History probe = history_;
        ViewState v = view();
        while (v.settings != *shown_ && probe.canUndo()) v = probe.undo(v);
        if (v.settings == *shown_) {
            history_ = probe;
            restoreView(v);
            return;
        }
    }
    if (!busy) return;
    renderer_->cancel();
    shown_.reset();
    host_.clearPicture();
    renderStopped_ = true;
    updateRenderState();
}
