#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "file_system.h"
#include "test_util.h"

TEST(WriteFileReplacing, FailedWriterKeepsTheOldFileAndRemovesTheTemporary) {
    const std::string dir = testutil::scratchDir(), target = dir + "/settings.ini";
    std::system(("printf 'precious' > '" + target + "'").c_str());
    std::string error;
    EXPECT_FALSE(fsys::writeFileReplacing(
        target,
        [](std::FILE* f) {
            std::fputs("half a file", f);
            return false;
        },
        &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testutil::readFile(target), "precious");
    EXPECT_EQ(testutil::listDir(dir).size(), 1u);
}

TEST(WriteFileReplacing, SuccessReplacesAndMissingFolderFails) {
    const std::string dir = testutil::scratchDir(), target = dir + "/a.txt";
    std::system(("printf 'old old old old' > '" + target + "'").c_str());
    EXPECT_TRUE(fsys::writeFileReplacing(target, [](std::FILE* f) { return std::fputs("new", f) >= 0; }));
    EXPECT_EQ(testutil::readFile(target), "new");
    EXPECT_EQ(testutil::listDir(dir).size(), 1u);

    std::string error;
    EXPECT_FALSE(fsys::writeFileReplacing(dir + "/no/such/dir/a.txt", [](std::FILE*) { return true; }, &error));
    EXPECT_FALSE(error.empty());
}

TEST(WriteFileReplacing, StreamErrorsAreNotReportedAsSuccess) {
    // A stream that reports an error after the writer claimed success (as a
    // full disk does on flush) must not replace the target.
    const std::string dir = testutil::scratchDir(), target = dir + "/b.txt";
    std::system(("printf 'keep me' > '" + target + "'").c_str());
    EXPECT_FALSE(fsys::writeFileReplacing(target, [](std::FILE* f) {
        std::fgetc(f);  // reading a write-only stream sets its error flag
        return true;
    }));
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

namespace {

bool writeNew(std::FILE* f) { return std::fputs("NEW", f) >= 0; }

// Leftover temporary files anywhere below dir.
std::string leftovers(const std::string& dir) {
    return testutil::run("find . -name '.pallodex-*'", dir).out;
}

}  // namespace

TEST(WriteFile, ExistingTargetsKeepWhatMakesThemTheUsersFile) {
    struct Case {
        const char* setup;  // shell commands run in the scratch folder first
        const char* target;
        fsys::WriteResult result;
        const char* check;  // shell condition that must hold afterwards
    };
    using R = fsys::WriteResult;
    const Case cases[] = {
        {"", "new.txt", R::Written, "test \"$(cat new.txt)\" = NEW && test $(stat -c %a new.txt) = 644"},
        {"printf old > m.txt && chmod 640 m.txt", "m.txt", R::Written,
         "test \"$(cat m.txt)\" = NEW && test $(stat -c %a m.txt) = 640"},
        {"printf old > x.txt && chmod 755 x.txt", "x.txt", R::Written, "test $(stat -c %a x.txt) = 755"},
        // A link stays a link; the file it points to gets the contents.
        {"mkdir d && printf old > d/real.txt && ln -s d/real.txt link.txt", "link.txt", R::Written,
         "test -L link.txt && test \"$(cat d/real.txt)\" = NEW"},
        {"ln -s made.txt dangling.txt", "dangling.txt", R::Written,
         "test -L dangling.txt && test \"$(cat made.txt)\" = NEW"},
        // Hard links keep sharing one file.
        {"printf old > a.txt && ln a.txt b.txt", "a.txt", R::Written,
         "test \"$(cat b.txt)\" = NEW && test $(stat -c %i a.txt) = $(stat -c %i b.txt)"},
        // Read-only, directly or through a link: left alone.
        {"printf old > ro.txt && chmod 444 ro.txt", "ro.txt", R::ReadOnly,
         "test \"$(cat ro.txt)\" = old && test $(stat -c %a ro.txt) = 444"},
        {"printf old > ro2.txt && chmod 444 ro2.txt && ln -s ro2.txt rolink.txt", "rolink.txt", R::ReadOnly,
         "test -L rolink.txt && test \"$(cat ro2.txt)\" = old"},
        // A device behind a link is written, not replaced. The device is a
        // private copy of /dev/null: were the test ever to fail, it must not
        // take the machine's /dev/null with it.
        {"mknod dev c 1 3 && ln -s dev null.txt", "null.txt", R::Written, "test -L null.txt && test -c dev"},
        {"mkdir dir.txt", "dir.txt", R::Failed, "test -d dir.txt"},
        {"", "missing/x.txt", R::Failed, "test ! -e missing"},
    };
    const mode_t oldMask = umask(022);
    for (const Case& c : cases) {
        const std::string dir = testutil::scratchDir();
        if (testutil::run(c.setup[0] ? c.setup : "true", dir).exitCode != 0) {
            // Only mknod may fail, where the user may not make devices.
            EXPECT_EQ(std::strncmp(c.setup, "mknod", 5), 0) << c.setup;
            continue;
        }
        std::string error;
        EXPECT_EQ(fsys::writeFile(dir + "/" + c.target, writeNew, &error), c.result) << c.target << ": " << error;
        EXPECT_EQ(error.empty(), c.result != R::Failed) << c.target;
        const auto check = testutil::run(c.check, dir);
        EXPECT_EQ(check.exitCode, 0) << c.target << ": " << c.check << check.err;
        EXPECT_EQ(leftovers(dir), "") << c.target;
    }
    umask(oldMask);
}

TEST(WriteFile, FifoIsWrittenNotReplaced) {
    const std::string dir = testutil::scratchDir(), fifo = dir + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = testutil::readFile(fifo); });
    EXPECT_EQ(fsys::writeFile(fifo, writeNew), fsys::WriteResult::Written);
    reader.join();
    EXPECT_EQ(got, "NEW");
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(testutil::listDir(dir), std::vector<std::string>{"pipe"});
}

TEST(WriteFile, AnyNameTheFileSystemTakesWorks) {
    // The temporary name must fit wherever the target's name fits; a name
    // the file system refuses gets its own reason.
    for (std::size_t length : {1u, 249u, 250u, 254u, 255u, 256u}) {
        const std::string dir = testutil::scratchDir(), name = std::string(length, 'n');
        std::string error;
        const fsys::WriteResult result = fsys::writeFile(dir + "/" + name, writeNew, &error);
        if (length <= 255) {
            EXPECT_EQ(result, fsys::WriteResult::Written) << length << ": " << error;
            EXPECT_EQ(testutil::listDir(dir), std::vector<std::string>{name}) << length;
        } else {
            EXPECT_EQ(result, fsys::WriteResult::Failed) << length;
            EXPECT_EQ(error, std::strerror(ENAMETOOLONG));
            EXPECT_TRUE(testutil::listDir(dir).empty()) << length;
        }
    }
}

TEST(WriteFile, HardLinkedFileSurvivesAFullDisk) {
    // Rewritten in place, the file must still not lose its old contents when
    // the new ones do not fit.
    const std::string dir = testutil::scratchDir();
    ASSERT_EQ(testutil::run("printf old > a && ln a b", dir).exitCode, 0);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const fsys::WriteResult result =
        fsys::writeFile(dir + "/a", [](std::FILE* f) { return std::fputs(std::string(1000, 'z').c_str(), f) >= 0; },
                        &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
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
