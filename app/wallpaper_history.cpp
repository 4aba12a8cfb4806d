#include "wallpaper_history.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "file_system.h"
#include "settings_file.h"

namespace wallpaper_history {

namespace {

// A history name taken apart: the 14 digits of the time and the number of
// the entry within that second (1 for the first, which has no suffix).
// Sorting by both puts 083000-2 after 083000 and -10 after -9, which the
// names themselves would not.
struct Name {
    std::string file, digits;
    unsigned number = 1;
    bool operator<(const Name& o) const { return digits != o.digits ? digits < o.digits : number < o.number; }
};

bool allDigits(const std::string& s, std::size_t from, std::size_t count) {
    if (from + count > s.size()) return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// "YYYYMMDD-hhmmss[-N].txt" (N from 2, without leading zeros), the extension
// in any case, as Windows names are.
bool parse(const std::string& file, Name* out) {
    if (file.size() < 19 || !allDigits(file, 0, 8) || file[8] != '-' || !allDigits(file, 9, 6)) return false;
    std::string ext = file.substr(file.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext != ".txt") return false;
    const std::string suffix = file.substr(15, file.size() - 19);
    unsigned number = 1;
    if (!suffix.empty()) {
        if (suffix.size() < 2 || suffix.size() > 10 || suffix[0] != '-' || suffix[1] == '0' ||
            !allDigits(suffix, 1, suffix.size() - 1))
            return false;
        number = static_cast<unsigned>(std::stoul(suffix.substr(1)));
        if (number < 2) return false;
    }
    *out = Name{file, file.substr(0, 8) + file.substr(9, 6), number};
    return true;
}

std::vector<Name> entries(const std::string& folder) {
    std::vector<Name> names;
    for (const std::string& file : fsys::listFolder(folder)) {
        Name n;
        if (parse(file, &n)) names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string label(const Name& n) {
    const std::string& d = n.digits;
    std::string text = d.substr(0, 4) + "/" + d.substr(4, 2) + "/" + d.substr(6, 2) + " " + d.substr(8, 2) + ":" +
                       d.substr(10, 2) + ":" + d.substr(12, 2);
    if (n.number > 1) text += " (" + std::to_string(n.number) + ")";
    return text;
}

// A second with more wallpapers than this is no one's doing.
constexpr unsigned kMaxPerSecond = 100;

}  // namespace

bool record(const std::string& folder, const PatternSettings& s, const std::tm& when) {
    if (folder.empty() || !fsys::makeFolder(folder)) return false;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", when.tm_year + 1900, when.tm_mon + 1,
                  when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    const std::string text = settingsText(s, nullptr);
    const auto writer = [&](std::FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); };
    for (unsigned n = 1; n <= kMaxPerSecond; ++n) {
        const std::string name = std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : "") + ".txt";
        const fsys::WriteResult result = fsys::writeNewFile(fsys::joinPath(folder, name), writer);
        if (result == fsys::WriteResult::Exists) continue;
        if (result != fsys::WriteResult::Written) return false;
        const std::vector<Name> all = entries(folder);
        // The one just written is among the newest unless the clock went
        // back (the end of summer time): it stays then as well.
        for (std::size_t i = 0; i + kKept < all.size(); ++i)
            if (all[i].file != name) fsys::removeFile(fsys::joinPath(folder, all[i].file));
        return true;
    }
    return false;
}

std::vector<Entry> newest(const std::string& folder, std::size_t count) {
    std::vector<Entry> list;
    if (folder.empty()) return list;
    const std::vector<Name> all = entries(folder);
    for (auto it = all.rbegin(); it != all.rend() && list.size() < count; ++it)
        list.push_back(Entry{fsys::joinPath(folder, it->file), label(*it)});
    return list;
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

}  // namespace wallpaper_history
