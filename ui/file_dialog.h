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

// The dialogs of the settings files the user saves and opens (info files):
// fileName (MAX_PATH characters) holds the name offered and receives the one
// chosen. False when cancelled. The dialogs may change the current folder;
// the own settings file is still written to the start folder, as the editor
// returns there first.
bool chooseSettingsFile(HWND owner, bool forSaving, char* fileName);
