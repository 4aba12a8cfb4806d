#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file_system.h"
#include "file_system_internal.h"

namespace fsys {

std::string folderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/:");
    if (cut == std::string::npos) return ".";
    if (path[cut] == ':') return path.substr(0, cut + 1) + ".";  // "C:name" lives in C:'s current folder
    return cut == 0 || (cut == 2 && path[1] == ':') ? path.substr(0, cut + 1) : path.substr(0, cut);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    const char last = folder.empty() ? '\\' : folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

namespace {

std::string windowsError(DWORD code) { return "Windows error " + std::to_string(code); }

WriteResult fail(std::string* errorText, const std::string& reason) {
    if (errorText) *errorText = reason;
    return WriteResult::Failed;
}

// A new, uniquely named file in folder. The name is short, so that it fits
// wherever the target's own name fits.
std::FILE* createTemp(const std::string& folder, std::string* tempPath, DWORD* error) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "~pallodex-%lx-%x.tmp", GetCurrentProcessId(),
                      static_cast<unsigned>(GetTickCount() + attempt) & 0xFFFFu);
        const std::string path = joinPath(folder, name);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            *error = GetLastError();
            if (*error == ERROR_FILE_EXISTS) continue;
            return nullptr;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            DeleteFileA(path.c_str());
            *error = ERROR_TOO_MANY_OPEN_FILES;
            return nullptr;
        }
        std::FILE* f = _fdopen(fd, "wb");
        if (!f) {
            _close(fd);
            DeleteFileA(path.c_str());
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        *tempPath = path;
        return f;
    }
    return nullptr;
}

// A temporary file in folder, filled by the writer and closed; on any
// failure it is gone and errorText says why.
bool fillTemp(const std::string& folder, const Writer& writer, std::string* temp, std::string* errorText) {
    DWORD error = 0;
    std::FILE* f = createTemp(folder, temp, &error);
    if (!f) return fail(errorText, windowsError(error)), false;
    int err = 0;
    if (runWriter(f, writer, &err)) return true;
    DeleteFileA(temp->c_str());
    return fail(errorText, std::strerror(err ? err : EIO)), false;
}

}  // namespace

std::string currentDirectory() {
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buf);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

bool setCurrentDirectory(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != 0; }

std::FILE* openForReading(const std::string& path, std::string* errorText) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (errorText) *errorText = std::strerror(errno);
        return nullptr;
    }
    // A console, pipe or other device is no settings file, and reading one
    // might never end.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) != FILE_TYPE_DISK) {
        std::fclose(f);
        if (errorText) *errorText = "not a regular file";
        return nullptr;
    }
    return f;
}

WriteResult writeFile(const std::string& relativeTarget, const Writer& writer, std::string* errorText) {
    if (relativeTarget.empty()) return fail(errorText, std::strerror(ENOENT));
    // Wine's ReplaceFileA refuses a bare file name (ERROR_DIRECTORY); a full
    // path works there and on Windows.
    char full[MAX_PATH];
    const DWORD fullLength = GetFullPathNameA(relativeTarget.c_str(), MAX_PATH, full, nullptr);
    const std::string target = fullLength > 0 && fullLength < MAX_PATH ? std::string(full) : relativeTarget;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return fail(errorText, std::strerror(EISDIR));
    // Windows refuses to replace a read-only file anyway, Wine does not: the
    // user who set the attribute wants the file kept as it is.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return WriteResult::ReadOnly;

    std::string temp;
    if (!fillTemp(folderOf(target), writer, &temp, errorText)) return WriteResult::Failed;
    // ReplaceFileA carries the old file's access rights, creation time,
    // short name and attributes over to the new one, which MoveFileExA would
    // lose. It needs an existing file, and where it fails (a file system
    // without the support, or the old file already moved aside when the new
    // one could not be renamed) MoveFileExA still puts the new contents in
    // place. Wine's ReplaceFileA keeps no attributes, so the ones a user sets
    // (hidden, say) are put back by hand either way.
    const bool replaced =
        (exists && ReplaceFileA(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                nullptr)) ||
        MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (replaced) {
        const DWORD kept = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                         FILE_ATTRIBUTE_TEMPORARY);
        if (exists && kept) SetFileAttributesA(target.c_str(), kept);
        return WriteResult::Written;
    }
    const DWORD error = GetLastError();
    DeleteFileA(temp.c_str());
    return fail(errorText, windowsError(error));
}

WriteResult writeNewFile(const std::string& target, const Writer& writer, std::string* errorText) {
    if (target.empty()) return fail(errorText, std::strerror(ENOENT));
    std::string temp;
    if (!fillTemp(folderOf(target), writer, &temp, errorText)) return WriteResult::Failed;
    // Without MOVEFILE_REPLACE_EXISTING the move never takes the place of a
    // file that is already there.
    if (MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return WriteResult::Written;
    const DWORD error = GetLastError();
    DeleteFileA(temp.c_str());
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return WriteResult::Exists;
    return fail(errorText, windowsError(error));
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(joinPath(folder, "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

bool makeFolder(const std::string& folder) {
    if (CreateDirectoryA(folder.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

void removeTemporaryFileOnInterrupt() {}

}  // namespace fsys
