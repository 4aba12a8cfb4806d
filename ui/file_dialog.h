// The common set-up of the program's file dialogs.
#pragma once

#include <windows.h>
#include <commdlg.h>

// An OPENFILENAMEA owned by owner, starting in the current directory (kept in
// initialDir, which lives as long as the dialog), remembering the chosen name
// in fileName (MAX_PATH characters).
struct FileDialog {
    OPENFILENAMEA ofn;
    char initialDir[MAX_PATH];
};
void prepareFileDialog(FileDialog& d, HWND owner, const char* filter, char* fileName, const char* defaultExtension);
