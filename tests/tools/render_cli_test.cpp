#include <gtest/gtest.h>


#include "bmp.h"
#include "render.h"
#include "settings_file.h"
#include "test_util.h"

#include <fstream>

namespace {

const std::string kExe = PALLODEX_RENDER_EXE;

std::string expectedBmp(const PatternSettings& s, int bits) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph));
    renderReference(s, px.data());
    const auto bytes = encodeBmp(px.data(), s.bmpw, s.bmph, bits);
    return std::string(bytes.begin(), bytes.end());
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
                             "--threads 0", "--set dir=/tmp", "--set flg_bit=1"}) {
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
