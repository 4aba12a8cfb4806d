// The history of wallpapers set and pallodex.exe /wallpaper's own part, in a
// folder of their own: names, order, pruning, and what reaches the desktop.
#include <gtest/gtest.h>

#include <algorithm>

#include "file_system.h"
#include "generate.h"
#include "render.h"
#include "settings_file.h"
#include "test_util.h"
#include "tile_measure.h"
#include "wallpaper_command.h"
#include "wallpaper_history.h"

namespace {

std::tm at(int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2026 - 1900, t.tm_mon = 11, t.tm_mday = day, t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second;
    return t;
}

PatternSettings numbered(int n) {
    PatternSettings s;
    s.basex = n;
    return s;
}

std::vector<std::string> historyNames(const std::string& dir) {
    std::vector<std::string> names = testutil::listDir(dir);
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n.rfind("2026", 0); }),
                names.end());
    return names;
}

}  // namespace

TEST(WallpaperHistory, NamesOrderAndKeepsTheNewest) {
    const std::string dir = testutil::scratchDir(), folder = dir + "/history";
    // Eleven within one second: -10 and -11 come after -9.
    for (int n = 1; n <= 11; ++n) ASSERT_TRUE(wallpaper_history::record(folder, numbered(n), at(9, 8, 30, 0)));
    auto list = wallpaper_history::newest(folder);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0].label, "2026/12/09 08:30:00 (11)");
    EXPECT_EQ(list[2].label, "2026/12/09 08:30:00 (9)");
    EXPECT_EQ(list[9].label, "2026/12/09 08:30:00 (2)");
    EXPECT_EQ(list[0].path, folder + "/20261209-083000-11.txt");
    PatternSettings loaded;
    ASSERT_EQ(loadSettingsFile(loaded, list[2].path.c_str(), nullptr), LoadResult::Loaded);
    EXPECT_TRUE(loaded == numbered(9));

    // Names the history did not write are never counted nor removed.
    const std::vector<std::string> foreign = {"notes.txt", "20261209-083000-1.txt", "20261209-083000-02.txt",
                                              "2026120-0830000.txt", "20261209-083000.bmp"};
    for (const std::string& f : foreign) testutil::writeFile(folder + "/" + f, "basex=1\n");
    for (int n = 0; n < 200; ++n)
        ASSERT_TRUE(wallpaper_history::record(folder, numbered(100 + n), at(10 + n / 60, 7, n % 60, 59)));
    const std::vector<std::string> names = historyNames(folder);
    EXPECT_EQ(names.size() - 4, 200u);  // four of the foreign names start like a date
    EXPECT_TRUE(testutil::fileExists(folder + "/notes.txt"));
    for (const std::string& f : foreign) EXPECT_TRUE(testutil::fileExists(folder + "/" + f)) << f;
    EXPECT_FALSE(testutil::fileExists(folder + "/20261209-083000-11.txt"));
    list = wallpaper_history::newest(folder, 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].label, "2026/12/13 07:19:59");
    ASSERT_EQ(loadSettingsFile(loaded, list[0].path.c_str(), nullptr), LoadResult::Loaded);
    EXPECT_EQ(loaded.basex, 299);

    // A folder that cannot be made keeps nothing and says so.
    EXPECT_FALSE(wallpaper_history::record(folder + "/notes.txt/sub", numbered(1), at(9, 8, 30, 0)));
    EXPECT_FALSE(wallpaper_history::record("", numbered(1), at(9, 8, 30, 0)));
    EXPECT_TRUE(wallpaper_history::newest(dir + "/missing").empty());
}

TEST(WriteNewFile, NeverTakesThePlaceOfAFile) {
    const std::string dir = testutil::scratchDir(), target = dir + "/a.txt";
    const auto writes = [](const char* text) { return [text](std::FILE* f) { return std::fputs(text, f) >= 0; }; };
    EXPECT_EQ(fsys::writeNewFile(target, writes("first")), fsys::WriteResult::Written);
    EXPECT_EQ(fsys::writeNewFile(target, writes("second")), fsys::WriteResult::Exists);
    EXPECT_EQ(fsys::writeNewFile(dir + "/no/b.txt", writes("x")), fsys::WriteResult::Failed);
    EXPECT_EQ(testutil::readFile(target), "first");
    EXPECT_EQ(testutil::listDir(dir), std::vector<std::string>{"a.txt"});
}

namespace {

class FakeDesktop final : public WallpaperDesktop {
public:
    bool accepts = true;
    std::string history = "history";
    std::vector<std::uint32_t> pixels;
    std::int32_t width = 0, height = 0;
    int tiled = -1;  // -1: never set
    bool setWallpaper(const std::vector<std::uint32_t>& p, std::int32_t w, std::int32_t h, bool t) override {
        if (!accepts) return false;
        pixels = p, width = w, height = h, tiled = t;
        return true;
    }
    std::string historyFolder() override { return history; }
};

}  // namespace

TEST(WallpaperCommand, SetsTheSetOfTheFolderOrTheFileAndKeepsIt) {
    struct Row {
        const char* name;
        const char* ini;   // pallodex.ini's lines; null: none; "/": a folder in its place
        const char* info;  // the info file's lines, null: a random set; "/": a missing file
        bool accepts, historyWritable;
        int code;
        int tiled;                // what the desktop was told; -1: nothing
        const char* expected;     // the lines the set must hold; null: randomSettings' set of the ini
    };
    const Row rows[] = {
        {"first start: a random set of the defaults, tiled", nullptr, nullptr, true, true, 0, 1, nullptr},
        {"the size, smoothness and tile flag of pallodex.ini", "bmpw=40\r\nbmph=24\r\naccuracy=2\r\nflg_array=0\r\n"
         "dir=/nonexistent\r\nhue=900\r\n", nullptr, true, true, 0, 0, nullptr},
        {"an info file instead", "flg_array=1\r\nbmpw=90\r\n", "basex=40\r\nbmpw=16\r\nbmph=8\r\n", true, true, 0, 1,
         "basex=40\nbmpw=16\nbmph=8"},
        {"a missing info file", nullptr, "/", true, true, 3, -1, nullptr},
        {"an info file without settings", nullptr, "junk\r\n", true, true, 3, -1, nullptr},
        {"a pallodex.ini that cannot be read", "/", nullptr, true, true, 3, -1, nullptr},
        {"a desktop that refuses", nullptr, nullptr, false, true, 5, -1, nullptr},
        {"a history that cannot be written", nullptr, nullptr, true, false, 0, 1, nullptr},
    };
    const std::string home = fsys::currentDirectory();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string dir = testutil::scratchDir();
        ASSERT_TRUE(fsys::setCurrentDirectory(dir));
        if (r.ini && std::string(r.ini) == "/") fsys::makeFolder("pallodex.ini");
        else if (r.ini) testutil::writeFile("pallodex.ini", r.ini);
        std::string info;
        if (r.info) info = dir + "/info.txt";
        if (r.info && std::string(r.info) != "/") testutil::writeFile(info, r.info);
        FakeDesktop desktop;
        desktop.accepts = r.accepts;
        if (!r.historyWritable) desktop.history = "pallodex.ini/history", testutil::writeFile("pallodex.ini", "");
        const bool iniFile = r.ini && std::string(r.ini) != "/";
        const std::string before = iniFile ? testutil::readFile("pallodex.ini") : "";
        const int code = runWallpaperCommand(info, desktop, 77);
        EXPECT_EQ(code, r.code);
        EXPECT_EQ(desktop.tiled, r.tiled);
        const auto kept = wallpaper_history::newest(desktop.history);
        if (r.tiled < 0 || !r.historyWritable) {
            EXPECT_TRUE(kept.empty());
            fsys::setCurrentDirectory(home);
            continue;
        }
        // The set expected, from the same pieces Space and the info file use.
        PatternSettings expected;
        if (r.expected) {
            for (std::string rest = r.expected; !rest.empty();) {
                applySettingsLine(expected, rest.substr(0, rest.find('\n')).c_str(), nullptr);
                rest = rest.find('\n') == std::string::npos ? "" : rest.substr(rest.find('\n') + 1);
            }
        } else {
            if (r.ini) loadSettingsFile(expected, "pallodex.ini", nullptr);
            expected = randomSettings(expected, 77);
            std::vector<std::uint32_t> px = renderImage(expected);
            EXPECT_TRUE(measureTile(px.data(), expected.bmpw, expected.bmph).seamless());
        }
        EXPECT_TRUE(desktop.pixels == renderImage(expected));
        EXPECT_EQ(desktop.width, expected.bmpw);
        ASSERT_EQ(kept.size(), 1u);
        PatternSettings recorded;
        ASSERT_EQ(loadSettingsFile(recorded, kept[0].path.c_str(), nullptr), LoadResult::Loaded);
        EXPECT_TRUE(recorded == expected);
        if (iniFile) {
            EXPECT_EQ(testutil::readFile("pallodex.ini"), before);  // never written
        }
        fsys::setCurrentDirectory(home);
    }
}
