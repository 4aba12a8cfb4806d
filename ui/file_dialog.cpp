#include "file_dialog.h"

#include <string>

#include "file_system.h"

// The sizes a 32-bit program hands to Windows in the cbSize-style fields.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88, "OPENFILENAMEA with the Windows 2000 fields");

void prepareFileDialog(FileDialog& d, HWND owner, const char* filter, char* fileName, const char* defaultExtension) {
    const std::string dir = fsys::currentDirectory();
    d.initialDir[0] = '\0';
    if (dir.size() < sizeof d.initialDir) dir.copy(d.initialDir, dir.size()), d.initialDir[dir.size()] = '\0';
    d.ofn = OPENFILENAMEA{};
    d.ofn.lStructSize = sizeof d.ofn;
    d.ofn.hwndOwner = owner;
    d.ofn.lpstrFilter = filter;
    d.ofn.lpstrFile = fileName;
    d.ofn.nMaxFile = MAX_PATH;
    d.ofn.lpstrInitialDir = d.initialDir[0] ? d.initialDir : nullptr;
    d.ofn.lpstrDefExt = defaultExtension;
}

bool chooseSettingsFile(HWND owner, bool forSaving, char* fileName) {
    // "*.txt" with its dot: a bare "*txt" would also list names like
    // "notatxt" that merely end in those letters.
    static const char kFilter[] = "テキストファイル\0*.txt;*.ini\0全てのファイル\0*.*\0";
    FileDialog d;
    prepareFileDialog(d, owner, kFilter, fileName, "ini");
    if (forSaving) {
        d.ofn.Flags = OFN_OVERWRITEPROMPT;
        return GetSaveFileNameA(&d.ofn) != 0;
    }
    // A settings file is only ever read: the read-only box would mean nothing.
    d.ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    return GetOpenFileNameA(&d.ofn) != 0;
}
