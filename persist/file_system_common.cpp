#include <cerrno>

#include "file_system.h"
#include "file_system_internal.h"

namespace fsys {

bool runWriter(std::FILE* f, const Writer& writer, int* err) {
    errno = 0;
    bool ok = writer(f);
    int e = errno;
    ok = ok && std::fflush(f) == 0 && !std::ferror(f);
    if (!ok && !e) e = errno;
    if (std::fclose(f) != 0) {
        if (ok) e = errno;
        ok = false;
    }
    *err = ok ? 0 : e;
    return ok;
}

}  // namespace fsys
