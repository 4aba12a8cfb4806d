// The little the settings files and pallodex-render's image output need from
// the file system, with a POSIX and a Win32 implementation behind the same names.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace fsys {

std::string currentDirectory();
// The folder a file path names its file in ("." for a bare name), as this
// platform's paths write it.
std::string folderOf(const std::string& path);
bool setCurrentDirectory(const std::string& path);

// Opens an existing regular file for binary reading. Null when it cannot be
// opened or is anything else (a folder, a FIFO, a device): such a thing is
// never a settings file, and reading a FIFO or a device could block or never
// end. errorText, if given, receives the reason.
std::FILE* openForReading(const std::string& path, std::string* errorText = nullptr);

enum class WriteResult {
    Written,   // target holds what the writer wrote
    ReadOnly,  // target is an existing read-only file and was left untouched
    Exists,    // writeNewFile only: something is at target already; nothing written
    // target is as it was, unless it is a device or FIFO that took part of
    // the data, or a rewrite in place failed halfway (the reason says so)
    Failed,
};

// Writes target so that a failure never leaves half a file: the writer fills
// a temporary file in the target's folder, and only if it reports success and
// every write and the close succeed does that file take the target's place.
// Otherwise target stays as it was and the temporary file is removed.
//
// An existing target keeps what makes it the user's file. Both platforms: a
// read-only file is left alone (ReadOnly). POSIX: a link is followed and the
// file it points to is replaced; a regular file keeps its owner and
// permission bits; a file with several hard links is rewritten in place so
// that every name still shows the new contents; a target that is no regular
// file (a FIFO, a terminal, /dev/null) is written directly, as a shell
// redirection does. Win32: the file keeps its attributes, access rights and
// creation time (ReplaceFileA); hard links and links are not followed.
// errorText, if given, receives the reason for Failed.
WriteResult writeFile(const std::string& target, const std::function<bool(std::FILE*)>& writer,
                      std::string* errorText = nullptr);

// As writeFile, but for a name that must be new: the complete file appears
// at target only if nothing is there, checked and taken in one step, so
// that two writers racing for one name never lose a file (Exists for the
// later one).
WriteResult writeNewFile(const std::string& target, const std::function<bool(std::FILE*)>& writer,
                         std::string* errorText = nullptr);

// folder and name joined by this platform's separator.
std::string joinPath(const std::string& folder, const std::string& name);
// The names in folder ("." and ".." left out), in no particular order;
// empty when it cannot be read.
std::vector<std::string> listFolder(const std::string& folder);
// Makes folder, whose parent must exist; true when it is a folder afterwards.
bool makeFolder(const std::string& folder);
bool removeFile(const std::string& path);

// From now on, SIGINT, SIGTERM and SIGHUP remove the temporary file of a
// writeFile in progress and end the process with exit code
// 128 + the signal number, as a shell reports a process it interrupted.
// Does nothing on Win32.
void removeTemporaryFileOnInterrupt();

}  // namespace fsys
