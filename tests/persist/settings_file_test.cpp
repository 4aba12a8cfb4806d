#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <fstream>
#include <initializer_list>
#include <ostream>
#include <utility>

#include "bmp.h"
#include "file_system.h"
#include "settings_file.h"
#include "test_util.h"

// Failure messages name the fields that differ from the defaults.
void PrintTo(const PatternSettings& s, std::ostream* os) {
    const PatternSettings defaults;
    *os << '{';
    for (const ParamKey& k : kParamKeys)
        if (getParam(s, k) != getParam(defaults, k)) *os << ' ' << k.name << '=' << getParam(s, k);
    *os << " }";
}

namespace {

// Every field away from its default and valid as it is, so that a load that
// keeps old values instead of taking defaults shows.
PatternSettings nonDefaultSettings() {
    PatternSettings s;
    s.base_r = 11, s.base_g = 12, s.base_b = 13;
    s.vx_r = 21, s.vx_g = 22, s.vx_b = 23;
    s.vy_r = 31, s.vy_g = 32, s.vy_b = 33;
    s.mode_r = 1, s.mode_g = 2, s.mode_b = 3;
    s.dg_r = 41, s.dg_g = 42, s.dg_b = 43;
    s.dth_r = 51, s.dth_g = 52, s.dth_b = 53;
    s.max_r = 201, s.max_g = 202, s.max_b = 203;
    s.min_r = 1, s.min_g = 2, s.min_b = 3;
    s.pat_x = 4, s.pat_y = 5;
    s.bmpw = 64, s.bmph = 32, s.basew = 7, s.baseh = 8;
    s.baserw = 50, s.baserh = 60, s.basex = 9, s.basey = 10;
    s.hue = 99, s.accuracy = 2;
    return s;
}

// What a file that sets no value leaves behind: the values held before.
const PatternSettings kUnchanged = nonDefaultSettings();

// The defaults with the named fields changed, set through the engine's key
// table rather than through the reader under test.
PatternSettings defaultsWith(std::initializer_list<std::pair<const char*, std::int32_t>> fields) {
    PatternSettings s;
    for (const auto& field : fields) setParam(s, *findParamKey(field.first), field.second);
    return s;
}

// One info file's text and the settings it loads to, from nonDefaultSettings().
struct LoadCase {
    std::string text;
    PatternSettings expected;
};

// The text with its control characters spelled out, for failure messages.
std::string shown(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20)
            out += "\\x" + std::to_string(c);
        else
            out += static_cast<char>(c);
    }
    return out + '"';
}

// The 36 parameter lines of the default settings, written out by hand in
// file order.
const char kDefaultParameterLines[] =
    "base_r=0\r\nbase_g=0\r\nbase_b=-1\r\n"
    "vx_r=255\r\nvx_g=127\r\nvx_b=-255\r\n"
    "vy_r=0\r\nvy_g=127\r\nvy_b=0\r\n"
    "mode_r=0\r\nmode_g=0\r\nmode_b=0\r\n"
    "dg_r=0\r\ndg_g=0\r\ndg_b=0\r\n"
    "dth_r=0\r\ndth_g=0\r\ndth_b=0\r\n"
    "max_r=255\r\nmax_g=255\r\nmax_b=255\r\n"
    "min_r=0\r\nmin_g=0\r\nmin_b=0\r\n"
    "pat_x=0\r\npat_y=0\r\n"
    "bmpw=128\r\nbmph=128\r\nbasew=-1\r\nbaseh=-1\r\nbaserw=100\r\nbaserh=100\r\n"
    "basex=0\r\nbasey=0\r\n"
    "hue=0\r\naccuracy=1\r\n";

// Runs each test in its own scratch folder and puts the current directory
// back afterwards, since tests move it to give saves their dir line.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        start_ = fsys::currentDirectory();
        dir_ = testutil::scratchDir();
    }
    void TearDown() override { fsys::setCurrentDirectory(start_); }

    // Loads text as an info file into a copy of from.
    PatternSettings loadInfo(const std::string& text, const PatternSettings& from = nonDefaultSettings()) {
        const std::string path = dir_ + "/info.ini";
        testutil::writeFile(path, text);
        PatternSettings s = from;
        loadSettingsFile(s, path.c_str(), nullptr);
        return s;
    }

    // Each case through the file path and through an open stream.
    void expectLoads(const std::vector<LoadCase>& cases) {
        for (const LoadCase& c : cases) {
            EXPECT_EQ(loadInfo(c.text), c.expected) << shown(c.text);
            std::FILE* f = std::tmpfile();
            ASSERT_NE(f, nullptr);
            std::fwrite(c.text.data(), 1, c.text.size(), f);
            std::rewind(f);
            PatternSettings s = nonDefaultSettings();
            loadSettingsStream(s, f, nullptr);
            std::fclose(f);
            EXPECT_EQ(s, c.expected) << "stream: " << shown(c.text);
        }
    }

    std::string start_, dir_;
    std::int8_t tileView_ = 1;
    std::int32_t filterIndex_ = 1;
    std::vector<std::string> dirs_;
    OwnFileExtras extras_{&tileView_, &filterIndex_, &dirs_};
};

}  // namespace

TEST_F(SettingsFile, KeysTheFileLacksTakeTheirDefaultsThenValidate) {
    expectLoads({
        {"", kUnchanged},
        {"hue=5\n", defaultsWith({{"hue", 5}})},
        {"bmpw=5000\n", PatternSettings()},
        {"bmpw=2048\nbmph=0\n", defaultsWith({{"bmpw", 2048}})},
        {"bmpw=-1\nbmph=2049\n", PatternSettings()},
        {"min_r=300\nmax_r=10\nmin_g=-20\nmax_g=-30\naccuracy=-3\n",
         defaultsWith({{"min_r", 255}, {"max_r", 255}, {"min_g", 0}, {"max_g", 0}})},
        {"min_b=100\nmax_b=50\n", defaultsWith({{"min_b", 100}, {"max_b", 100}})},
        {"accuracy=0\n", PatternSettings()},
    });
}

TEST_F(SettingsFile, OnlyASettingsFileChangesAnything) {
    // Whatever is not a settings file (nothing, a folder, a FIFO without a
    // writer, a device, a picture, noise, keys without values) leaves the
    // values, the flags and the current folder exactly as they were.
    const std::string noise = [] {
        std::string bytes;
        std::uint32_t x = 12345;
        for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        return bytes;
    }();
    const std::vector<std::uint32_t> pixels(16 * 16, 0x00336699u);
    const std::vector<std::uint8_t> bmp = encodeBmp(pixels.data(), 16, 16, 24);
    testutil::writeFile(dir_ + "/empty.ini", "");
    testutil::writeFile(dir_ + "/picture.bmp", std::string(bmp.begin(), bmp.end()));
    testutil::writeFile(dir_ + "/noise.ini", noise);
    testutil::writeFile(dir_ + "/novalues.ini", "hue=\nbase_r= x\n[pallodex]\n");
    testutil::writeFile(dir_ + "/hue.ini", "hue=3\n");
    testutil::writeFile(dir_ + "/hundred.ini", "hue=3\n" + std::string(94, '#'));
    ASSERT_EQ(mkdir((dir_ + "/folder.ini").c_str(), 0777), 0);
    ASSERT_EQ(mkfifo((dir_ + "/fifo.ini").c_str(), 0666), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir_ + "/zero.ini").c_str()), 0);

    struct Case {
        const char* name;
        LoadResult result;
        std::uint64_t maxBytes;
    };
    const Case cases[] = {
        {"absent.ini", LoadResult::Failed, kNoSizeLimit},
        {"folder.ini", LoadResult::Failed, kNoSizeLimit},
        {"fifo.ini", LoadResult::Failed, kNoSizeLimit},  // must not wait for a writer
        {"zero.ini", LoadResult::Failed, kNoSizeLimit},  // must not read forever
        {"empty.ini", LoadResult::NoSettings, kNoSizeLimit},
        {"picture.bmp", LoadResult::NoSettings, kNoSizeLimit},
        {"noise.ini", LoadResult::NoSettings, kNoSizeLimit},
        {"novalues.ini", LoadResult::NoSettings, kNoSizeLimit},
        {"hundred.ini", LoadResult::TooLarge, 99},
        {"hundred.ini", LoadResult::Loaded, 100},
        {"hue.ini", LoadResult::Loaded, kNoSizeLimit},
    };
    alarm(20);  // a FIFO or device that blocks or never ends fails the test instead of hanging it
    for (const Case& c : cases) {
        PatternSettings s = nonDefaultSettings();
        tileView_ = 0;
        filterIndex_ = 2;
        std::string error;
        const LoadResult result = loadSettingsFile(s, (dir_ + "/" + c.name).c_str(), &extras_, &error, c.maxBytes);
        EXPECT_EQ(result, c.result) << c.name << ": " << error;
        EXPECT_EQ(error.empty(), result != LoadResult::Failed) << c.name;
        if (result == LoadResult::Loaded) {
            EXPECT_EQ(s, defaultsWith({{"hue", 3}})) << c.name;
            continue;
        }
        EXPECT_EQ(s, nonDefaultSettings()) << c.name;
        EXPECT_EQ(tileView_, 0) << c.name;
        EXPECT_EQ(filterIndex_, 2) << c.name;
        EXPECT_TRUE(dirs_.empty()) << c.name;
    }
    alarm(0);
}

TEST_F(SettingsFile, OwnFileLinesCountAsSettingsOnlyInTheOwnFile) {
    // A dir line alone is the own file's business: it names a folder and
    // resets the values, as any settings file does; in an info file it is
    // an unknown line.
    const std::string path = dir_ + "/pallodex.ini";
    testutil::writeFile(path, "dir=" + dir_ + "\r\nflg_bit=2\r\n");
    PatternSettings s = nonDefaultSettings();
    EXPECT_EQ(loadSettingsFile(s, path.c_str(), nullptr), LoadResult::NoSettings);
    EXPECT_EQ(s, nonDefaultSettings());
    EXPECT_EQ(filterIndex_, 1);
    EXPECT_TRUE(dirs_.empty());
    EXPECT_EQ(loadSettingsFile(s, path.c_str(), &extras_), LoadResult::Loaded);
    EXPECT_EQ(s, PatternSettings());
    EXPECT_EQ(filterIndex_, 2);
    EXPECT_EQ(dirs_, std::vector<std::string>{dir_});
}

TEST_F(SettingsFile, StreamsReadLikeFilesUpToTheLimit) {
    // Standard input of pallodex-render is such a stream: /dev/zero there
    // must stop at the limit.
    std::FILE* zero = std::fopen("/dev/zero", "rb");
    ASSERT_NE(zero, nullptr);
    PatternSettings s = nonDefaultSettings();
    EXPECT_EQ(loadSettingsStream(s, zero, nullptr, nullptr, 1 << 20), LoadResult::TooLarge);
    std::fclose(zero);
    EXPECT_EQ(s, nonDefaultSettings());

    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs("base_g=4\r\nbmpw=5000\r\n", f);
    std::rewind(f);
    EXPECT_EQ(loadSettingsStream(s, f, nullptr, nullptr, 20), LoadResult::TooLarge);  // 21 bytes
    EXPECT_EQ(s, nonDefaultSettings());
    std::rewind(f);
    EXPECT_EQ(loadSettingsStream(s, f, nullptr, nullptr, 21), LoadResult::Loaded);
    EXPECT_EQ(s, defaultsWith({{"base_g", 4}}));
    std::fclose(f);
}

TEST_F(SettingsFile, LinesReadLikeAKeyEqualsNumberScan) {
    expectLoads({
        {"base_r=12\n", defaultsWith({{"base_r", 12}})},
        {"base_r= 12\n", defaultsWith({{"base_r", 12}})},  // white space after '=' is skipped
        {"base_r=\t\v\f 12\n", defaultsWith({{"base_r", 12}})},
        {"base_r=\r5\n", defaultsWith({{"base_r", 5}})},  // a lone CR is white space too
        {"base_r=12abc\n", defaultsWith({{"base_r", 12}})},  // the rest of the line is ignored
        {"base_r=12 34\n", defaultsWith({{"base_r", 12}})},
        {"base_r=+7\n", defaultsWith({{"base_r", 7}})},
        {"base_r=-7\n", defaultsWith({{"base_r", -7}})},
        {"base_r =12\n", kUnchanged},  // space before '=': not this key
        {" base_r=12\n", kUnchanged},  // leading space: no key at all
        {"BASE_R=12\n", kUnchanged},
        {"base_rx=12\n", kUnchanged},
        {"base_r:12\n", kUnchanged},
        {"base_r=- 12\n", kUnchanged},
        {"base_r=--12\n", kUnchanged},
        {"base_r=x12\n", kUnchanged},
        {"base_r=1\nbase_r=2\n", defaultsWith({{"base_r", 2}})},  // the later line wins
        {"base_r=4\nbase_r=\n", defaultsWith({{"base_r", 4}})},   // a line without a number is skipped
        {"base_r=9", defaultsWith({{"base_r", 9}})},              // last line without line end
        // A NUL byte ends the text of its line.
        {std::string("base_r=3\0base_g=4\nbase_b=5\n", 27), defaultsWith({{"base_r", 3}, {"base_b", 5}})},
        // Unknown and malformed lines between good ones do no harm.
        {"[section]\n\nhue=7\n# comment=1\n=5\nvx_r\nbasex=-3\n", defaultsWith({{"hue", 7}, {"basex", -3}})},
        // Byte fields keep the low byte, as a signed byte.
        {"mode_r=258\npat_x=-1\npat_y=383\nmode_g=-129\nmode_b=128\n",
         defaultsWith({{"mode_r", 2}, {"pat_x", -1}, {"pat_y", 127}, {"mode_g", 127}, {"mode_b", -128}})},
    });
}

TEST_F(SettingsFile, KeyWithoutNumberAssignsNothing) {
    // base_b defaults to -1, so an assigned 0 would show.
    std::vector<LoadCase> cases;
    for (const char* text : {"base_b=", "base_b=\n", "base_b=   \n", "base_b=\r\n", "base_b= \t", "base_b=-\n",
                             "base_b=+", "base_b"})
        cases.push_back({text, kUnchanged});
    expectLoads(cases);
}

TEST_F(SettingsFile, NumbersBeyond32BitsWrapAround) {
    struct Case {
        const char* number;
        std::int32_t value;
    };
    const Case cases[] = {
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MIN},  // 2^31
        {"4294967295", -1},         // 2^32 - 1
        {"4294967296", 0},          // 2^32
        {"12884901893", 5},         // 3 * 2^32 + 5
        {"-12884901893", -5},
        {"-4294967295", 1},
        {"10000000000000000000000000000000000000000", 0},  // 10^40 = 2^40 * 5^40
        {"10000000000000000000000000000000007", 7},        // 10^34 + 7
        {"000000000000000000000000000000000042", 42},
    };
    std::vector<LoadCase> loads;
    for (const Case& c : cases) loads.push_back({"basex=" + std::string(c.number) + "\n", defaultsWith({{"basex", c.value}})});
    expectLoads(loads);
}

TEST_F(SettingsFile, LongLinesAreReadAsPiecesOf259Characters) {
    const std::string x258(258, 'x'), x259(259, 'x');
    expectLoads({
        // A line longer than a piece goes on as a line of its own.
        {x259 + "base_r=3\n", defaultsWith({{"base_r", 3}})},
        // 258 characters leave room for one more: the key is cut apart.
        {x258 + "base_r=3\n", kUnchanged},
        // A 259-character piece that ends right after '=' assigns nothing,
        // and the number it was cut from is not a line that matches.
        {"vx_r=" + std::string(254, ' ') + "77\n", kUnchanged},
        // A number cut by the piece end keeps its first digits.
        {"mode_g=" + std::string(250, ' ') + "1234\n", defaultsWith({{"mode_g", 12}})},
        // Padding to exactly 259 characters puts the next key at a piece start.
        {"base_g=4" + std::string(251, ' ') + "base_b=6\n", defaultsWith({{"base_g", 4}, {"base_b", 6}})},
        {"base_g=4" + std::string(250, ' ') + "base_b=6\n", defaultsWith({{"base_g", 4}})},
        // A line of exactly 258 characters plus its LF is one piece.
        {"hue=1" + std::string(253, ' ') + "\nbasey=2\n", defaultsWith({{"hue", 1}, {"basey", 2}})},
        // At a piece boundary the CR of a CR LF pair does not count: 258
        // characters, CR LF and the next line.
        {"base_r=7" + std::string(250, ' ') + "\r\nbase_g=9\r\n", defaultsWith({{"base_r", 7}, {"base_g", 9}})},
    });
}

TEST_F(SettingsFile, CrLfFilesReadLikeLfFiles) {
    const std::string lf = "base_r=5\nvx_g=-6\nmode_b=2\npat_y=3\nbmph=77\naccuracy=4\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const PatternSettings expected =
        defaultsWith({{"base_r", 5}, {"vx_g", -6}, {"mode_b", 2}, {"pat_y", 3}, {"bmph", 77}, {"accuracy", 4}});
    expectLoads({
        {lf, expected},
        {crlf, expected},
        // A file with bare CR line ends is one long line: only its start counts.
        {"base_r=1\rbase_g=2\r", defaultsWith({{"base_r", 1}})},
    });
}

TEST_F(SettingsFile, ExtrasAreReadOnlyFromTheOwnFile) {
    const std::string other = dir_ + "/My Pictures";
    ASSERT_EQ(std::system(("mkdir '" + other + "'").c_str()), 0);
    const std::string text = "dir=" + other + "\r\nflg_array=0\r\nflg_bit=2\r\nhue=4\r\n";
    const std::string path = dir_ + "/pallodex.ini";
    testutil::writeFile(path, text);

    PatternSettings s;
    loadSettingsFile(s, path.c_str(), nullptr);
    EXPECT_EQ(s.hue, 4);
    EXPECT_EQ(tileView_, 1);
    EXPECT_EQ(filterIndex_, 1);
    EXPECT_TRUE(dirs_.empty());

    s = PatternSettings();
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(s.hue, 4);
    EXPECT_EQ(tileView_, 0);
    EXPECT_EQ(filterIndex_, 2);
    // The whole folder name, space included, without the line end; going
    // there is the caller's choice.
    EXPECT_EQ(dirs_, std::vector<std::string>{other});
    EXPECT_EQ(fsys::currentDirectory(), start_);

    // Keys the own file lacks leave the two flags alone.
    testutil::writeFile(path, "hue=1\n");
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(tileView_, 0);
    EXPECT_EQ(filterIndex_, 2);

    testutil::writeFile(path, "flg_array=257\nflg_bit=-5\n");
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(tileView_, 1);
    EXPECT_EQ(filterIndex_, -5);
    testutil::writeFile(path, "flg_array=-1\nflg_bit=4294967298\n");
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(tileView_, -1);
    EXPECT_EQ(filterIndex_, 2);
}

TEST_F(SettingsFile, DirLinesComeInFileOrderUnlessUnusable) {
    const std::string path = dir_ + "/pallodex.ini";
    // Whether a folder still exists is for whoever goes there to find out.
    testutil::writeFile(path, "dir=" + dir_ + "/gone\nbase_r=5\ndir=sub\n");
    PatternSettings s;
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(dirs_, (std::vector<std::string>{dir_ + "/gone", "sub"}));
    EXPECT_EQ(s.base_r, 5);

    for (const char* text : {"dir=\n", "dir=  \r\n", "dir=", "dir =/\n", " dir=/\n", "DIR=/\n"}) {
        testutil::writeFile(path, std::string("hue=1\n") + text);
        dirs_.clear();
        loadSettingsFile(s, path.c_str(), &extras_);
        EXPECT_TRUE(dirs_.empty()) << text;
    }
    // White space before the folder is skipped, as it always was.
    testutil::writeFile(path, "dir= \t/\n");
    dirs_.clear();
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(dirs_, std::vector<std::string>{"/"});
    // A stray CR at the end of a last line is a line end, not part of the name.
    testutil::writeFile(path, "dir=" + dir_ + "\r");
    dirs_.clear();
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(dirs_, std::vector<std::string>{dir_});
}

TEST_F(SettingsFile, FolderNameWithALineBreakCannotInjectKeys) {
    // Only POSIX allows such names; the dir line is then left empty rather
    // than split into a second line that reads as a key.
    const std::string odd = dir_ + "/a\nbmpw=7";
    ASSERT_TRUE(::mkdir(odd.c_str(), 0777) == 0);
    ASSERT_TRUE(fsys::setCurrentDirectory(odd));
    const std::string path = dir_ + "/pallodex.ini";
    ASSERT_EQ(SaveResult::Written, saveSettingsFile(PatternSettings(), path.c_str(), &extras_));
    const std::string written = testutil::readFile(path);
    EXPECT_EQ(testutil::countLines(written), 39u);
    EXPECT_EQ(written.rfind("dir=\r\nflg_array=1\r\n", 0), 0u) << written;
    PatternSettings s;
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(s.bmpw, 128);
    EXPECT_TRUE(dirs_.empty());
}

TEST_F(SettingsFile, DirLineCutByThePieceLengthIsNotUsed) {
    // A folder whose path fills a piece exactly ("dir=" and 255 characters),
    // and a sibling one character longer whose cut path names the first.
    const std::size_t room = 255 - dir_.size() - 1;
    ASSERT_LT(room, 250u) << "scratch folder path too long for this test";
    const std::string exact = dir_ + "/" + std::string(room, 'd');
    const std::string longer = exact + "e";
    ASSERT_EQ(exact.size(), 255u);
    ASSERT_EQ(std::system(("mkdir '" + exact + "' '" + longer + "'").c_str()), 0);
    const std::string path = dir_ + "/pallodex.ini";
    PatternSettings s;

    testutil::writeFile(path, "dir=" + longer + "\r\nhue=3\r\n");
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_TRUE(dirs_.empty());
    EXPECT_EQ(s.hue, 3);

    // The same length with its CR LF still fits: the CR is gone before the
    // line is cut.
    testutil::writeFile(path, "dir=" + exact + "\r\nhue=3\r\n");
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(dirs_, std::vector<std::string>{exact});
    testutil::writeFile(path, "dir=" + exact);
    dirs_.clear();
    loadSettingsFile(s, path.c_str(), &extras_);
    EXPECT_EQ(dirs_, std::vector<std::string>{exact});
}

TEST_F(SettingsFile, ApplySettingsLineReadsOneLineAsLoadDoes) {
    PatternSettings s = nonDefaultSettings();
    EXPECT_TRUE(applySettingsLine(s, "hue= -12xyz", nullptr));
    EXPECT_EQ(s.hue, -12);
    EXPECT_TRUE(applySettingsLine(s, "mode_r=258", nullptr));
    EXPECT_EQ(s.mode_r, 2);
    EXPECT_TRUE(applySettingsLine(s, "bmpw=5000", nullptr));
    EXPECT_EQ(s.bmpw, 5000) << "a single line is not validated";
    PatternSettings before = s;
    for (const char* line : {"hue=", " hue=1", "nokey=1", "", "flg_bit=2", "flg_array=0", "dir=/"})
        EXPECT_FALSE(applySettingsLine(s, line, nullptr)) << line;
    EXPECT_FALSE(applySettingsLine(s, nullptr, nullptr));
    EXPECT_EQ(s, before);
    EXPECT_EQ(filterIndex_, 1);
    EXPECT_TRUE(dirs_.empty());

    EXPECT_TRUE(applySettingsLine(s, "flg_bit=2", &extras_));
    EXPECT_EQ(filterIndex_, 2);
    EXPECT_TRUE(applySettingsLine(s, "flg_array=512", &extras_));
    EXPECT_EQ(tileView_, 0);
    EXPECT_TRUE(applySettingsLine(s, ("dir=" + dir_).c_str(), &extras_));
    EXPECT_EQ(dirs_, std::vector<std::string>{dir_});
    EXPECT_EQ(s, before);
}

TEST_F(SettingsFile, DefaultOwnFileHoldsExactlyThese39Lines) {
    ASSERT_TRUE(fsys::setCurrentDirectory(dir_));
    ASSERT_EQ(SaveResult::Written, saveSettingsFile(PatternSettings(), "pallodex.ini", &extras_));
    const std::string written = testutil::readFile(dir_ + "/pallodex.ini");
    EXPECT_EQ(written, "dir=" + dir_ + "\r\nflg_array=1\r\nflg_bit=1\r\n" + kDefaultParameterLines);
    EXPECT_EQ(testutil::countLines(written), 39u);
    EXPECT_EQ(settingsText(PatternSettings(), &extras_), written);
    EXPECT_EQ(testutil::listDir(dir_), std::vector<std::string>{"pallodex.ini"});

    ASSERT_EQ(SaveResult::Written, saveSettingsFile(PatternSettings(), "info.ini", nullptr));
    EXPECT_EQ(testutil::readFile(dir_ + "/info.ini"), kDefaultParameterLines);
    // Read back as the program would read its own file, the info file brings
    // every default back and, holding no own-file lines, names no folder and
    // leaves the flags alone.
    ASSERT_TRUE(fsys::setCurrentDirectory(start_));
    tileView_ = 0;
    filterIndex_ = 2;
    PatternSettings back = nonDefaultSettings();
    loadSettingsFile(back, (dir_ + "/info.ini").c_str(), &extras_);
    EXPECT_EQ(back, PatternSettings());
    EXPECT_EQ(tileView_, 0);
    EXPECT_EQ(filterIndex_, 2);
    EXPECT_TRUE(dirs_.empty());
}

TEST_F(SettingsFile, WriterSpellsOutSignedValues) {
    PatternSettings s;
    s.pat_x = -128;
    s.mode_b = 127;
    s.basex = INT32_MIN;
    s.vy_b = INT32_MAX;
    tileView_ = -1;
    filterIndex_ = INT32_MIN;
    const std::string text = settingsText(s, &extras_);
    EXPECT_NE(text.find("\r\nflg_array=-1\r\nflg_bit=-2147483648\r\nbase_r=0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nvy_b=2147483647\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nmode_b=127\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\npat_x=-128\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nbasex=-2147483648\r\n"), std::string::npos);
}

TEST_F(SettingsFile, EveryParameterRoundTrips) {
    // Distinct values everywhere (a swapped pair of keys shows), extremes
    // included, all of them left alone by validation.
    PatternSettings s;
    s.base_r = INT32_MIN, s.base_g = INT32_MAX, s.base_b = -7;
    s.vx_r = 1000000, s.vx_g = -3, s.vx_b = 12;
    s.vy_r = -99999, s.vy_g = 5, s.vy_b = 2147483000;
    s.mode_r = -128, s.mode_g = 127, s.mode_b = 3;
    s.dg_r = -2, s.dg_g = 17, s.dg_b = 256;
    s.dth_r = -9, s.dth_g = 33, s.dth_b = 4;
    s.max_r = 200, s.max_g = 101, s.max_b = 255;
    s.min_r = 10, s.min_g = 100, s.min_b = 254;
    s.pat_x = 6, s.pat_y = -1;
    s.bmpw = 2048, s.bmph = 1, s.basew = -300, s.baseh = 77;
    s.baserw = 250, s.baserh = -40, s.basex = -2147483647, s.basey = 65536;
    s.hue = 1529, s.accuracy = 8;
    PatternSettings validated = s;
    validated.validate();
    ASSERT_EQ(validated, s);

    const std::string path = dir_ + "/round.ini";
    ASSERT_EQ(SaveResult::Written, saveSettingsFile(s, path.c_str(), nullptr));
    EXPECT_EQ(testutil::countLines(testutil::readFile(path)), 36u);
    PatternSettings back;
    loadSettingsFile(back, path.c_str(), nullptr);
    EXPECT_EQ(back, s);
    EXPECT_EQ(back.base_r, INT32_MIN);
    EXPECT_EQ(back.baserh, -40);
    EXPECT_EQ(back.pat_y, -1);

    // The own file brings back the flags and the folder, spaces and all.
    const std::string folder = dir_ + "/Documents and Settings";
    ASSERT_EQ(std::system(("mkdir '" + folder + "'").c_str()), 0);
    ASSERT_TRUE(fsys::setCurrentDirectory(folder));
    tileView_ = 0;
    filterIndex_ = 2;
    ASSERT_EQ(SaveResult::Written, saveSettingsFile(s, path.c_str(), &extras_));
    ASSERT_TRUE(fsys::setCurrentDirectory(start_));
    tileView_ = 1;
    filterIndex_ = 1;
    back = PatternSettings();
    loadSettingsFile(back, path.c_str(), &extras_);
    EXPECT_EQ(back, s);
    EXPECT_EQ(tileView_, 0);
    EXPECT_EQ(filterIndex_, 2);
    EXPECT_EQ(dirs_, std::vector<std::string>{folder});
}

TEST_F(SettingsFile, SaveReplacesTheWholeOldFile) {
    const std::string path = dir_ + "/info.ini";
    testutil::writeFile(path, std::string(5000, 'z'));
    ASSERT_EQ(SaveResult::Written, saveSettingsFile(PatternSettings(), path.c_str(), nullptr));
    EXPECT_EQ(testutil::readFile(path), kDefaultParameterLines);
    EXPECT_EQ(testutil::listDir(dir_), std::vector<std::string>{"info.ini"});
}

TEST_F(SettingsFile, FailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    EXPECT_EQ(SaveResult::Failed, saveSettingsFile(PatternSettings(), (dir_ + "/missing/info.ini").c_str(), nullptr));
    EXPECT_TRUE(testutil::listDir(dir_).empty());
    EXPECT_EQ(SaveResult::Failed, saveSettingsFile(PatternSettings(), "", nullptr));
    EXPECT_EQ(SaveResult::Failed, saveSettingsFile(PatternSettings(), nullptr, nullptr));

    // A folder in the way of the file name.
    ASSERT_EQ(std::system(("mkdir '" + dir_ + "/taken.ini'").c_str()), 0);
    EXPECT_EQ(SaveResult::Failed, saveSettingsFile(PatternSettings(), (dir_ + "/taken.ini").c_str(), nullptr));
    EXPECT_EQ(testutil::listDir(dir_), std::vector<std::string>{"taken.ini"});
}

TEST_F(SettingsFile, SaveOnAFullDiskKeepsTheOldFile) {
    // A file size limit makes every write beyond it fail as a full disk does.
    const std::string path = dir_ + "/pallodex.ini";
    const std::string old = "base_r=42\r\n";
    testutil::writeFile(path, old);
    const SaveResult result =
        testutil::withFullDiskAfter(100, [&] { return saveSettingsFile(PatternSettings(), path.c_str(), &extras_); });
    EXPECT_EQ(result, SaveResult::Failed);
    EXPECT_EQ(testutil::readFile(path), old);
    EXPECT_EQ(testutil::listDir(dir_), std::vector<std::string>{"pallodex.ini"});
}

TEST_F(SettingsFile, StreamReaderReportsFailures) {
    // A stream that refuses reads changes nothing.
    const std::string path = dir_ + "/x.ini";
    testutil::writeFile(path, "hue=1\n");
    std::FILE* writeOnly = std::fopen(path.c_str(), "ab");
    ASSERT_NE(writeOnly, nullptr);
    PatternSettings s = nonDefaultSettings();
    std::string error;
    EXPECT_EQ(loadSettingsStream(s, writeOnly, nullptr, &error), LoadResult::Failed);
    std::fclose(writeOnly);
    EXPECT_EQ(s, nonDefaultSettings());
    EXPECT_FALSE(error.empty());

    std::FILE* good = std::fopen(path.c_str(), "rb");
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(loadSettingsStream(s, good, nullptr), LoadResult::Loaded);
    std::fclose(good);
    EXPECT_EQ(s, defaultsWith({{"hue", 1}}));
}

TEST_F(SettingsFile, ReadOnlyFileIsKeptAsTheUserPinnedIt) {
    const std::string path = dir_ + "/pallodex.ini";
    testutil::writeFile(path, "hue=7\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(saveSettingsFile(PatternSettings(), path.c_str(), &extras_), SaveResult::KeptReadOnly);
    EXPECT_EQ(testutil::readFile(path), "hue=7\r\n");
    EXPECT_EQ(testutil::listDir(dir_), std::vector<std::string>{"pallodex.ini"});
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    // Any write bit makes it the program's to replace, keeping the bits.
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    EXPECT_EQ(saveSettingsFile(PatternSettings(), path.c_str(), &extras_), SaveResult::Written);
    EXPECT_EQ(testutil::readFile(path), settingsText(PatternSettings(), &extras_));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
}

// The window's place: five lines after all others, read back only as a
// whole rectangle; info files and pallodex-render never see them.
TEST_F(SettingsFile, TheWindowPlaceFollowsEveryOtherLine) {
    ASSERT_TRUE(fsys::setCurrentDirectory(dir_));
    WindowPlace place{true, -1920, 8, 1200, 2147483647, 1};
    OwnFileExtras withWindow{&tileView_, &filterIndex_, nullptr, &place};
    const std::string text = settingsText(PatternSettings(), &withWindow);
    EXPECT_EQ(text, settingsText(PatternSettings(), &extras_) +
                        "win_x=-1920\r\nwin_y=8\r\nwin_w=1200\r\nwin_h=2147483647\r\nwin_max=1\r\n");
    testutil::writeFile(dir_ + "/own.ini", text);
    WindowPlace back;
    OwnFileExtras reading{&tileView_, &filterIndex_, nullptr, &back};
    PatternSettings s;
    ASSERT_EQ(loadSettingsFile(s, "own.ini", &reading), LoadResult::Loaded);
    EXPECT_TRUE(back.known && back.x == -1920 && back.y == 8 && back.width == 1200 && back.height == 2147483647 &&
                back.maximised == 1);
    EXPECT_EQ(s, PatternSettings());
    // Without its height the rectangle is not known; the other lines still count.
    testutil::writeFile(dir_ + "/own.ini", "hue=3\r\nwin_x=1\r\nwin_y=2\r\nwin_w=3\r\nwin_max=0\r\n");
    ASSERT_EQ(loadSettingsFile(s, "own.ini", &reading), LoadResult::Loaded);
    EXPECT_FALSE(back.known);
    EXPECT_EQ(s.hue, 3);
    // An info file (and so pallodex-render) takes the parameters alone.
    s = PatternSettings();
    ASSERT_EQ(loadSettingsFile(s, "own.ini", nullptr), LoadResult::Loaded);
    EXPECT_EQ(s.hue, 3);
    testutil::writeFile(dir_ + "/own.ini", "win_x=1\r\n");
    EXPECT_EQ(loadSettingsFile(s, "own.ini", nullptr), LoadResult::NoSettings);
}
