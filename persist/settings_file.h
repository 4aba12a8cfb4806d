// Settings files: lines of key=value holding a PatternSettings, used for the
// program's own pallodex.ini (which also carries the current directory, the
// tile flag and the bitmap format choice) and for the info files the user
// saves and loads.
//
// Line ends: files are written with CR LF, in binary mode, so that they are
// byte for byte the same whichever platform wrote them and match what the
// Windows program has always produced. The reader accepts CR LF and bare LF:
// a CR directly before an LF is dropped, as a Windows text-mode read does; a
// lone CR stays part of the line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "pattern_settings.h"

// The three extra values only the program's own settings file carries.
struct OwnFileExtras {
    std::int8_t* tileView;            // flg_array
    std::int32_t* bitmapFilterIndex;  // flg_bit
};

// The longest piece of a line taken in one read; a longer line is read as
// several pieces, each treated as a line of its own.
constexpr std::size_t kSettingsPieceLength = 259;

// extras == nullptr: an info file (dir/flg_array/flg_bit lines are ignored on load and not written on save).
// With extras, loadSettingsFile sets the current directory from a dir line (through fsys::setCurrentDirectory) and saveSettingsFile writes fsys::currentDirectory().
// Both pointers of extras must then be valid.
void loadSettingsFile(PatternSettings& s, const char* path, const OwnFileExtras* extras);
bool saveSettingsFile(const PatternSettings& s, const char* path, const OwnFileExtras* extras); // false when nothing was written; the old file is then intact
// Applies one line (without its line end) exactly as loadSettingsFile does for one line; returns whether it matched a key. Used by pallodex-render for --set.
bool applySettingsLine(PatternSettings& s, const char* line, const OwnFileExtras* extras);

// As loadSettingsFile, but tells the caller what happened: false when the file cannot be
// opened (nothing changed) or a read error stopped it early (the lines read
// so far are applied and the result validated). errorText gets the reason.
bool loadChecked(PatternSettings& s, const char* path, const OwnFileExtras* extras, std::string* errorText);

// Reads settings lines from an open stream into s, without setDefaults and
// without validate. Returns false when the stream reported a read error.
bool readSettings(PatternSettings& s, std::FILE* in, const OwnFileExtras* extras);

// The exact bytes saveSettingsFile writes (39 lines with extras, 36 without).
std::string settingsText(const PatternSettings& s, const OwnFileExtras* extras);
