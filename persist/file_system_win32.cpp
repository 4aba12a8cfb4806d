#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "file_system.h"

namespace fsys {

std::string currentDirectory() {
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buf);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

bool setCurrentDirectory(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != 0; }

std::FILE* openForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::FILE* createTempBeside(const std::string& target, std::string* tempPath) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".%lu-%u.tmp", GetCurrentProcessId(),
                      static_cast<unsigned>(GetTickCount() + attempt));
        std::string name = target + suffix;
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return nullptr;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            DeleteFileA(name.c_str());
            return nullptr;
        }
        std::FILE* f = _fdopen(fd, "wb");
        if (!f) {
            _close(fd);
            DeleteFileA(name.c_str());
            return nullptr;
        }
        *tempPath = name;
        return f;
    }
    return nullptr;
}

bool replaceFile(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

}  // namespace fsys
