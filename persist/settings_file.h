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
#include <vector>

#include "pattern_settings.h"

// The main window's place as the own settings file keeps it: the restored
// (not maximised) rectangle in workspace coordinates, and whether the window
// was maximised. Lines win_x, win_y, win_w, win_h and win_max, after every
// other line, so that the readers of older files (which skip keys they do not
// know) are not disturbed; known only when all four of the rectangle's lines
// were read.
struct WindowPlace {
    bool known = false;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    std::int8_t maximised = 0;
};

// The three extra values only the program's own settings file carries, and
// the window's place when window is given.
struct OwnFileExtras {
    std::int8_t* tileView;            // flg_array
    std::int32_t* bitmapFilterIndex;  // flg_bit
    // The folders of the dir lines a load read, in file order, appended
    // here; null drops them. Moving to them is the caller's choice: each
    // in turn, as the program does, a relative one then leads on from the
    // one before.
    std::vector<std::string>* dirs = nullptr;
    WindowPlace* window = nullptr;    // win_*; null: neither read nor written
};

// extras == nullptr: an info file (dir/flg_array/flg_bit lines are ignored on
// load and not written on save). With extras, the program's own file: a load
// sets the flags from their lines and hands over the dir lines' folders, and a
// save writes fsys::currentDirectory() and the flags. Both flag pointers of
// extras must then be valid.

enum class LoadResult {
    // At least one line set a value: the settings are the file's, keys it
    // lacks at their defaults, repaired by validate; the extras as above.
    Loaded,
    // The file was read to its end, but no line set a value (binary
    // garbage, a picture chosen by mistake): nothing changed.
    NoSettings,
    // The file holds more than the maxBytes given: nothing changed.
    TooLarge,
    // The file could not be opened, is no regular file, or a read error
    // stopped it: nothing changed.
    Failed,
};

// No limit on the size of what is read.
constexpr std::uint64_t kNoSizeLimit = ~std::uint64_t{0};

// Loads a settings file into s (and extras). Nothing at all changes unless
// the result is Loaded. errorText, if given, receives the reason for Failed.
LoadResult loadSettingsFile(PatternSettings& s, const char* path, const OwnFileExtras* extras,
                            std::string* errorText = nullptr, std::uint64_t maxBytes = kNoSizeLimit);
// The same for an open stream, read to its end (or to maxBytes + 1 bytes).
LoadResult loadSettingsStream(PatternSettings& s, std::FILE* in, const OwnFileExtras* extras,
                              std::string* errorText = nullptr, std::uint64_t maxBytes = kNoSizeLimit);

enum class SaveResult {
    Written,
    // The file exists and is read-only (the user pinned it): left untouched.
    KeptReadOnly,
    // Nothing was written; an old file at path is intact.
    Failed,
};

// Saves through a temporary file that replaces path only when complete (see
// fsys::writeFile). errorText, if given, receives the reason for Failed.
SaveResult saveSettingsFile(const PatternSettings& s, const char* path, const OwnFileExtras* extras,
                            std::string* errorText = nullptr);

// Applies one line (without its line end) exactly as a load does for one
// line, with no validate; returns whether the line set a value. Used by
// pallodex-render for --set.
bool applySettingsLine(PatternSettings& s, const char* line, const OwnFileExtras* extras);

// The exact bytes saveSettingsFile writes (39 lines with extras, 36 without,
// 5 more for a known window place).
std::string settingsText(const PatternSettings& s, const OwnFileExtras* extras);
