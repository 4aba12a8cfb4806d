#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "file_system.h"

namespace fsys {

std::string currentDirectory() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

bool setCurrentDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

std::FILE* openForReading(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    // POSIX opens a folder for reading; Windows refuses, and so do we.
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

std::FILE* createTempBeside(const std::string& target, std::string* tempPath) {
    std::string pattern = target + ".XXXXXX";
    std::string buf = pattern;
    int fd = mkstemp(&buf[0]);
    if (fd < 0) return nullptr;
    // mkstemp creates 0600; a finished file gets the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        int err = errno;
        close(fd);
        unlink(buf.c_str());
        errno = err;
        return nullptr;
    }
    *tempPath = buf;
    return f;
}

bool replaceFile(const std::string& source, const std::string& target) {
    return std::rename(source.c_str(), target.c_str()) == 0;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

}  // namespace fsys
