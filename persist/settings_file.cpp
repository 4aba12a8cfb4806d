#include "settings_file.h"

#include <cerrno>
#include <cstring>

#include "file_system.h"
#include "int32_math.h"

namespace {

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

// lineComplete is false for a piece cut at the buffer length while its line
// goes on.
bool applyPiece(PatternSettings& s, const char* line, const OwnFileExtras* extras, bool lineComplete) {
    std::int32_t v;
    for (const ParamKey& k : kParamKeys) {
        if (scanKey(line, k.name, &v)) {
            setParam(s, k, v);
            return true;
        }
    }
    if (!extras) return false;
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
        fsys::setCurrentDirectory(std::string(p, n));  // a folder that is gone is simply not restored
        return true;
    }
    if (scanKey(line, "flg_array", &v)) {
        *extras->tileView = lowByte(v);
        return true;
    }
    if (scanKey(line, "flg_bit", &v)) {
        *extras->bitmapFilterIndex = v;
        return true;
    }
    return false;
}

// Delivers a file's characters as a Windows text-mode read does (CR LF
// becomes LF, a lone CR stays) and cuts them into the pieces a 260-byte line
// buffer takes: at most 259 characters, ending after an LF or earlier at the
// end of the file.
class PieceReader {
public:
    explicit PieceReader(std::FILE* f) : f_(f) { look_ = next(); }

    // False at the end of the file or on a read error.
    bool read(std::string* piece, bool* lineComplete) {
        piece->clear();
        while (piece->size() < kSettingsPieceLength && look_ != EOF) {
            const int c = look_;
            look_ = next();
            piece->push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        if (std::ferror(f_)) return false;  // the piece may be incomplete
        if (piece->empty()) return false;
        *lineComplete = piece->back() == '\n' || look_ == EOF || look_ == '\n';
        return true;
    }

private:
    static constexpr int kNone = -2;

    int raw() {
        if (pending_ != kNone) {
            const int c = pending_;
            pending_ = kNone;
            return c;
        }
        return std::getc(f_);
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
    return line && applyPiece(s, line, extras, true);
}

bool readSettings(PatternSettings& s, std::FILE* in, const OwnFileExtras* extras) {
    PieceReader reader(in);
    std::string piece;
    bool complete = true;
    // c_str(): a NUL byte ends the line's text, as it ends a C string.
    while (reader.read(&piece, &complete)) applyPiece(s, piece.c_str(), extras, complete);
    return !std::ferror(in);
}

bool loadChecked(PatternSettings& s, const char* path, const OwnFileExtras* extras, std::string* errorText) {
    if (!path) return false;
    errno = 0;
    std::FILE* f = fsys::openForReading(path);
    if (!f) {
        if (errorText) *errorText = errno ? std::strerror(errno) : "cannot open the file";
        return false;
    }
    // Only a file that could be opened replaces the values: keys it lacks
    // take their defaults, not the values held before.
    s.setDefaults();
    errno = 0;
    const bool ok = readSettings(s, f, extras);
    const int err = errno;
    std::fclose(f);
    s.validate();
    if (!ok && errorText) *errorText = err ? std::strerror(err) : "read error";
    return ok;
}

void loadSettingsFile(PatternSettings& s, const char* path, const OwnFileExtras* extras) {
    loadChecked(s, path, extras, nullptr);
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
    return text;
}

bool saveSettingsFile(const PatternSettings& s, const char* path, const OwnFileExtras* extras) {
    if (!path || !*path) return false;
    const std::string text = settingsText(s, extras);
    return fsys::writeFileReplacing(
        path, [&](std::FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); });
}
