// The history of wallpapers set, in a folder of its own: names, order and
// pruning. What pallodex.exe /wallpaper does with it is proven under Wine
// (tests/e2e/dialogs/daily_wallpaper_test.sh).
#include <gtest/gtest.h>

#include "file_system.h"
#include "settings_file.h"
#include "test_util.h"
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
    EXPECT_EQ(testutil::listDir(folder).size(), 200u + foreign.size());
    for (const std::string& f : foreign) EXPECT_TRUE(testutil::fileExists(folder + "/" + f)) << f;
    EXPECT_FALSE(testutil::fileExists(folder + "/20261209-083000-11.txt"));
    list = wallpaper_history::newest(folder, 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].label, "2026/12/13 07:19:59");
    ASSERT_EQ(loadSettingsFile(loaded, list[0].path.c_str(), nullptr), LoadResult::Loaded);
    EXPECT_EQ(loaded.basex, 299);

    // A folder that cannot be made keeps nothing and says so.
    EXPECT_FALSE(wallpaper_history::record(folder + "/notes.txt/sub", numbered(1), at(9, 8, 30, 0)));
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
