#include <cerrno>
#include <cstring>

#include "file_system.h"

namespace fsys {

bool writeFileReplacing(const std::string& target, const std::function<bool(std::FILE*)>& writer,
                        std::string* errorText) {
    auto fail = [&](const char* what, int err) {
        if (errorText) *errorText = std::string(what) + (err ? std::string(": ") + std::strerror(err) : "");
        return false;
    };
    std::string temp;
    errno = 0;
    std::FILE* f = createTempBeside(target, &temp);
    if (!f) return fail("cannot create a file in that folder", errno);
    errno = 0;
    bool ok = writer(f);
    int err = errno;
    ok = ok && std::fflush(f) == 0 && !std::ferror(f);
    if (!ok && !err) err = errno;
    if (std::fclose(f) != 0) {
        if (ok) err = errno;
        ok = false;
    }
    if (!ok) {
        removeFile(temp);
        return fail("write failed", err);
    }
    errno = 0;
    if (!replaceFile(temp, target)) {
        err = errno;
        removeFile(temp);
        return fail("cannot replace the file", err);
    }
    return true;
}

}  // namespace fsys
