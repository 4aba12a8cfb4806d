// The wallpapers put on the desktop, each kept as an info file in one folder
// and named by the local date and time it was set: 20261209-083000.txt, and
// 20261209-083000-2.txt, -3 ... for more within the same second. Only files
// so named are the history's; anything else in the folder is left alone.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "pattern_settings.h"

namespace wallpaper_history {

// The newest this many are kept; older ones are removed as new ones come.
constexpr std::size_t kKept = 200;
// The newest this many are offered to be loaded again.
constexpr std::size_t kListed = 10;

struct Entry {
    std::string path;   // the info file
    std::string label;  // "2026/12/09 08:30:00", "2026/12/09 08:30:00 (2)"
};

// Writes s as a new entry of folder (made if missing; its parent must exist)
// named by `when`, never over an existing one, then removes the oldest
// beyond kKept. False when nothing could be written.
bool record(const std::string& folder, const PatternSettings& s, const std::tm& when);

// The newest `count` entries of folder, newest first.
std::vector<Entry> newest(const std::string& folder, std::size_t count = kListed);

// The local date and time now.
std::tm localNow();

}  // namespace wallpaper_history
