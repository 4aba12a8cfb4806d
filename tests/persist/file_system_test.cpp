#include <gtest/gtest.h>

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
