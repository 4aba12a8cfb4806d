#include "settings_file.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "file_system.h"
#include "int32_math.h"

namespace {

// The longest piece of a line taken in one read; a longer line is read as
// several pieces, each treated as a line of its own.
constexpr std::size_t kPieceLength = 259;

// The white space a formatted scan skips before a number (the C locale's).
bool isScanSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The tile flag is a signed byte narrowed like the byte parameters; setParam
// holds that rule, so it narrows the flag too, through a byte field of a
// scratch set.
std::int8_t lowByte(std::int32_t v) {
    static const ParamKey* const byteKey = findParamKey("mode_r");
    PatternSettings scratch;
    setParam(scratch, *byteKey, v);
    return scratch.*byteKey->i8;
}

// Matches "key=" at the very start of line; returns the text after it.
const char* afterKey(const char* line, const char* key) {
    const std::size_t n = std::strlen(key);
    if (std::strncmp(line, key, n) != 0 || line[n] != '=') return nullptr;
    return line + n + 1;
}

// The number of a "key=%d" scan: optional white space, an optional sign, then
// at least one decimal digit; whatever follows the digits is ignored. Digits
// beyond 32 bits wrap around modulo 2^32 instead of overflowing, so that any
// file has one defined meaning. Without a digit nothing is read: a key and
// '=' at the end of a line (or of a piece cut at the buffer length) must not
// assign anything.
bool scanInt(const char* p, std::int32_t* out) {
    while (isScanSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    std::uint32_t u = 0;
    for (; *p >= '0' && *p <= '9'; ++p) u = u * 10u + static_cast<std::uint32_t>(*p - '0');
    *out = negative ? i32::neg(i32::fromBits(u)) : i32::fromBits(u);
    return true;
}

bool scanKey(const char* line, const char* key, std::int32_t* out) {
    const char* p = afterKey(line, key);
    return p && scanInt(p, out);
}

// Where the values of lines go: straight into the caller's variables (one
// --set line), or into copies that become the caller's only once the whole
// file is known to be a settings file.
struct Target {
    PatternSettings* s;
    std::int8_t* tileView = nullptr;       // null: an info file, no own-file lines
    std::int32_t* filterIndex = nullptr;
    std::vector<std::string>* dirs = nullptr;  // null: dir lines are dropped
    WindowPlace* window = nullptr;
    unsigned* windowLines = nullptr;  // which of the rectangle's four lines were read
};

// The window lines: their keys and where each value goes.
struct WindowKey {
    const char* name;
    std::int32_t WindowPlace::*field;
};
const WindowKey kWindowKeys[] = {
    {"win_x", &WindowPlace::x}, {"win_y", &WindowPlace::y}, {"win_w", &WindowPlace::width}, {"win_h", &WindowPlace::height}};

bool applyWindowLine(const Target& t, const char* line) {
    std::int32_t v;
    for (unsigned i = 0; i < 4; ++i) {
        if (!scanKey(line, kWindowKeys[i].name, &v)) continue;
        t.window->*kWindowKeys[i].field = v;
        if (t.windowLines) *t.windowLines |= 1u << i;
        return true;
    }
    if (!scanKey(line, "win_max", &v)) return false;
    t.window->maximised = v != 0;
    return true;
}

// lineComplete is false for a piece cut at the buffer length while its line
// goes on. Returns whether the piece set a value.
bool applyPiece(const Target& t, const char* line, bool lineComplete) {
    std::int32_t v;
    for (const ParamKey& k : kParamKeys) {
        if (scanKey(line, k.name, &v)) {
            setParam(*t.s, k, v);
            return true;
        }
    }
    if (!t.tileView) return false;
    if (const char* p = afterKey(line, "dir")) {
        // The folder is the rest of the line, spaces included, so that paths
        // like "C:\Documents and Settings\me" come back whole. Leading white
        // space is skipped as the old "%s" scan did. A path cut at the buffer
        // length would name some other folder (perhaps a parent of the right
        // one), so it is not used at all.
        while (isScanSpace(*p)) ++p;
        std::size_t n = std::strlen(p);
        while (n > 0 && (p[n - 1] == '\n' || p[n - 1] == '\r')) --n;
        if (n == 0 || !lineComplete) return false;
        if (t.dirs) t.dirs->emplace_back(p, n);
        return true;
    }
    if (scanKey(line, "flg_array", &v)) {
        *t.tileView = lowByte(v);
        return true;
    }
    if (scanKey(line, "flg_bit", &v)) {
        *t.filterIndex = v;
        return true;
    }
    return t.window && applyWindowLine(t, line);
}

// Delivers a file's characters as a Windows text-mode read does (CR LF
// becomes LF, a lone CR stays) and cuts them into the pieces a 260-byte line
// buffer takes: at most 259 characters, ending after an LF or earlier at the
// end of the file.
//
// At most maxBytes bytes are taken: a stream that goes on (a device that
// never ends, a huge file) stops at the first byte beyond, and tooLarge()
// then tells so.
class PieceReader {
public:
    PieceReader(std::FILE* f, std::uint64_t maxBytes) : f_(f), left_(maxBytes) { look_ = next(); }

    // False at the end of the file, on a read error or past the limit.
    bool read(std::string* piece, bool* lineComplete) {
        piece->clear();
        while (piece->size() < kPieceLength && look_ != EOF) {
            const int c = look_;
            look_ = next();
            piece->push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        if (std::ferror(f_) || tooLarge_) return false;  // the piece may be incomplete
        if (piece->empty()) return false;
        *lineComplete = piece->back() == '\n' || look_ == EOF || look_ == '\n';
        return true;
    }

    bool tooLarge() const { return tooLarge_; }

private:
    static constexpr int kNone = -2;

    int raw() {
        if (pending_ != kNone) {
            const int c = pending_;
            pending_ = kNone;
            return c;
        }
        if (tooLarge_) return EOF;
        const int c = std::getc(f_);
        if (c != EOF && left_-- == 0) {
            tooLarge_ = true;
            return EOF;
        }
        return c;
    }

    int next() {
        const int c = raw();
        if (c == '\r') {
            const int d = raw();
            if (d == '\n') return '\n';
            pending_ = d;
        }
        return c;
    }

    std::FILE* f_;
    std::uint64_t left_;
    bool tooLarge_ = false;
    int look_ = EOF;
    int pending_ = kNone;
};

void appendLine(std::string& text, const char* key, std::int32_t value) {
    text += key;
    text += '=';
    text += std::to_string(static_cast<long long>(value));
    text += "\r\n";
}

}  // namespace

bool applySettingsLine(PatternSettings& s, const char* line, const OwnFileExtras* extras) {
    if (!line) return false;
    Target t{&s};
    if (extras) t.tileView = extras->tileView, t.filterIndex = extras->bitmapFilterIndex, t.dirs = extras->dirs,
                 t.window = extras->window;
    return applyPiece(t, line, true);
}

LoadResult loadSettingsStream(PatternSettings& s, std::FILE* in, const OwnFileExtras* extras, std::string* errorText,
                              std::uint64_t maxBytes) {
    // Only a file that turns out to be a settings file replaces the values,
    // and then keys it lacks take their defaults, not the values held
    // before; so the lines go to copies first.
    PatternSettings read;
    std::int8_t tileView = extras ? *extras->tileView : 0;
    std::int32_t filterIndex = extras ? *extras->bitmapFilterIndex : 0;
    std::vector<std::string> dirs;
    WindowPlace window;
    unsigned windowLines = 0;
    Target t{&read};
    if (extras) t.tileView = &tileView, t.filterIndex = &filterIndex, t.dirs = &dirs;
    if (extras && extras->window) t.window = &window, t.windowLines = &windowLines;

    PieceReader reader(in, maxBytes);
    std::string piece;
    bool complete = true, any = false;
    errno = 0;
    // c_str(): a NUL byte ends the line's text, as it ends a C string.
    while (reader.read(&piece, &complete)) any = applyPiece(t, piece.c_str(), complete) || any;
    const int err = errno;
    auto fail = [&](const char* reason) {
        if (errorText) *errorText = reason;
        return LoadResult::Failed;
    };
    if (reader.tooLarge()) return LoadResult::TooLarge;
    if (std::ferror(in)) return fail(err ? std::strerror(err) : "read error");
    if (!any) return LoadResult::NoSettings;

    read.validate();
    s = read;
    if (extras) {
        *extras->tileView = tileView;
        *extras->bitmapFilterIndex = filterIndex;
        if (extras->dirs) extras->dirs->insert(extras->dirs->end(), dirs.begin(), dirs.end());
        if (extras->window) {
            window.known = windowLines == 0xF;
            *extras->window = window;
        }
    }
    return LoadResult::Loaded;
}

LoadResult loadSettingsFile(PatternSettings& s, const char* path, const OwnFileExtras* extras, std::string* errorText,
                            std::uint64_t maxBytes) {
    if (!path) {
        if (errorText) *errorText = std::strerror(ENOENT);
        return LoadResult::Failed;
    }
    std::FILE* f = fsys::openForReading(path, errorText);
    if (!f) return LoadResult::Failed;
    const LoadResult result = loadSettingsStream(s, f, extras, errorText, maxBytes);
    std::fclose(f);
    return result;
}

std::string settingsText(const PatternSettings& s, const OwnFileExtras* extras) {
    std::string text;
    text.reserve(600);
    if (extras) {
        std::string dir = fsys::currentDirectory();
        // A line break in a folder name (possible on POSIX only) would end
        // the line early and let the rest read as other keys.
        if (dir.find_first_of("\r\n") != std::string::npos) dir.clear();
        text += "dir=";
        text += dir;
        text += "\r\n";
        appendLine(text, "flg_array", *extras->tileView);
        appendLine(text, "flg_bit", *extras->bitmapFilterIndex);
    }
    for (const ParamKey& k : kParamKeys) appendLine(text, k.name, getParam(s, k));
    if (extras && extras->window && extras->window->known) {
        const WindowPlace& w = *extras->window;
        for (const WindowKey& k : kWindowKeys) appendLine(text, k.name, w.*k.field);
        appendLine(text, "win_max", w.maximised);
    }
    return text;
}

SaveResult saveSettingsFile(const PatternSettings& s, const char* path, const OwnFileExtras* extras,
                            std::string* errorText) {
    if (!path || !*path) {
        if (errorText) *errorText = std::strerror(ENOENT);
        return SaveResult::Failed;
    }
    const std::string text = settingsText(s, extras);
    switch (fsys::writeFile(
        path, [&](std::FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); },
        errorText)) {
    case fsys::WriteResult::Written:
        return SaveResult::Written;
    case fsys::WriteResult::ReadOnly:
        return SaveResult::KeptReadOnly;
    default:  // writeFile replaces: Exists never comes
        break;
    }
    return SaveResult::Failed;
}
