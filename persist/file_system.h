// The little the settings files and pallodex-render's image output need from
// the file system, with a POSIX and a Win32 implementation behind the same names.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace fsys {

std::string currentDirectory();
bool setCurrentDirectory(const std::string& path);

// Opens an existing file for binary reading; null (with errno set) when it
// cannot be opened or is a folder, as on Windows.
std::FILE* openForReading(const std::string& path);

// Creates a new, uniquely named file in the folder of target, opened for
// binary writing. Returns null when no such file can be created.
std::FILE* createTempBeside(const std::string& target, std::string* tempPath);
// Puts source in place of target, replacing an existing target.
bool replaceFile(const std::string& source, const std::string& target);
bool removeFile(const std::string& path);

// Writes target through a temporary file beside it: the writer fills the
// stream; only if it reports success and every write and the close succeed
// does the new file replace target. Otherwise target is left as it was and
// the temporary file is removed. errorText, if given, receives the reason.
bool writeFileReplacing(const std::string& target, const std::function<bool(std::FILE*)>& writer,
                        std::string* errorText = nullptr);

}  // namespace fsys
