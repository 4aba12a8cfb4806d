// What the POSIX and Win32 file-system seams share.
#pragma once

#include <cstdio>
#include <functional>

namespace fsys {

using Writer = std::function<bool(std::FILE*)>;

// Lets writer fill f, then flushes and closes f. True only if the writer
// reported success and every write, the flush and the close succeeded; err
// then receives the errno of the first failure (0 when none was set).
bool runWriter(std::FILE* f, const Writer& writer, int* err);

}  // namespace fsys
