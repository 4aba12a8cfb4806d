#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <initializer_list>
#include <set>
#include <thread>

#include "bmp.h"
#include "generate.h"
#include "png.h"
#include "reference.h"
#include "render.h"
#include "settings_file.h"
#include "test_util.h"
#include "tile_measure.h"

namespace {

const std::string kExe = PALLODEX_RENDER_EXE;

std::string expectedBmp(const PatternSettings& s, int bits) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph));
    renderReference(s, px.data());
    const auto bytes = encodeBmp(px.data(), s.bmpw, s.bmph, bits);
    return std::string(bytes.begin(), bytes.end());
}

// A small image that renders in no time: tests of files need no big ones.
const char kSmall[] = "--set bmpw=7 --set bmph=3 --set hue=100";

PatternSettings smallSettings() {
    PatternSettings s;
    s.bmpw = 7, s.bmph = 3, s.hue = 100;
    return s;
}

// Leftover temporary files anywhere below dir.
std::string leftovers(const std::string& dir) { return testutil::run("find . -name '.pallodex-*'", dir).out; }

// Whether process pid has handlers for all of sigs, from the SigCgt mask in
// /proc; waits up to 10 seconds for it.
bool catchesSignals(pid_t pid, std::initializer_list<int> sigs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("SigCgt:", 0) != 0) continue;
            const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
            bool all = true;
            for (int sig : sigs) all = all && ((caught >> (sig - 1)) & 1u);
            if (all) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

}  // namespace

TEST(RenderCli, DefaultRenderMatchesTheEngineThroughAnIndependentReader) {
    const std::string dir = testutil::scratchDir();
    auto r = testutil::run("'" + kExe + "'", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string path = dir + "/pallodex.bmp";
    EXPECT_EQ(testutil::readFile(path).size(), 54u + 384u * 128u);
    int w = 0, h = 0;
    auto decoded = testutil::decodeWithImageMagick(path, &w, &h);
    ASSERT_EQ(w, 128);
    ASSERT_EQ(h, 128);
    PatternSettings s;
    std::vector<std::uint32_t> expected(128 * 128);
    renderReference(s, expected.data());
    EXPECT_EQ(decoded, expected);
    EXPECT_EQ(decoded[127], packPixel(255, 127, 0));
}

TEST(RenderCli, SetAndBitsChangeTheImage) {
    const std::string dir = testutil::scratchDir();
    auto r = testutil::run("'" + kExe + "' --set bmpw=33 --set bmph=5 --set pat_x=2 --set hue=400 --set dth_g=-7 "
                           "--bits 8 -o out.bmp",
                           dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    PatternSettings s;
    s.bmpw = 33;
    s.bmph = 5;
    s.pat_x = 2;
    s.hue = 400;
    s.dth_g = -7;
    std::vector<std::uint32_t> px(33 * 5);
    renderReference(s, px.data());
    const auto bytes = encodeBmp(px.data(), 33, 5, 8);
    EXPECT_EQ(testutil::readFile(dir + "/out.bmp"), std::string(bytes.begin(), bytes.end()));
}

TEST(RenderCli, ThreadCountDoesNotChangeTheImage) {
    const std::string dir = testutil::scratchDir();
    PatternSettings s;
    s.bmpw = 77;
    s.bmph = 41;
    s.pat_x = WaveSineAbsolute;
    s.pat_y = WaveTriangleHalf;
    s.dth_r = 5;
    s.mode_b = EdgeTurnFast;
    s.hue = -300;
    s.accuracy = 2;
    std::vector<std::uint32_t> px(77 * 41);
    renderReference(s, px.data());
    const auto bytes = encodeBmp(px.data(), 77, 41, 24);
    for (const char* threads : {"1", "2", "5", "64"}) {
        auto r = testutil::run("'" + kExe + "' --set bmpw=77 --set bmph=41 --set pat_x=5 --set pat_y=3 --set dth_r=5 "
                               "--set mode_b=2 --set hue=-300 --set accuracy=2 --threads " + std::string(threads) +
                                   " -o t.bmp",
                               dir);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(testutil::readFile(dir + "/t.bmp"), std::string(bytes.begin(), bytes.end())) << threads;
    }
}

TEST(RenderCli, LargeImagesEncodedInBandsMatchTheOneThreadEncoder) {
    // Large enough for several bands, odd widths for row padding, both
    // depths, and to standard output as well as to a file.
    const std::string dir = testutil::scratchDir();
    for (auto [w, h] : {std::pair{1023, 517}, {2048, 129}, {641, 1031}}) {
        PatternSettings s;
        s.bmpw = w, s.bmph = h, s.pat_x = WaveSine, s.dth_g = 3, s.hue = 250;
        const std::vector<std::uint32_t> px = renderImage(s);
        const std::string size = "--set bmpw=" + std::to_string(w) + " --set bmph=" + std::to_string(h) +
                                 " --set pat_x=2 --set dth_g=3 --set hue=250";
        for (const char* bits : {"24", "8"}) {
            const auto bytes = encodeBmp(px.data(), w, h, std::atoi(bits));
            const std::string expected(bytes.begin(), bytes.end());
            for (const char* threads : {"2", "5"}) {
                const std::string args = size + " --bits " + bits + " --threads " + threads;
                auto r = testutil::run("'" + kExe + "' " + args + " -o out.bmp", dir);
                ASSERT_EQ(r.exitCode, 0) << r.err;
                EXPECT_TRUE(testutil::readFile(dir + "/out.bmp") == expected) << args;
                r = testutil::run("'" + kExe + "' " + args + " -o -", dir);
                EXPECT_TRUE(r.out == expected) << args << " -o -";
            }
        }
    }
}

TEST(RenderCli, LongRenderShowsItsProgressOnATerminal) {
    // script(1) gives the command a terminal. A render that runs past half a
    // second shows percentages and then "done"; the supersampling factor
    // grows until one does, whatever the renderer's speed.
    const std::string dir = testutil::scratchDir();
    for (int accuracy = 16; accuracy <= 65536; accuracy *= 2) {
        const std::string command = "'" + kExe + "' --set bmpw=2048 --set bmph=2048 --set dth_r=5 --set accuracy=" +
                                    std::to_string(accuracy) + " --threads 1 -o out.bmp";
        const auto start = std::chrono::steady_clock::now();
        const auto r = testutil::run("script -qec \"" + command + "\" /dev/null", dir);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        if (seconds < 1.0) continue;
        EXPECT_NE(r.out.find("\rrendering 2048x2048: "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("%"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - std::min<std::size_t>(r.out.size(), 28)),
                  "\rrendering 2048x2048: done\r\n");  // the terminal turns LF into CR LF
        return;
    }
    FAIL() << "no render took a second";
}

TEST(RenderCli, FormatFollowsTheExtensionUnlessNamed) {
    // Each case: arguments, and whether the file written is PNG (else BMP).
    // The PNG must hold the BMP's pixels for an independent reader.
    struct Case {
        const char* args;
        const char* file;
        bool png;
    };
    const Case cases[] = {
        {"-o out.png", "out.png", true},
        {"-o OUT.PNG", "OUT.PNG", true},
        {"-o out.Png", "out.Png", true},
        {"-o out.bmp", "out.bmp", false},
        {"-o out.png.bmp", "out.png.bmp", false},
        {"-o png", "png", false},
        {"--format png -o out.img", "out.img", true},
        {"-o out.png --format bmp", "out.png", false},
        {"--format png -o - > piped", "piped", true},
        {"-o - > piped", "piped", false},
        {"--bits 8 -o out.bmp", "out.bmp", false},
    };
    // A dithered gradient of more than 256 colours: an RGB PNG.
    PatternSettings s;
    s.bmpw = 64, s.bmph = 48, s.dth_g = 3;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(s.bmpw) * s.bmph);
    renderReference(s, px.data());
    ASSERT_GT(std::set<std::uint32_t>(px.begin(), px.end()).size(), 256u);
    for (const Case& c : cases) {
        const std::string dir = testutil::scratchDir();
        const auto r = testutil::run("'" + kExe + "' --set bmpw=64 --set bmph=48 --set dth_g=3 " + std::string(c.args), dir);
        ASSERT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
        const std::string bytes = testutil::readFile(dir + "/" + c.file);
        EXPECT_EQ(bytes.rfind(c.png ? "\x89PNG\r\n\x1a\n" : "BM", 0), 0u) << c.args;
        if (!c.png) continue;
        EXPECT_EQ(testutil::run("pngcheck -q '" + std::string(c.file) + "'", dir).exitCode, 0) << c.args;
        const std::vector<std::uint8_t> expected = encodePng(px.data(), s.bmpw, s.bmph);
        EXPECT_TRUE(bytes == std::string(expected.begin(), expected.end())) << c.args;
        int w = 0, h = 0;
        testutil::writeFile(dir + "/copy.png", bytes);
        EXPECT_EQ(testutil::decodeWithImageMagick(dir + "/copy.png", &w, &h), px) << c.args;
    }
}

TEST(RenderCli, PngOutputKeepsTheRulesOfEveryOutput) {
    // --bits is a BMP matter; an unknown format is refused; a PNG that
    // cannot be written leaves nothing behind and exits 1.
    const std::string dir = testutil::scratchDir();
    for (const char* args : {"--bits 8 -o out.png", "--bits 24 --format png -o out.bmp", "--format gif -o out.gif",
                             "--format", "--format PNG -o out.png"}) {
        const auto r = testutil::run("'" + kExe + "' " + kSmall + " " + args, dir);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(testutil::countLines(r.err), 1u) << args << ": " << r.err;
        EXPECT_TRUE(testutil::listDir(dir).empty()) << args;
    }
    ASSERT_EQ(testutil::run("mkdir taken.png && printf old > ro.png && chmod 444 ro.png", dir).exitCode, 0);
    for (const char* out : {"taken.png", "missing/out.png", "ro.png"}) {
        const auto r = testutil::run("'" + kExe + "' " + kSmall + " -o " + out, dir);
        EXPECT_EQ(r.exitCode, 1) << out;
        EXPECT_EQ(testutil::countLines(r.err), 1u) << out << ": " << r.err;
        EXPECT_NE(r.err.find(out), std::string::npos) << r.err;
    }
    EXPECT_EQ(testutil::listDir(dir), (std::vector<std::string>{"ro.png", "taken.png"}));
    EXPECT_EQ(testutil::readFile(dir + "/ro.png"), "old");
}

TEST(RenderCli, PrintSettingsShowsTheValidatedSetInFileOrder) {
    const std::string dir = testutil::scratchDir();
    auto r = testutil::run("'" + kExe + "' --set bmpw=5000 --set mode_g=258 --set min_r=300 --set base_b=+12 "
                           "--set basex=-2147483648 --print-settings",
                           dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testutil::countLines(r.out), 36u);
    EXPECT_EQ(r.out.rfind("base_r=0\r\nbase_g=0\r\nbase_b=12\r\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nmode_g=2\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nmax_r=255\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nmin_r=255\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nbmpw=128\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nbaserh=100\r\nbasex=-2147483648\r\nbasey=0\r\nhue=0\r\naccuracy=1\r\n"),
              std::string::npos);
    EXPECT_TRUE(testutil::listDir(dir).empty()) << "--print-settings must not render";
}

TEST(RenderCli, BadArgumentsAreOneLineErrorsWithExitTwo) {
    const std::string dir = testutil::scratchDir();
    for (const char* args : {"--frobnicate", "--set nokey=1", "--set base_r=12x", "--set base_r=", "--set base_r",
                             "--set base_r=2147483648", "--set hue=1.5", "--bits 16", "--bits", "-o", "stray",
                             "--threads 0", "--set dir=/tmp", "--set flg_bit=1", "--tile", "--tile 0x1",
                             "--tile 65x1", "--tile 2", "--tile 2x2x2", "--tile -1x2", "--tile 2X2",
                             "--set bmpw=257 --tile 64x1", "--set bmph=2048 --tile 1x9", "--random 18446744073709551616",
                             "--mutate", "--mutate x", "--mutate -1", "--random 1 --mutate 2", "--count 0",
                             "--count 10001", "--count 2", "--random 1 --count 2 -o -",
                             "--random 1 --count 2 --print-settings", "--random 1 --count 2 -o w.TXT"}) {
        auto r = testutil::run("'" + kExe + "' " + args, dir);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(testutil::countLines(r.err), 1u) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("pallodex-render: ", 0), 0u) << r.err;
        EXPECT_TRUE(testutil::listDir(dir).empty()) << args;
    }
    auto r = testutil::run("'" + kExe + "' --set nokey=1", dir);
    EXPECT_NE(r.err.find("nokey"), std::string::npos);
    r = testutil::run("'" + kExe + "' --bits 16", dir);
    EXPECT_NE(r.err.find("16"), std::string::npos);
}

TEST(RenderCli, TileRepeatsTheImageAcrossAndDown) {
    // Odd sizes, both depths of BMP and PNG, up to the largest count.
    const struct {
        const char* args;
        int columns, rows, bits;  // bits 0: PNG
    } cases[] = {
        {"--tile 1x1 -o t.bmp", 1, 1, 24}, {"--tile 3x2 -o t.bmp", 3, 2, 24}, {"--tile 2x5 --bits 8 -o t.bmp", 2, 5, 8},
        {"--tile 4x1 -o t.png", 4, 1, 0},  {"--tile 64x64 -o t.png", 64, 64, 0},
    };
    const PatternSettings s = smallSettings();
    std::vector<std::uint32_t> image(static_cast<std::size_t>(s.bmpw) * s.bmph);
    renderReference(s, image.data());
    for (const auto& c : cases) {
        const int w = s.bmpw * c.columns, h = s.bmph * c.rows;
        std::vector<std::uint32_t> tiled;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) tiled.push_back(image[(y % s.bmph) * s.bmpw + x % s.bmpw]);
        const auto bytes = c.bits ? encodeBmp(tiled.data(), w, h, c.bits) : encodePng(tiled.data(), w, h);
        const std::string dir = testutil::scratchDir();
        const auto r = testutil::run("'" + kExe + "' " + kSmall + " " + c.args, dir);
        ASSERT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
        EXPECT_TRUE(testutil::readFile(dir + (c.bits ? "/t.bmp" : "/t.png")) == std::string(bytes.begin(), bytes.end()))
            << c.args;
    }
}

TEST(RenderCli, UnwritableOutputFailsWithoutLeavingFiles) {
    const std::string dir = testutil::scratchDir();
    auto r = testutil::run("'" + kExe + "' -o missing/sub/out.bmp", dir);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(testutil::countLines(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("missing/sub/out.bmp"), std::string::npos);

    // A folder in the way of the output name: nothing may be left behind.
    std::system(("mkdir '" + dir + "/taken.bmp'").c_str());
    r = testutil::run("'" + kExe + "' -o taken.bmp", dir);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(testutil::listDir(dir), std::vector<std::string>{"taken.bmp"});

    // Writing over an existing file replaces it completely.
    std::system(("printf 'old contents' > '" + dir + "/keep.bmp'").c_str());
    r = testutil::run("'" + kExe + "' --set bmpw=4 --set bmph=4 -o keep.bmp", dir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testutil::readFile(dir + "/keep.bmp").size(), 54u + 12u * 4u);
}

TEST(RenderCli, RendersWhatTheSettingsFileSays) {
    const std::string dir = testutil::scratchDir();
    std::system(("mkdir '" + dir + "/elsewhere'").c_str());
    // Written as the Windows program writes it (CR LF), with the own-file
    // lines an info file ignores: its dir line must not move the output.
    testutil::writeFile(dir + "/my wall.ini", "dir=" + dir + "/elsewhere\r\nflg_array=0\r\nflg_bit=2\r\n"
                                    "bmpw=21\r\nbmph=9\r\npat_x=2\r\npat_y=5\r\nmode_g=3\r\n"
                                    "dg_r=40\r\nhue=300\r\nbase_b=60\r\nvy_r=-90\r\n");
    PatternSettings s;
    s.bmpw = 21, s.bmph = 9, s.pat_x = 2, s.pat_y = 5, s.mode_g = 3;
    s.dg_r = 40, s.hue = 300, s.base_b = 60, s.vy_r = -90;
    auto r = testutil::run("'" + kExe + "' 'my wall.ini' -o out.bmp", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testutil::readFile(dir + "/out.bmp"), expectedBmp(s, 24));
    EXPECT_TRUE(testutil::listDir(dir + "/elsewhere").empty());

    // The same file with bare LF line ends, options before the file.
    testutil::writeFile(dir + "/lf.ini", "bmpw=21\nbmph=9\npat_x=2\npat_y=5\nmode_g=3\ndg_r=40\nhue=300\nbase_b=60\nvy_r=-90\n");
    r = testutil::run("'" + kExe + "' --bits 8 -o lf.bmp lf.ini", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testutil::readFile(dir + "/lf.bmp"), expectedBmp(s, 8));
}

TEST(RenderCli, SetLinesApplyAfterTheFileAndPrintSettingsShowsTheSavedFile) {
    const std::string dir = testutil::scratchDir();
    testutil::writeFile(dir + "/a.ini", "base_r=9\nhue=20\nmin_g=100\nmax_g=150\nbmpw=5000\n");
    // --set comes first on the command line yet wins over the file.
    auto r = testutil::run("'" + kExe + "' --set base_r=5 --set max_g=50 a.ini --set mode_b=-1 --print-settings", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    PatternSettings s;
    s.base_r = 5, s.hue = 20, s.min_g = 100, s.max_g = 100, s.mode_b = -1;  // max_g raised to min_g
    ASSERT_EQ(saveSettingsFile(s, (dir + "/expected.ini").c_str(), nullptr), SaveResult::Written);
    EXPECT_EQ(r.out, testutil::readFile(dir + "/expected.ini"));
    EXPECT_EQ(r.out.rfind("base_r=5\r\nbase_g=0\r\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\r\nmax_g=100\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\r\nmode_b=-1\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\r\nbmpw=128\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("\r\nhue=20\r\n"), std::string::npos);

    // The printed text is itself a settings file that reproduces the image.
    testutil::writeFile(dir + "/printed.ini", r.out);
    r = testutil::run("'" + kExe + "' printed.ini --set bmpw=16 --set bmph=16 -o p.bmp", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    s.bmpw = 16, s.bmph = 16;
    EXPECT_EQ(testutil::readFile(dir + "/p.bmp"), expectedBmp(s, 24));
}

TEST(RenderCli, UnreadableSettingsFileIsAnError) {
    const std::string dir = testutil::scratchDir();
    std::system(("mkdir '" + dir + "/folder.ini'").c_str());
    testutil::writeFile(dir + "/a.ini", "hue=1\n");
    for (const char* args : {"missing.ini", "folder.ini", "a.ini a.ini", "a.ini missing.ini", "''"}) {
        auto r = testutil::run("'" + kExe + "' " + args + " -o out.bmp", dir);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(testutil::countLines(r.err), 1u) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("pallodex-render: ", 0), 0u) << r.err;
        EXPECT_FALSE(testutil::fileExists(dir + "/out.bmp")) << args;
    }
    auto r = testutil::run("'" + kExe + "' missing.ini", dir);
    EXPECT_NE(r.err.find("'missing.ini'"), std::string::npos) << r.err;
    r = testutil::run("'" + kExe + "' a.ini other.ini", dir);
    EXPECT_NE(r.err.find("other.ini"), std::string::npos) << r.err;
    // The strict check of --set still holds with a file.
    r = testutil::run("'" + kExe + "' a.ini --set 'hue= 5' --print-settings", dir);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
}

TEST(RenderCli, OutputGoesIntoWhatIsAtThePath) {
    // Each case: a set-up, the command's output argument (and what follows
    // the command on the shell line), and what must hold afterwards. The
    // picture is expected.bmp; no case may leave a temporary file.
    struct Case {
        const char* setup;
        const char* output;
        int exitCode;
        const char* check;
    };
    const Case cases[] = {
        // A link stays a link; the file it points to takes the picture.
        {"mkdir d && printf old > d/real.bmp && ln -s d/real.bmp link.bmp", "link.bmp", 0,
         "test -L link.bmp && cmp d/real.bmp expected.bmp"},
        {"ln -s new.bmp dangling.bmp", "dangling.bmp", 0, "test -L dangling.bmp && cmp new.bmp expected.bmp"},
        // An existing file keeps its permission bits and its hard links.
        {"printf old > m.bmp && chmod 640 m.bmp", "m.bmp", 0,
         "cmp m.bmp expected.bmp && test $(stat -c %a m.bmp) = 640"},
        {"printf old > a.bmp && ln a.bmp b.bmp", "a.bmp", 0,
         "cmp b.bmp expected.bmp && test $(stat -c %i a.bmp) = $(stat -c %i b.bmp)"},
        // A read-only file is refused, not replaced.
        {"printf old > ro.bmp && chmod 444 ro.bmp", "ro.bmp", 1, "test \"$(cat ro.bmp)\" = old"},
        // Standard output, by name or through a link to it; and a FIFO.
        {"", "- | cat > piped.bmp", 0, "cmp piped.bmp expected.bmp"},
        {"ln -s /dev/stdout out.lnk", "out.lnk | cat > piped.bmp", 0, "test -L out.lnk && cmp piped.bmp expected.bmp"},
        // Only the reader goes to the background: the FIFO must be there
        // before the command looks at the path.
        {"mkfifo f.bmp && { (cat f.bmp > got.bmp; echo done > reader.done) & }", "f.bmp", 0,
         "for i in $(seq 600); do test -e reader.done && break; sleep 0.1; done; test -p f.bmp && cmp got.bmp "
         "expected.bmp"},
        // A device behind a link: a private null device, so that a failure
        // cannot replace the machine's own.
        {"mknod nul c 1 3 && ln -s nul nul.lnk", "nul.lnk", 0, "test -L nul.lnk && test -c nul"},
    };
    const std::string expected = expectedBmp(smallSettings(), 24);
    for (const Case& c : cases) {
        const std::string dir = testutil::scratchDir();
        testutil::writeFile(dir + "/expected.bmp", expected);
        if (c.setup[0] && testutil::run(c.setup, dir).exitCode != 0) {
            EXPECT_EQ(std::string(c.setup).rfind("mknod", 0), 0u) << "set-up failed: " << c.setup;
            continue;  // only where the user may not make devices
        }
        const auto r = testutil::run("'" + kExe + "' " + kSmall + " -o " + c.output, dir);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.output << ": " << r.err;
        EXPECT_EQ(testutil::countLines(r.err), c.exitCode ? 1u : 0u) << c.output << ": " << r.err;
        const auto check = testutil::run(c.check, dir);
        EXPECT_EQ(check.exitCode, 0) << c.output << ": " << c.check << "\n" << check.err;
        EXPECT_EQ(leftovers(dir), "") << c.output;
    }
}

TEST(RenderCli, RefusesToWriteOverItsOwnSettingsFile) {
    // Same file by device and inode, whatever the name says.
    const std::string dir = testutil::scratchDir();
    const std::string seed = "hue=300\r\nbmpw=5\r\nbmph=5\r\n";
    testutil::writeFile(dir + "/seed.ini", seed);
    ASSERT_EQ(testutil::run("ln seed.ini hard.ini && ln -s seed.ini soft.ini && mkdir sub", dir).exitCode, 0);
    for (const char* args : {"seed.ini -o seed.ini", "seed.ini -o ./seed.ini", "seed.ini -o sub/../seed.ini",
                             "seed.ini -o hard.ini", "seed.ini -o soft.ini", "soft.ini -o seed.ini",
                             "- -o seed.ini < seed.ini"}) {
        const auto r = testutil::run("'" + kExe + "' " + args, dir);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(testutil::countLines(r.err), 1u) << args << ": " << r.err;
        EXPECT_EQ(testutil::readFile(dir + "/seed.ini"), seed) << args;
        EXPECT_EQ(testutil::listDir(dir), (std::vector<std::string>{"hard.ini", "seed.ini", "soft.ini", "sub"}))
            << args;
    }
    // A copy is another file.
    ASSERT_EQ(testutil::run("cp seed.ini copy.ini", dir).exitCode, 0);
    EXPECT_EQ(testutil::run("'" + kExe + "' seed.ini -o copy.ini", dir).exitCode, 0);
}

TEST(RenderCli, AnyNameTheFileSystemTakesWorks) {
    for (std::size_t length : {249u, 250u, 251u, 255u, 256u}) {
        const std::string dir = testutil::scratchDir(), name = std::string(length - 4, 'p') + ".bmp";
        const auto r = testutil::run("'" + kExe + "' " + kSmall + " -o " + name, dir);
        if (length <= 255) {
            EXPECT_EQ(r.exitCode, 0) << length << ": " << r.err;
            EXPECT_EQ(testutil::listDir(dir), std::vector<std::string>{name}) << length;
        } else {
            // The system's own reason, naming the file rather than the folder.
            EXPECT_EQ(r.exitCode, 1) << length;
            EXPECT_EQ(r.err, "pallodex-render: cannot write '" + name + "': File name too long\n");
            EXPECT_TRUE(testutil::listDir(dir).empty()) << length;
        }
    }
}

TEST(RenderCli, SettingsInputIsARegularFileOrStandardInputOfBoundedSize) {
    // Nothing may hang: timeout's exit code 124 would show it.
    const std::string dir = testutil::scratchDir();
    ASSERT_EQ(testutil::run("mkfifo fifo.ini && ln -s /dev/zero zero.ini", dir).exitCode, 0);
    const std::string oneMiB(1 << 20, '\n');
    testutil::writeFile(dir + "/big.ini", "hue=5\n" + oneMiB);
    testutil::writeFile(dir + "/limit.ini", "hue=5\n" + oneMiB.substr(6));
    struct Case {
        const char* args;
        int exitCode;
        const char* message;  // what stderr's one line holds; empty: no output at all
    };
    const Case cases[] = {
        {"/dev/zero", 2, "not a regular file"},
        {"zero.ini", 2, "not a regular file"},
        {"fifo.ini", 2, "not a regular file"},  // no writer: must not wait for one
        {"- < /dev/zero", 2, "settings file too large"},
        {"big.ini", 2, "settings file too large"},
        {"- < big.ini", 2, "settings file too large"},
        {"limit.ini", 0, ""},  // exactly 1 MiB
        {"- < limit.ini", 0, ""},
    };
    for (const Case& c : cases) {
        const auto r = testutil::run("timeout 20 '" + kExe + "' " + c.args + " --print-settings", dir);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << ": " << r.err;
        if (c.message[0]) {
            EXPECT_EQ(testutil::countLines(r.err), 1u) << c.args << ": " << r.err;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        } else {
            EXPECT_EQ(r.err, "") << c.args;
            EXPECT_NE(r.out.find("\r\nhue=5\r\n"), std::string::npos) << c.args;
        }
    }
    // Standard input renders like the same file named.
    testutil::writeFile(dir + "/small.ini", "bmpw=7\nbmph=3\nhue=100\n");
    const auto r = testutil::run("'" + kExe + "' - -o - < small.ini > piped.bmp", dir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testutil::readFile(dir + "/piped.bmp"), expectedBmp(smallSettings(), 24));
}

TEST(RenderCli, FileWithoutSettingsRendersTheDefaultsWithAWarning) {
    const std::string dir = testutil::scratchDir();
    // A picture passed by mistake, empty files, unknown lines only.
    testutil::writeFile(dir + "/picture.bmp", expectedBmp(smallSettings(), 24));
    testutil::writeFile(dir + "/empty.ini", "");
    testutil::writeFile(dir + "/unknown.ini", "[pallodex]\r\ncolour=red\r\nhue=\r\n");
    for (const char* file : {"picture.bmp", "empty.ini", "unknown.ini"}) {
        const auto r = testutil::run("'" + kExe + "' " + file + " -o out.bmp", dir);
        EXPECT_EQ(r.exitCode, 0) << file;
        EXPECT_EQ(r.err, "pallodex-render: warning: no settings found in '" + std::string(file) + "'\n");
        EXPECT_EQ(testutil::readFile(dir + "/out.bmp"), expectedBmp(PatternSettings(), 24)) << file;
    }
    const auto r = testutil::run("'" + kExe + "' - --print-settings < empty.ini", dir);
    EXPECT_EQ(r.err, "pallodex-render: warning: no settings found in standard input\n");
    // One known key is a settings file: no warning.
    testutil::writeFile(dir + "/one.ini", "junk\nhue=1\n");
    EXPECT_EQ(testutil::run("'" + kExe + "' one.ini -o out.bmp", dir).err, "");
}

TEST(RenderCli, FailedWritesToStandardOutputSaySo) {
    const std::string dir = testutil::scratchDir();
    for (const char* args : {"--print-settings >&-", "--print-settings > /dev/full", "-o - >&-", "-o - > /dev/full"}) {
        const auto r = testutil::run("'" + kExe + "' " + std::string(kSmall) + " " + args, dir);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_EQ(testutil::countLines(r.err), 1u) << args << ": " << r.err;
        EXPECT_NE(r.err.find("standard output"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_TRUE(testutil::listDir(dir).empty());
}

TEST(RenderCli, InterruptEndsWithTheShellsCodeAndLeavesNoFileBehind) {
    // Signals at moments spread over a render and its write. Whenever one
    // lands, the command exits (not dies) with 128 + the signal, or has
    // finished, and leaves no temporary file. That the file is removed when
    // the signal lands during the write is proven deterministically in the
    // persist tests.
    const std::string dir = testutil::scratchDir();
    int interrupted = 0;
    for (int i = 0; i < 16; ++i) {
        const int sig = i % 2 ? SIGTERM : SIGINT;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            std::signal(SIGINT, SIG_DFL);  // as an interactive shell starts it
            std::signal(SIGTERM, SIG_DFL);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl(kExe.c_str(), kExe.c_str(), "--set", "bmpw=2048", "--set", "bmph=2048", "--set", "accuracy=2", "-o",
                  "out.bmp", static_cast<char*>(nullptr));
            _exit(127);
        }
        // A signal before the program has caught it (during exec, say)
        // still ends it the default way: wait until it catches both.
        if (!catchesSignals(child, {SIGINT, SIGTERM})) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            FAIL() << "the command never caught SIGINT and SIGTERM";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10 * i));
        kill(child, sig);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status) << " after " << 10 * i << " ms";
        if (WEXITSTATUS(status) != 0) {
            ++interrupted;
            EXPECT_EQ(WEXITSTATUS(status), 128 + sig) << "after " << 10 * i << " ms";
        }
        EXPECT_EQ(leftovers(dir), "") << "signal " << sig << " after " << 10 * i << " ms";
    }
    EXPECT_GT(interrupted, 0);
}

TEST(RenderCli, RandomSetsAreTheProgramsOwnSeamlessAndTheSameForTheSameSeed) {
    // Each row: the arguments and the set the program's Space (or
    // Shift+Space) makes from the validated input with that seed.
    PatternSettings keep;
    keep.bmpw = 64, keep.bmph = 48, keep.accuracy = 2;
    PatternSettings input = keep;
    input.pat_x = 2, input.vx_g = 90, input.hue = 200;
    const struct {
        const char* args;
        PatternSettings expected;
    } rows[] = {
        {"--random 0", randomSettings(keep, 0)},
        {"--random 1", randomSettings(keep, 1)},
        {"--random 2", randomSettings(keep, 2)},
        {"--random 18446744073709551615", randomSettings(keep, UINT64_MAX)},
        {"--set pat_x=2 --set vx_g=90 --set hue=200 --mutate 3", mutateSettings(input, 3)},
    };
    const std::string dir = testutil::scratchDir();
    std::set<std::string> pictures;
    for (const auto& row : rows) {
        const std::string args = "--set bmpw=64 --set bmph=48 --set accuracy=2 " + std::string(row.args);
        const std::vector<std::uint32_t> px = renderImage(row.expected);
        const auto bytes = encodeBmp(px.data(), row.expected.bmpw, row.expected.bmph, 24);
        const auto r = testutil::run("'" + kExe + "' " + args + " -o r.bmp", dir);
        ASSERT_EQ(r.exitCode, 0) << args << ": " << r.err;
        EXPECT_TRUE(testutil::readFile(dir + "/r.bmp") == std::string(bytes.begin(), bytes.end())) << args;
        const auto printed = testutil::run("'" + kExe + "' " + args + " --print-settings", dir);
        EXPECT_EQ(printed.out, settingsText(row.expected, nullptr)) << args;
        if (std::string(row.args).find("--random") != std::string::npos) {
            EXPECT_TRUE(measureTile(px.data(), row.expected.bmpw, row.expected.bmph).seamless()) << args;
        }
        pictures.insert(std::string(bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(pictures.size(), std::size(rows)) << "two seeds gave one picture";

    // --count: seeds 7 to 11, each picture with the info file that renders it.
    ASSERT_EQ(testutil::run("mkdir set", dir).exitCode, 0);
    const auto r = testutil::run("'" + kExe + "' --set bmpw=24 --set bmph=16 --random 7 --count 5 -o set/w.png", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testutil::listDir(dir + "/set").size(), 10u);
    PatternSettings small;
    small.bmpw = 24, small.bmph = 16;
    for (int k = 1; k <= 5; ++k) {
        const std::string name = "set/w-000" + std::to_string(k);
        PatternSettings loaded;
        ASSERT_EQ(loadSettingsFile(loaded, (dir + "/" + name + ".txt").c_str(), nullptr), LoadResult::Loaded) << name;
        EXPECT_TRUE(loaded == randomSettings(small, 6 + static_cast<std::uint64_t>(k))) << name;
        const auto again = testutil::run("'" + kExe + "' " + name + ".txt -o again.png", dir);
        ASSERT_EQ(again.exitCode, 0) << again.err;
        EXPECT_EQ(testutil::readFile(dir + "/again.png"), testutil::readFile(dir + "/" + name + ".png")) << name;
    }
}
