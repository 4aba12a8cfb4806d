// Small helpers shared by the native tests: a scratch folder per test, running
// a command with its output captured, and decoding an image with ImageMagick.
#pragma once

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testutil {

inline std::string scratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string dir = std::string(PALLODEX_TEST_TMP) + "/" + info->test_suite_name() + "." + info->name();
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    return dir;
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The numbers res/resource.h defines, by name (the dialogs' control ids).
inline std::map<std::string, int> resourceNumbers(const std::string& sourceDir) {
    std::map<std::string, int> numbers;
    std::ifstream header(sourceDir + "/res/resource.h");
    for (std::string line; std::getline(header, line);) {
        std::istringstream in(line);
        std::string define, name;
        int value;
        if (in >> define >> name >> value && define == "#define") numbers[name] = value;
    }
    return numbers;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The names in a folder, hidden ones included (a leftover temporary file may
// well be hidden), without "." and "..", sorted.
inline std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Runs a shell command line in workDir; the standard output and error of the
// whole line (pipes, redirections and background jobs of its own included)
// are captured separately.
inline RunResult run(const std::string& commandLine, const std::string& workDir) {
    RunResult r;
    const std::string outFile = workDir + "/.stdout", errFile = workDir + "/.stderr";
    const std::string full =
        "cd '" + workDir + "' && { " + commandLine + "\n} >'" + outFile + "' 2>'" + errFile + "'";
    int status = std::system(full.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    std::remove(outFile.c_str());
    std::remove(errFile.c_str());
    return r;
}

// Runs f with writes past `bytes` failing as they do on a full disk (a file
// size limit, with SIGXFSZ ignored so the write reports EFBIG instead of
// ending the test), and returns what f returns.
template <class F>
auto withFullDiskAfter(rlim_t bytes, const F& f) {
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto result = f();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return result;
}

inline std::size_t countLines(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// Decodes an image file with ImageMagick into 0x00BBGGRR pixels, top row first.
inline std::vector<std::uint32_t> decodeWithImageMagick(const std::string& path, int* width, int* height) {
    const std::string dir = path + ".decoded";
    std::system(("mkdir -p '" + dir + "'").c_str());
    RunResult size = run("identify -format '%w %h' '" + path + "'", dir);
    if (size.exitCode != 0 || std::sscanf(size.out.c_str(), "%d %d", width, height) != 2) return {};
    RunResult conv = run("convert '" + path + "' -depth 8 rgb:pixels.rgb", dir);
    if (conv.exitCode != 0) return {};
    const std::string raw = readFile(dir + "/pixels.rgb");
    std::vector<std::uint32_t> px(raw.size() / 3);
    for (std::size_t i = 0; i < px.size(); ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(raw.data()) + 3 * i;
        px[i] = p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    return px;
}

}  // namespace testutil
