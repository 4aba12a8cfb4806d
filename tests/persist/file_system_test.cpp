#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "file_system.h"
#include "test_util.h"

TEST(WriteFile, FailedWriterKeepsTheOldFileAndRemovesTheTemporary) {
    const std::string dir = testutil::scratchDir(), target = dir + "/settings.ini";
    std::system(("printf 'precious' > '" + target + "'").c_str());
    std::string error;
    EXPECT_EQ(fsys::writeFile(
                  target,
                  [](std::FILE* f) {
                      std::fputs("half a file", f);
                      return false;
                  },
                  &error),
              fsys::WriteResult::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testutil::readFile(target), "precious");
    EXPECT_EQ(testutil::listDir(dir).size(), 1u);
}

TEST(WriteFile, SuccessReplacesAndMissingFolderFails) {
    const std::string dir = testutil::scratchDir(), target = dir + "/a.txt";
    std::system(("printf 'old old old old' > '" + target + "'").c_str());
    EXPECT_EQ(fsys::writeFile(target, [](std::FILE* f) { return std::fputs("new", f) >= 0; }),
              fsys::WriteResult::Written);
    EXPECT_EQ(testutil::readFile(target), "new");
    EXPECT_EQ(testutil::listDir(dir).size(), 1u);

    std::string error;
    EXPECT_EQ(fsys::writeFile(dir + "/no/such/dir/a.txt", [](std::FILE*) { return true; }, &error),
              fsys::WriteResult::Failed);
    EXPECT_FALSE(error.empty());
}

TEST(WriteFile, StreamErrorsAreNotReportedAsSuccess) {
    // A stream that reports an error after the writer claimed success (as a
    // full disk does on flush) must not replace the target.
    const std::string dir = testutil::scratchDir(), target = dir + "/b.txt";
    std::system(("printf 'keep me' > '" + target + "'").c_str());
    EXPECT_EQ(fsys::writeFile(target,
                              [](std::FILE* f) {
                                  std::fgetc(f);  // reading a write-only stream sets its error flag
                                  return true;
                              }),
              fsys::WriteResult::Failed);
    EXPECT_EQ(testutil::readFile(target), "keep me");
    EXPECT_EQ(testutil::listDir(dir).size(), 1u);
}

TEST(CurrentDirectory, RoundTrips) {
    const std::string start = fsys::currentDirectory();
    const std::string dir = testutil::scratchDir();
    ASSERT_TRUE(fsys::setCurrentDirectory(dir));
    EXPECT_EQ(fsys::currentDirectory(), dir);
    EXPECT_FALSE(fsys::setCurrentDirectory(dir + "/does-not-exist"));
    EXPECT_EQ(fsys::currentDirectory(), dir);
    ASSERT_TRUE(fsys::setCurrentDirectory(start));
}

// What writeFile does with links, modes, hard links, devices, FIFOs and long
// names is tested through pallodex-render, its one POSIX user
// (tests/tools/render_cli_test.cpp); here only what a command cannot reach.

TEST(WriteFile, HardLinkedFileSurvivesAFullDisk) {
    // Rewritten in place, the file must still not lose its old contents when
    // the new ones do not fit.
    const std::string dir = testutil::scratchDir();
    ASSERT_EQ(testutil::run("printf old > a && ln a b", dir).exitCode, 0);
    std::string error;
    const fsys::WriteResult result = testutil::withFullDiskAfter(100, [&] {
        return fsys::writeFile(
            dir + "/a", [](std::FILE* f) { return std::fputs(std::string(1000, 'z').c_str(), f) >= 0; }, &error);
    });
    EXPECT_EQ(result, fsys::WriteResult::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testutil::readFile(dir + "/a"), "old");
    EXPECT_EQ(testutil::readFile(dir + "/b"), "old");
}

TEST(WriteFile, InterruptRemovesTheTemporaryFile) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string dir = testutil::scratchDir();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Whatever the test runner ignores, the child takes the default.
            std::signal(sig, SIG_DFL);
            fsys::removeTemporaryFileOnInterrupt();
            fsys::writeFile(dir + "/out.bmp", [sig](std::FILE* f) {
                std::fputs("half a picture", f);
                std::fflush(f);
                raise(sig);
                return true;
            });
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << sig;
        EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
        EXPECT_TRUE(testutil::listDir(dir).empty()) << sig;
    }
}
