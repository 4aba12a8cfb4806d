// The editor's state machine, driven through a fake host and a renderer
// whose renders end when a scenario says so. Each scenario is a script of
// user actions and render outcomes; the host's log of what reached the
// window, and the parameters left, are compared with what the user must see.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "editor.h"
#include "file_system.h"
#include "keyboard.h"

namespace {

// basex, then hNNN for a hue and s for a smooth (accuracy 4) set.
std::string tag(const PatternSettings& s) {
    return std::to_string(s.basex) + (s.hue ? "h" + std::to_string(s.hue) : "") + (s.accuracy > 1 ? "s" : "");
}

class FakeRenderer final : public Renderer {
public:
    explicit FakeRenderer(std::vector<std::string>& log) : log_(log) {}
    std::uint64_t request(const PatternSettings& s) override {
        if (!(pending_ && *pending_ == s)) {
            pending_ = s;
            ++ticket_;
            log_.push_back("render:" + tag(s));
        }
        ready_.reset();
        return ticket_;
    }
    void cancel() override { pending_.reset(), ready_.reset(); }
    bool take(RenderResult& out) override {
        if (!ready_) return false;
        out = std::move(*ready_);
        ready_.reset();
        return true;
    }
    void recycle(std::vector<std::uint32_t>&&) override {}
    RenderStatus status() const override {
        RenderStatus st;  // `since` long past: progress shows at once
        st.busy = pending_.has_value();
        st.rows = 10;
        return st;
    }
    bool shutdown(std::chrono::milliseconds) override { return cancel(), true; }
    // The newest render ends, with its image or out of memory.
    bool finish(bool ok) {
        if (!pending_) return false;
        ready_ = RenderResult{ticket_, *pending_, {}};
        if (ok) ready_->pixels.assign(static_cast<std::size_t>(pending_->bmpw) * pending_->bmph, 0u);
        pending_.reset();
        return true;
    }

private:
    std::vector<std::string>& log_;
    std::optional<PatternSettings> pending_;
    std::optional<RenderResult> ready_;
    std::uint64_t ticket_ = 0;
};

class FakeHost final : public EditorHost {
public:
    std::vector<std::string> log;
    std::string title;
    std::string fileToOpen;
    Editor* editor = nullptr;
    PatternSettings followed;  // what settingsChanged said last

    void wake() override {}
    bool showPicture(const PatternSettings& s, std::vector<std::uint32_t>&) override {
        return log.push_back("picture:" + tag(s)), true;
    }
    void clearPicture() override { log.push_back("clear"); }
    void tileChanged(bool tiled) override { log.push_back(tiled ? "tiled" : "single"); }
    void settingsChanged(const PatternSettings& s) override { followed = s; }
    void setTitle(const std::string& t) override { title = t; }
    void setProgress(int) override {}
    void setPointer(Pointer) override {}
    void setTicking(bool) override {}
    void beep() override { log.push_back("beep"); }
    void showError(const std::string&) override { log.push_back("box"); }
    void showFileError(const std::string&, const std::string&) override { log.push_back("filebox"); }
    // The dialog previews basex 20, then commits 12 (or is cancelled).
    std::optional<PatternSettings> editColours(const PatternSettings& committed) override {
        PatternSettings s = committed;
        s.basex = 20;
        editor->preview(s);
        s.basex = 12;
        return fileToOpen == "cancel" ? std::nullopt : std::optional<PatternSettings>(s);
    }
    bool chooseImageFile(std::int32_t&) override { return true; }
    bool chooseSettingsFile(bool, std::string& path) override { return path = fileToOpen, true; }
    bool exportFails = false;
    bool runExport(ExportKind kind, bool, std::int32_t) override {
        const char* names[] = {"export:file", "export:copy", "export:wallpaper"};
        return log.push_back(names[static_cast<int>(kind)]), !exportFails;
    }
    std::string history = "history";  // in the row's own folder
    std::string wallpaperHistoryFolder() override { return history; }
    bool answer = true;  // to a question
    bool chooseLoop(LoopChoice&) override { return true; }
    bool chooseLoopFile(LoopFormat&, std::string& path) override { return path = "loop.gif", true; }
    bool ask(const std::string&) override { return log.push_back("ask"), answer; }
    void setFrameTimer(bool) override {}
    void playingChanged(bool on) override { log.push_back(on ? "playing" : "stopped"); }
    WindowPlace place;
    WindowPlace windowPlace() override { return place; }
    void restoreWindowPlace(const WindowPlace& p) override { place = p, log.push_back("placed"); }
};

// Writes loop files when the test says: start logs the kind, finish ends the
// file with an outcome.
class FakeExporter final : public LoopExporter {
public:
    explicit FakeExporter(std::vector<std::string>& log) : log_(log) {}
    void start(const LoopJob& job) override {
        log_.push_back(std::string("write:") + kLoopKinds[static_cast<int>(job.choice.kind)].name);
        running_ = true;
    }
    void cancel() override {
        if (running_) log_.push_back("stop");
    }
    int percent() const override { return running_ ? 30 : -1; }
    std::optional<LoopExportOutcome> take() override { return std::exchange(outcome_, std::nullopt); }
    bool shutdown(std::chrono::milliseconds) override { return true; }
    bool finish(LoopExportOutcome outcome) {
        if (!running_) return false;
        running_ = false;
        outcome_ = outcome;
        return true;
    }

private:
    std::vector<std::string>& log_;
    bool running_ = false;
    std::optional<LoopExportOutcome> outcome_;
};

struct Scenario {
    const char* name;
    const char* script;    // actions, space separated
    const char* expected;  // the host's log after the first picture
    std::int32_t basex;    // the parameters left
    const char* title;     // what the title ends with
};

// After "start" the first picture (basex 0) is on screen. J and M move the
// origin by +4 and -4, done and oom end the newest render. drag, to:DX,DY
// and drop are the left button going down, moving and coming up; wheel:N
// and hue:N wheel notches (plain at pixel 64,64, and with Ctrl); wait:MS
// lets time pass (with a tick). smooth loads a set of accuracy 4, wave one
// that repeats across its tile. loop saves a loop file (loop:no says no to
// the hue loop) and written, failed or cancelled end it; play is P, and
// frame:MS lets time pass with a frame tick.
const Scenario kScenarios[] = {
    {"keys during a render replace it", "J J done", "render:4 render:8 picture:8", 8, "Pallodex"},
    {"a key back to the picture stops the render", "J M", "render:4", 0, "Pallodex"},
    {"Esc takes back what the picture does not show", "J J Esc", "render:4 render:8", 0, "Pallodex"},
    {"Esc with nothing to go back to leaves the window blank", "restart Esc", "clear", 0, "中止"},
    {"Esc with nothing running does nothing", "J done Esc", "render:4 picture:4", 4, "Pallodex"},
    {"memory runs out: one box, the picture stays", "J oom", "render:4 box", 4, "中止"},
    {"the same failing settings are not said twice", "J oom M J oom", "render:4 box render:4", 4, "中止"},
    {"Esc after a failure goes back to the picture", "J oom Esc", "render:4 box", 0, "Pallodex"},
    {"an export waits for the render", "J copy done", "render:4 picture:4 export:copy", 4, "Pallodex"},
    {"an export of the picture on screen runs at once", "save", "export:file", 0, "Pallodex"},
    {"keys are ignored and commands refused while it waits", "J copy J space undo drag to:5,0 hue:1 done",
     "render:4 beep beep picture:4 export:copy", 4, "Pallodex"},
    {"Esc gives up the waiting export", "J copy Esc done", "render:4 picture:4", 4, "Pallodex"},
    {"a waiting export that runs out of memory always says so", "J oom copy oom",
     "render:4 box render:4 box", 4, "中止"},
    {"a file load is one undo step", "open J undo undo done", "render:40 render:44 render:40", 0, "Pallodex"},
    {"a file that cannot be read changes nothing", "open:missing undo", "filebox", 0, "Pallodex"},
    {"redo after undo", "J done undo redo done", "render:4 picture:4 render:0", 4, "Pallodex"},
    {"the colour dialog previews, then commits one step", "colours done undo",
     "render:20 render:12 picture:12 render:0", 0, "(Escで中止)"},
    {"a cancelled colour dialog shows the committed picture again", "colours:cancel", "render:20", 0, "Pallodex"},
    {"the tile flag is its own undo step", "tile undo", "single tiled", 0, "Pallodex"},
    {"a drag is one step; a fast hand never stops the draft under way", "drag to:5,0 to:7,0 done to:9,0 done drop undo redo",
     "render:5 picture:5 render:7 picture:7 render:9 render:0 render:9", 9, "(Escで中止)"},
    {"Esc during a drag puts the pattern back, as no step", "drag to:5,0 done Esc done undo",
     "render:5 picture:5 render:0 picture:0", 0, "Pallodex"},
    {"a key during a drag ends it where it is", "drag to:5,0 J done to:7,0 undo", "render:5 render:9 picture:9 render:5", 5,
     "(Escで中止)"},
    {"drafts while the hand moves, the exact picture once it rests", "smooth drag to:5,0 wait:200 done", "render:0s picture:0s render:5 picture:5 render:5s",
     5, "Pallodex"},
    {"the exact render after a gesture shows progress after its own delay", "smooth drag to:5,0 done drop wait:200",
     "render:0s picture:0s render:5 picture:5 render:5s", 5, "(Escで中止)"},
    {"Esc keeps a draft and its settings; an export waits for the exact picture", "smooth drag to:5,0 done drop Esc copy done",
     "render:0s picture:0s render:5 picture:5 render:5s render:5s picture:5s export:copy", 5, "Pallodex"},
    {"Esc while notches are on their way keeps their picture", "hue:1 done hue:1 Esc",
     "render:0h51 picture:0h51 render:0h102", 0, "中止"},
    {"notches close together are one step", "hue:1 hue:1 done wait:600 hue:1 undo undo",
     "render:0h51 picture:0h51 render:0h102 render:0h153 render:0h102 render:0", 0, "(Escで中止)"},
    {"the wheel zooms around the pointer", "wheel:1 undo", "render:-7", 0, "Pallodex"},
    {"a picked set is one undo step", "pick:44 done undo", "render:44 picture:44 render:0", 0, "(Escで中止)"},
    {"picking the set on screen is no step", "pick:0 undo", "", 0, "Pallodex"},
    {"a pick waits for the waiting export", "J copy pick:44 done", "render:4 beep picture:4 export:copy", 4,
     "Pallodex"},
    {"a loaded file names itself in the title, again after undo", "open done J done undo done",
     "render:40 picture:40 render:44 picture:44 render:40 picture:40", 40, "Pallodex ― good.txt"},
    {"a change ends the file's name", "open done J done", "render:40 picture:40 render:44 picture:44", 44, "Pallodex"},
    {"a saved file names itself", "J done save:saved.txt", "render:4 picture:4", 4, "Pallodex ― saved.txt"},
    {"the title says the wallpaper was set", "wallpaper wait:1900", "export:wallpaper", 0, "― 壁紙に設定しました"},
    {"for about two seconds", "open done wallpaper wait:2000", "render:40 picture:40 export:wallpaper", 40, "good.txt"},
    {"a wallpaper set comes back from the history as one undo step", "J done wallpaper J done recent:0 done undo",
     "render:4 picture:4 export:wallpaper render:8 picture:8 render:4 picture:4 render:8", 8, "(Escで中止)"},
    {"a wallpaper that failed is not kept", "wallfail recent:0", "export:wallpaper", 0, "Pallodex"},
    {"a history that cannot be written leaves the wallpaper set", "nohistory wallpaper recent:0", "export:wallpaper", 0,
     "壁紙に設定しました (履歴には残せませんでした)"},
    {"a loop file is written beside the window with its progress", "wave done loop", "render:0 picture:0 write:scroll-x", 0,
     "書き出し中 30%  (Escで中止)"},
    {"commands wait for the loop file; keys are ignored", "wave done loop J space undo written J",
     "render:0 picture:0 write:scroll-x beep beep render:4", 4, "(Escで中止)"},
    {"Esc stops the loop file without a word", "wave done loop Esc cancelled", "render:0 picture:0 write:scroll-x stop", 0,
     "wave.txt"},
    {"a loop file that cannot be written says so", "wave done loop failed", "render:0 picture:0 write:scroll-x filebox", 0,
     "wave.txt"},
    {"a pattern that cannot scroll is offered the hue loop", "loop", "ask write:hue", 0, "(Escで中止)"},
    {"and writes nothing when it is declined", "loop:no", "ask", 0, "Pallodex"},
    {"P plays: each frame renders ahead and shows on time", "play done frame:30 frame:10 frame:40 done P done",
     "playing render:0h26 picture:0h26 render:0h51 picture:0h51 render:0h77 stopped render:0 picture:0", 0,
     "Pallodex"},
    {"an exact frame that comes late becomes a draft, and so do the next", "smooth play frame:40 done J",
     "render:0s picture:0s playing render:0h26s render:0h26 picture:0h26 render:0h51 stopped render:0s render:4s", 4, "(Escで中止)"},
    {"Esc stops playing and the still picture comes back", "play done frame:40 Esc done",
     "playing render:0h26 picture:0h26 render:0h51 stopped render:0 picture:0", 0, "Pallodex"},
    {"an export while playing waits for the still picture", "play done frame:40 copy done",
     "playing render:0h26 picture:0h26 render:0h51 stopped render:0 picture:0 export:copy", 0, "Pallodex"},
};

void PrintTo(const Scenario& sc, std::ostream* os) { *os << sc.name; }

class EditorScenario : public testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        home_ = fsys::currentDirectory();
        // A folder per row: CTest runs rows side by side.
        const std::string dir = PALLODEX_TEST_TMP "/editor/" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
        std::system(("mkdir -p '" + dir + "'").c_str());
        ASSERT_TRUE(fsys::setCurrentDirectory(dir));
        std::remove("pallodex.ini");
        std::system("rm -rf history");
        std::ofstream("good.txt") << "basex=40\n";
        std::ofstream("smooth.txt") << "accuracy=4\n";
        // A sine across of four periods of 32 pixels: one repeat of 128.
        std::ofstream("wave.txt") << "pat_x=2\nbasew=0\nbaserw=25\n";
    }
    void TearDown() override { fsys::setCurrentDirectory(home_); }
    std::string home_;
};

TEST_P(EditorScenario, ShowsWhatTheUserMustSee) {
    const Scenario& sc = GetParam();
    FakeHost host;
    auto owned = std::make_unique<FakeRenderer>(host.log);
    FakeRenderer& renderer = *owned;
    auto ownedExporter = std::make_unique<FakeExporter>(host.log);
    FakeExporter& exporter = *ownedExporter;
    Editor editor(host, std::move(owned), "Pallodex", std::move(ownedExporter));
    host.editor = &editor;
    auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
    editor.setClock([&now] { return now; });
    editor.open();
    host.followed = editor.settings();
    const bool restart = std::string(sc.script).rfind("restart", 0) == 0;
    if (!restart) {
        ASSERT_TRUE(renderer.finish(true));
        editor.onWake();
    }
    host.log.clear();
    std::istringstream script(sc.script);
    for (std::string step; script >> step;) {
        const std::string arg = step.find(':') == std::string::npos ? "" : step.substr(step.find(':') + 1);
        step = step.substr(0, step.find(':'));
        if (step == "P") editor.togglePlay();
        else if (step.size() == 1) editor.key(static_cast<unsigned char>(step[0]));
        else if (step == "Esc") editor.key(kKeyEscape);
        else if (step == "done" || step == "oom") {
            if (renderer.finish(step == "done")) editor.onWake();
        } else if (step == "copy") editor.copyImage();
        else if (step == "save" && arg.empty()) editor.saveImage();
        else if (step == "save") host.fileToOpen = arg, editor.saveSettingsAs();
        else if (step == "wallpaper") editor.setWallpaper();
        else if (step == "wallfail") host.exportFails = true, editor.setWallpaper();
        else if (step == "nohistory") host.history = "good.txt/history";
        else if (step == "recent") editor.recentWallpapers(), editor.openRecentWallpaper(std::stoul(arg));
        else if (step == "space") editor.random();
        else if (step == "undo") editor.undo();
        else if (step == "redo") editor.redo();
        else if (step == "tile") editor.toggleTile();
        else if (step == "open") host.fileToOpen = arg.empty() ? "good.txt" : arg, editor.openSettings();
        else if (step == "colours") host.fileToOpen = arg, editor.editColours();
        else if (step == "smooth") host.fileToOpen = "smooth.txt", editor.openSettings(), renderer.finish(true), editor.onWake();
        else if (step == "wave") host.fileToOpen = "wave.txt", editor.openSettings();
        else if (step == "loop") host.answer = arg != "no", editor.saveLoop();
        else if (step == "written" || step == "failed" || step == "cancelled") {
            const LoopExportOutcome outcome = step == "written" ? LoopExportOutcome::Written
                                              : step == "failed" ? LoopExportOutcome::Failed
                                                                 : LoopExportOutcome::Cancelled;
            if (exporter.finish(outcome)) editor.onWake();
        } else if (step == "play") editor.togglePlay();
        else if (step == "frame") now += std::chrono::milliseconds(std::stoi(arg)), editor.frameTick();
        else if (step == "drag") editor.beginDrag();
        else if (step == "to") editor.dragBy(std::stoi(arg), std::stoi(arg.substr(arg.find(',') + 1)));
        else if (step == "drop") editor.endDrag();
        else if (step == "wheel" || step == "hue") editor.wheel(std::stoi(arg), 64, 64, step == "hue");
        else if (step == "wait") now += std::chrono::milliseconds(std::stoi(arg)), editor.tick();
        else if (step == "pick") {
            PatternSettings s = editor.settings();
            s.basex = std::stoi(arg);
            editor.pick(s);
        } else if (step != "restart") FAIL() << "unknown step " << step;
        // Windows that follow the parameters are told of every change that
        // has come to rest.
        if (!editor.handMoving()) {
            EXPECT_TRUE(host.followed == editor.settings()) << step;
        }
    }
    std::string log;
    for (const std::string& e : host.log) log += (log.empty() ? "" : " ") + e;
    EXPECT_EQ(log, sc.expected);
    EXPECT_EQ(editor.settings().basex, sc.basex);
    const std::string end = sc.title;
    EXPECT_TRUE(host.title.size() >= end.size() && host.title.compare(host.title.size() - end.size(), end.size(), end) == 0)
        << "title: " << host.title;
}

// The window's place goes to pallodex.ini on quitting and comes back to the
// host at the next start; a host that cannot tell keeps the file's.
TEST_F(EditorScenario, TheWindowPlaceOutlivesTheRun) {
    FakeHost host;
    for (int run = 0; run < 3; ++run) {
        host.place = run == 0 ? WindowPlace{true, -20, 30, 640, 480, 1} : WindowPlace{};
        Editor editor(host, std::make_unique<FakeRenderer>(host.log), "Pallodex");
        editor.open();
        if (run == 1) host.place = WindowPlace{};
        editor.close();
    }
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "placed"), 2);
    EXPECT_TRUE(host.place.known && host.place.x == -20 && host.place.y == 30 && host.place.width == 640 &&
                host.place.height == 480 && host.place.maximised == 1);
}

INSTANTIATE_TEST_SUITE_P(Editor, EditorScenario, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return "row" + std::to_string(info.index); });

}  // namespace
