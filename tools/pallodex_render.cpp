// pallodex-render: renders a parameter set to a BMP or PNG file from the command line.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "file_system.h"
#include "fresh_seed.h"
#include "generate.h"
#include "image_file.h"
#include "loop.h"
#include "loop_export.h"
#include "pattern_settings.h"
#include "render.h"
#include "settings_file.h"

namespace {

const char kUsage[] =
    "usage: pallodex-render [SETTINGS_FILE] [--set KEY=VALUE]... [-o OUT.bmp|OUT.png]\n"
    "                       [--format bmp|png] [--bits 24|8] [--tile COLSxROWS] [--threads N]\n"
    "                       [--random [SEED] | --mutate SEED] [--count N] [--print-settings]\n"
    "       pallodex-render [SETTINGS_FILE] [--set KEY=VALUE]... --animate KIND [--frames N]\n"
    "                       [--delay MS] [--tile COLSxROWS] [--threads N] -o LOOP.gif|LOOP.png\n"
    "Renders a wallpaper from the parameters of SETTINGS_FILE (an info file, '-' for standard\n"
    "input; default: the default parameters), changed by each --set, into a picture file\n"
    "(default pallodex.bmp; '-o -' writes to standard output). The format follows the output's\n"
    "extension (.png: PNG, anything else: BMP) unless --format says otherwise; --bits chooses\n"
    "24-bit or 8-bit BMP. KEY is a settings-file key, VALUE a decimal integer.\n"
    "--tile repeats the picture COLS times across and ROWS times down (each 1 to 64, at most\n"
    "16384 pixels each way), as the desktop shows it tiled.\n"
    "--random replaces every parameter but the size and smoothness with a random seamless set,\n"
    "as the program's Space does; --mutate changes one to four of them, as Shift+Space does.\n"
    "SEED (0 to 18446744073709551615) names the set: the same seed gives the same picture on\n"
    "every machine; --random without one takes a new one.\n"
    "--count N (1 to 10000) with either writes N pictures, seeds SEED, SEED+1, ..., named after\n"
    "the output with -0001, -0002, ... before the extension, each with its info file (.txt).\n"
    
    "--print-settings prints the resulting settings file instead.\n"
    "--animate writes a loop that plays for ever, seamless in space and time: KIND is\n"
    "scroll-x, scroll-y or scroll-xy (the pattern moves one whole repeat across, down or\n"
    "both), hue (the colours turn once round the wheel), or a scroll and the hue together\n"
    "(scroll-x+hue, scroll-y+hue, scroll-xy+hue). --frames N (2 to 600, default 60) and\n"
    "--delay MS (each frame's time, 20 to 10000 ms, default 40). The output's extension\n"
    "chooses an animated GIF (.gif; delays in steps of 10 ms) or an animated PNG (.png);\n"
    "--format gif|png overrides it. --frame K (0 to N-1) renders frame K alone as a still\n"
    "picture (or prints its settings with --print-settings).\n";

// A settings file holds 36 short lines; anything this large is something
// else, and a device that never ends must not be read forever.
constexpr std::uint64_t kMaxSettingsBytes = 1 << 20;

const char kStdio[] = "-";

constexpr int kMaxTileCount = 64;
constexpr int kMaxCount = 10000;
constexpr std::int64_t kMaxTiledSide = 16384;

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "pallodex-render: %s\n", message.c_str());
    std::exit(2);
}

[[noreturn]] void writeError(const std::string& message) {
    std::fprintf(stderr, "pallodex-render: %s\n", message.c_str());
    std::exit(1);
}

// A decimal integer that fits 32 bits: optional sign, then digits only.
bool parseInt32(const char* text, std::int32_t* out) {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!*p) return false;
    long long value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > 2147483648LL) return false;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return false;
    *out = static_cast<std::int32_t>(value);
    return true;
}

// "COLSxROWS", digits only on both sides, each 1..kMaxTileCount.
bool parseTileCount(const std::string& text, int* columns, int* rows) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    const std::string parts[2] = {text.substr(0, x), text.substr(x + 1)};
    int* outs[2] = {columns, rows};
    for (int k = 0; k < 2; ++k) {
        std::int32_t n;
        if (parts[k].empty() || !std::isdigit(static_cast<unsigned char>(parts[k][0])) ||
            !parseInt32(parts[k].c_str(), &n) || n < 1 || n > kMaxTileCount)
            return false;
        *outs[k] = n;
    }
    return true;
}

// What --random and --mutate make of the settings.
enum class Generate { None, Random, Mutate };

struct Options {
    PatternSettings settings;
    Generate generate = Generate::None;
    std::uint64_t seed = 0;
    bool seedGiven = false;
    int count = 0;  // --count; 0: one picture, named as -o says
    std::string settingsFile;           // empty: none; "-": standard input
    std::vector<std::string> setLines;  // applied after the settings file, in order
    ImageFormat format = ImageFormat::Bmp24;
    int threads = 0;
    int tileColumns = 1, tileRows = 1;  // --tile
    std::string output = "pallodex.bmp";  // "-": standard output
    bool printSettings = false;
    std::optional<LoopChoice> loop;   // --animate
    LoopFormat loopFormat = LoopFormat::Apng;
    std::optional<std::int32_t> frame;  // --frame: that frame's still picture
};

// --format and --bits as given: the format is settled once the output's
// name is known.
struct FormatRequest {
    std::string name;  // "bmp", "png", or empty: from the output's extension
    int bits = 0;      // 24, 8, or 0: not given
};

// A --set value, refused unless it names a key and a 32-bit value.
std::string checkedSetLine(const std::string& kv) {
    const auto eq = kv.find('=');
    if (eq == std::string::npos) usageError("--set takes KEY=VALUE, got '" + kv + "'");
    const std::string key = kv.substr(0, eq), value = kv.substr(eq + 1);
    if (!findParamKey(key.c_str())) usageError("unknown key '" + key + "' in --set " + kv);
    std::int32_t v;
    if (!parseInt32(value.c_str(), &v)) usageError("value '" + value + "' of " + key + " is not a 32-bit decimal integer");
    return kv;
}

int bitsValue(const std::string& v) {
    if (v == "24") return 24;
    if (v == "8") return 8;
    usageError("--bits must be 24 or 8, not '" + v + "'");
}

// A seed: decimal digits only, within 64 bits.
bool parseSeed(const std::string& text, std::uint64_t* out) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    *out = value;
    return true;
}

std::uint64_t seedValue(const std::string& option, const std::string& v) {
    std::uint64_t seed;
    if (!parseSeed(v, &seed))
        usageError(option + " takes a seed from 0 to 18446744073709551615, not '" + v + "'");
    return seed;
}

bool allDigits(const char* text) {
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

int threadsValue(const std::string& v) {
    std::int32_t n;
    if (!parseInt32(v.c_str(), &n) || n < 1 || n > 1024)
        usageError("--threads must be a whole number from 1 to 1024, not '" + v + "'");
    return n;
}

// --animate, --frames and --delay as given: checked once all are known.
struct LoopRequest {
    std::string kind;  // empty: no loop
    std::int32_t frames = 0, delayMs = 0;  // 0: not given
    std::string frame;                     // --frame, empty: not given
};

std::int32_t rangedValue(const char* option, const std::string& v, std::int32_t lo, std::int32_t hi) {
    std::int32_t n;
    if (!parseInt32(v.c_str(), &n) || n < lo || n > hi)
        usageError(std::string(option) + " must be a whole number from " + std::to_string(lo) + " to " +
                   std::to_string(hi) + ", not '" + v + "'");
    return n;
}

std::optional<LoopChoice> settleLoop(const LoopRequest& request) {
    if (request.kind.empty()) {
        if (request.frames || request.delayMs || !request.frame.empty())
            usageError("--frames, --delay and --frame need --animate");
        return std::nullopt;
    }
    const std::optional<LoopKind> kind = loopKindNamed(request.kind.c_str());
    if (!kind) {
        std::string names;
        for (const LoopKindName& k : kLoopKinds) names += std::string(names.empty() ? "" : ", ") + k.name;
        usageError("--animate must be one of " + names + ", not '" + request.kind + "'");
    }
    LoopChoice choice;
    choice.kind = *kind;
    if (request.frames) choice.frames = request.frames;
    if (request.delayMs) choice.delayMs = request.delayMs;
    return choice;
}

ImageFormat settleFormat(FormatRequest request, const std::string& output) {
    if (request.name.empty()) {
        const std::size_t dot = output.rfind('.');
        std::string extension = dot == std::string::npos ? "" : output.substr(dot + 1);
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        request.name = extension == "png" ? "png" : "bmp";
    }
    // A PNG always holds every colour, as a palette when there are at most
    // 256; an 8-bit request there would be a promise not kept.
    if (request.name == "png" && request.bits != 0) usageError("--bits applies to BMP output only, not to PNG");
    return request.name == "png" ? ImageFormat::Png : request.bits == 8 ? ImageFormat::Bmp8 : ImageFormat::Bmp24;
}

// An argument that is no option: the settings file, which may be given once.
void takeSettingsFile(const std::string& arg, Options& o) {
    if (arg.size() > 1 && arg[0] == '-') usageError("unknown option '" + arg + "' (see --help)");
    if (arg.empty()) usageError("empty argument (see --help)");
    if (!o.settingsFile.empty()) usageError("more than one settings file: '" + o.settingsFile + "' and '" + arg + "'");
    o.settingsFile = arg;
}

// The extension of the output's name (".png"), empty when it has none.
std::string extensionOf(const std::string& path) {
    const std::size_t dot = path.rfind('.'), slash = path.rfind('/');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : path.substr(dot);
}

// Picture k (from 0) of a --count and its info file: NAME-0001.png and
// NAME-0001.txt for -o NAME.png; at least four digits, more when N needs
// them, so that the names sort in order.
std::string countedName(const Options& o, int k, bool info) {
    const std::string extension = extensionOf(o.output);
    const int digits = std::max<int>(4, static_cast<int>(std::to_string(o.count).size()));
    std::string number = std::to_string(k + 1);
    number.insert(0, static_cast<std::size_t>(digits) - number.size(), '0');
    return o.output.substr(0, o.output.size() - extension.size()) + "-" + number + (info ? ".txt" : extension);
}

// --count makes a set of files from new sets: anything else is a mistake.
void checkCount(const Options& o) {
    if (o.count == 0) return;
    if (o.generate == Generate::None) usageError("--count needs --random or --mutate: the pictures would all be alike");
    if (o.output == kStdio) usageError("--count writes files, not standard output; name them with -o NAME.png");
    if (o.printSettings) usageError("--count writes each picture's settings beside it; --print-settings prints one set");
    if (o.loop) usageError("--count writes still pictures; make loops one --animate at a time");
    std::string extension = extensionOf(o.output);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".txt") usageError("--count names the info files NAME-0001.txt; the pictures need another name than '" + o.output + "'");
}

Options parseArguments(int argc, char** argv) {
    Options o;
    FormatRequest format;
    LoopRequest loop;
    auto valueOf = [&](int& i) -> std::string {
        if (i + 1 >= argc) usageError(std::string("option ") + argv[i] + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--set") {
            o.setLines.push_back(checkedSetLine(valueOf(i)));
        } else if (arg == "--bits") {
            format.bits = bitsValue(valueOf(i));
        } else if (arg == "--format") {
            format.name = valueOf(i);
            if (format.name != "bmp" && format.name != "png" && format.name != "gif")
                usageError("--format must be bmp, png or gif, not '" + format.name + "'");
        } else if (arg == "--animate") {
            loop.kind = valueOf(i);
        } else if (arg == "--frames") {
            loop.frames = rangedValue("--frames", valueOf(i), kMinLoopFrames, kMaxLoopFrames);
        } else if (arg == "--frame") {
            loop.frame = valueOf(i);
        } else if (arg == "--delay") {
            loop.delayMs = rangedValue("--delay", valueOf(i), kMinLoopDelay, kMaxLoopDelay);
        } else if (arg == "-o") {
            o.output = valueOf(i);
            if (o.output.empty()) usageError("-o needs a file name");
        } else if (arg == "--threads") {
            o.threads = threadsValue(valueOf(i));
        } else if (arg == "--tile") {
            const std::string v = valueOf(i);
            if (!parseTileCount(v, &o.tileColumns, &o.tileRows))
                usageError("--tile takes COLSxROWS, each a whole number from 1 to " + std::to_string(kMaxTileCount) +
                           ", not '" + v + "'");
        } else if (arg == "--random" || arg == "--mutate") {
            const Generate g = arg == "--random" ? Generate::Random : Generate::Mutate;
            if (o.generate != Generate::None && o.generate != g)
                usageError("--random and --mutate cannot be combined");
            o.generate = g;
            // --random's seed may be left out; what follows is its seed when
            // it is a number.
            o.seedGiven = g == Generate::Mutate || (i + 1 < argc && allDigits(argv[i + 1]));
            if (o.seedGiven) o.seed = seedValue(arg, valueOf(i));
        } else if (arg == "--count") {
            const std::string v = valueOf(i);
            std::int32_t n;
            if (!parseInt32(v.c_str(), &n) || n < 1 || n > kMaxCount)
                usageError("--count must be a whole number from 1 to " + std::to_string(kMaxCount) + ", not '" + v + "'");
            o.count = n;
        } else if (arg == "--print-settings") {
            o.printSettings = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            takeSettingsFile(arg, o);
        }
    }
    o.loop = settleLoop(loop);
    if (o.loop && !loop.frame.empty()) o.frame = rangedValue("--frame", loop.frame, 0, o.loop->frames - 1);
    if (o.loop && !o.frame) {
        if (format.bits != 0) usageError("--bits applies to a still BMP only, not to a loop");
        std::string name = format.name;
        if (name.empty()) {
            const std::size_t dot = o.output.rfind('.');
            name = dot == std::string::npos ? "" : o.output.substr(dot + 1);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (name != "gif" && name != "png")
            usageError("a loop is written as an animated GIF (.gif) or PNG (.png); name the output so, or give --format");
        o.loopFormat = name == "gif" ? LoopFormat::Gif : LoopFormat::Apng;
        return o;
    }
    if (format.name == "gif") usageError("--format gif needs a loop: a still picture is BMP or PNG");
    o.format = settleFormat(format, o.output);
    checkCount(o);
    if (o.generate == Generate::Random && !o.seedGiven) o.seed = freshSeed();
    return o;
}

// A pattern that does not repeat within its tile would show a seam as it
// moves; the hue loop needs no repeat.
void refuseSeams(const Options& o) {
    const LoopKind kind = o.loop->kind;
    const bool across = scrollsAcross(kind) && !scrollRepeat(o.settings, 0);
    const bool down = scrollsDown(kind) && !scrollRepeat(o.settings, 1);
    if (across || down)
        usageError(std::string("the pattern does not repeat a whole number of times ") +
                   (across && down ? "across or down" : across ? "across" : "down") +
                   " the tile, so it cannot scroll without a seam; --animate hue turns its colours instead");
}

void loadSettings(Options& o) {
    if (!o.settingsFile.empty()) {
        // Unlike the program, which keeps its values when a file is missing,
        // a command asked to render a file must not quietly render defaults.
        const bool fromStdin = o.settingsFile == kStdio;
        const std::string name = fromStdin ? "standard input" : "'" + o.settingsFile + "'";
        std::string error;
        LoadResult result;
        if (fromStdin)
            result = loadSettingsStream(o.settings, stdin, nullptr, &error, kMaxSettingsBytes);
        else
            result = loadSettingsFile(o.settings, o.settingsFile.c_str(), nullptr, &error, kMaxSettingsBytes);
        if (result == LoadResult::TooLarge)
            usageError("settings file too large: " + name + " holds more than 1 MiB");
        if (result == LoadResult::Failed) usageError("cannot read settings file " + name + ": " + error);
        // Legal (a file of only unknown lines renders the defaults), but
        // most likely the wrong file.
        if (result == LoadResult::NoSettings)
            std::fprintf(stderr, "pallodex-render: warning: no settings found in %s\n", name.c_str());
    }
    for (const std::string& line : o.setLines)
        if (!applySettingsLine(o.settings, line.c_str(), nullptr)) usageError("cannot apply --set " + line);
    o.settings.validate();
}

// The set of seed `seed`, made from the loaded settings as Space or
// Shift+Space makes it from the window's.
PatternSettings generated(const Options& o, std::uint64_t seed) {
    switch (o.generate) {
        case Generate::Random:
            return randomSettings(o.settings, seed);
        case Generate::Mutate:
            return mutateSettings(o.settings, seed);
        default:
            return o.settings;
    }
}

// Writing the picture over the settings file it was rendered from would
// destroy the only description of it. Same file means same device and inode,
// whatever names or links lead there.
void refuseToOverwriteInput(const Options& o) {
    if (o.settingsFile.empty() || o.output == kStdio) return;
    struct stat in, out;
    if (stat(o.output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return;
    const int inResult = o.settingsFile == kStdio ? fstat(STDIN_FILENO, &in) : stat(o.settingsFile.c_str(), &in);
    if (inResult == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        usageError("output '" + o.output + "' is the settings file being read; choose another output name");
}

// With a standard stream closed, the next file opened would take its number
// and a write meant for the stream would land in that file. /dev/null holds
// the place; the stream still counts as closed.
bool g_stdoutClosed = false;

void holdClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == STDOUT_FILENO) g_stdoutClosed = true;
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

bool writeAllToStdout(const void* data, std::size_t size) {
    if (g_stdoutClosed) {
        errno = EBADF;
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(STDOUT_FILENO, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A large buffer whose pages are not zeroed by the program (the kernel
// zeroes them anyway) and are 2 MiB pages where the system allows them: with
// 4 KiB pages, the first touch of each costs a fault and the free at exit
// costs as much again; for a 2048x2048 picture that is 7000 faults, more
// time than the render itself.
template <class T>
class BigBuffer {
public:
    explicit BigBuffer(std::size_t count) : bytes_(count * sizeof(T) + kHuge) {
        void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        base_ = p;
        // The huge pages need 2 MiB alignment; the first partial page is
        // simply left unused.
        const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
        data_ = reinterpret_cast<T*>(at);
#ifdef MADV_HUGEPAGE
        madvise(data_, count * sizeof(T), MADV_HUGEPAGE);
#endif
    }
    ~BigBuffer() { munmap(base_, bytes_); }
    BigBuffer(const BigBuffer&) = delete;
    BigBuffer& operator=(const BigBuffer&) = delete;

    T* get() const { return data_; }

private:
    static constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    std::size_t bytes_;
    void* base_;
    T* data_;
};

// Renders the image; on a terminal, a render that takes longer than half a
// second shows its progress on stderr meanwhile. Nothing polls: the watcher
// sleeps until the render signals it is done or the next update is due.
std::unique_ptr<BigBuffer<std::uint32_t>> renderWithProgress(const Options& o) {
    const PatternSettings& s = o.settings;
    auto pixels = std::make_unique<BigBuffer<std::uint32_t>>(static_cast<std::size_t>(s.bmpw) *
                                                              static_cast<std::size_t>(s.bmph));
    RenderOptions ro;
    ro.threads = o.threads;
    if (!isatty(STDERR_FILENO)) {
        renderImage(s, pixels->get(), ro);
        return pixels;
    }
    std::atomic<int> rows{0};
    ro.rowsDone = &rows;
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watcher;
    try {
        watcher = std::thread([&] {
            std::unique_lock<std::mutex> lock(m);
            if (cv.wait_for(lock, std::chrono::milliseconds(500), [&] { return done; })) return;
            do {
                std::fprintf(stderr, "\rrendering %dx%d: %3d%%", s.bmpw, s.bmph,
                             static_cast<int>(100LL * rows.load() / s.bmph));
            } while (!cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return done; }));
            std::fprintf(stderr, "\rrendering %dx%d: done\n", s.bmpw, s.bmph);
        });
    } catch (const std::system_error&) {
        // No thread for the display: the render itself matters more.
    }
    renderImage(s, pixels->get(), ro);
    if (watcher.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m);
            done = true;
        }
        cv.notify_one();
        watcher.join();
    }
    return pixels;
}

// The pixels to encode: the rendered image, or its tiled copy.
struct Picture {
    const std::uint32_t* pixels;
    std::int32_t width, height;
};

// The bytes of the picture file.
struct Encoded {
    std::unique_ptr<BigBuffer<std::uint8_t>> bytes;
    std::size_t size = 0;
};

Encoded encodePicture(const Options& o, const Picture& p) {
    Encoded e;
    ImageFileOptions options;
    options.threads = o.threads;
    encodeImage(p.pixels, p.width, p.height, o.format, options, [&](std::size_t size) {
        e.bytes = std::make_unique<BigBuffer<std::uint8_t>>(size);
        e.size = size;
        return e.bytes->get();
    });
    return e;
}

// Refused before anything is rendered: the tiled picture is held whole in
// memory, and a desktop has no use for more.
void checkTiledSize(const Options& o) {
    const std::int64_t w = static_cast<std::int64_t>(o.settings.bmpw) * o.tileColumns;
    const std::int64_t h = static_cast<std::int64_t>(o.settings.bmph) * o.tileRows;
    if (w > kMaxTiledSide || h > kMaxTiledSide)
        usageError("--tile " + std::to_string(o.tileColumns) + "x" + std::to_string(o.tileRows) + " of a " +
                   std::to_string(o.settings.bmpw) + "x" + std::to_string(o.settings.bmph) + " image makes " +
                   std::to_string(w) + "x" + std::to_string(h) + " pixels; at most " + std::to_string(kMaxTiledSide) +
                   " each way");
}

// The image repeated as the desktop tiles it: the copy starts with a whole
// tile at the top left.
std::unique_ptr<BigBuffer<std::uint32_t>> tile(const Options& o, const std::uint32_t* image) {
    const std::size_t w = static_cast<std::size_t>(o.settings.bmpw), h = static_cast<std::size_t>(o.settings.bmph);
    const std::size_t outW = w * static_cast<std::size_t>(o.tileColumns);
    auto out = std::make_unique<BigBuffer<std::uint32_t>>(outW * h * static_cast<std::size_t>(o.tileRows));
    for (std::size_t y = 0; y < h * static_cast<std::size_t>(o.tileRows); ++y) {
        std::uint32_t* row = out->get() + y * outW;
        for (int c = 0; c < o.tileColumns; ++c) std::memcpy(row + c * w, image + (y % h) * w, w * sizeof *image);
    }
    return out;
}

// The picture file to the output named, or to standard output.
void writePicture(const Options& o, const Encoded& picture) {
    if (o.output == kStdio) {
        if (!writeAllToStdout(picture.bytes->get(), picture.size))
            writeError(std::string("cannot write to standard output: ") + std::strerror(errno));
        return;
    }
    std::string error;
    const fsys::WriteResult result = fsys::writeFile(
        o.output,
        [&](std::FILE* f) {
            // Unbuffered: the whole file goes to the system in one write.
            std::setvbuf(f, nullptr, _IONBF, 0);
            // A file's room is reserved first. Besides failing early on a full
            // disk, this spares the rename the 10-20 ms in which ext4 would
            // push delayed-allocation data out when a file replaces another.
            // The file is not synced either way (it can be rendered again).
            struct stat st;
            const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
            const int err = regular ? posix_fallocate(fileno(f), 0, static_cast<off_t>(picture.size)) : 0;
            if (err != 0 && err != EOPNOTSUPP && err != EINVAL) {
                errno = err;
                return false;
            }
            return std::fwrite(picture.bytes->get(), 1, picture.size, f) == picture.size;
        },
        &error);
    if (result == fsys::WriteResult::ReadOnly) writeError("cannot write '" + o.output + "': the file is read-only");
    if (result == fsys::WriteResult::Failed) writeError("cannot write '" + o.output + "': " + error);
}

// The picture of o.settings to o.output.
void renderAndWrite(const Options& o) {
    const auto pixels = renderWithProgress(o);
    std::unique_ptr<BigBuffer<std::uint32_t>> tiled;
    if (o.tileColumns * o.tileRows > 1) tiled = tile(o, pixels->get());
    writePicture(o, encodePicture(o, {tiled ? tiled->get() : pixels->get(), o.settings.bmpw * o.tileColumns,
                                      o.settings.bmph * o.tileRows}));
}

// Exactly the bytes an info file saved from s holds.
void writeInfoFile(const std::string& path, const PatternSettings& s) {
    const std::string text = settingsText(s, nullptr);
    std::string error;
    const fsys::WriteResult result = fsys::writeFile(
        path, [&](std::FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); }, &error);
    if (result == fsys::WriteResult::ReadOnly) writeError("cannot write '" + path + "': the file is read-only");
    if (result != fsys::WriteResult::Written) writeError("cannot write '" + path + "': " + error);
}

// --count: picture k and its info file are those of seed SEED + k (wrapping
// past the largest seed). Every name is checked before the first is written.
void writeCounted(const Options& o) {
    checkTiledSize(o);  // --random and --mutate keep the size
    for (int k = 0; k < o.count; ++k)
        for (const bool info : {false, true}) {
            Options one = o;
            one.output = countedName(o, k, info);
            refuseToOverwriteInput(one);
        }
    for (int k = 0; k < o.count; ++k) {
        Options one = o;
        one.settings = generated(o, o.seed + static_cast<std::uint64_t>(k));
        one.output = countedName(o, k, false);
        renderAndWrite(one);
        writeInfoFile(countedName(o, k, true), one.settings);
    }
}

// The loop's file, streamed to the output as its frames are encoded.
void writeLoopOutput(const Options& o) {
    LoopFileOptions options;
    options.threads = o.threads;
    LoopFileInfo info;
    const LoopTiles tiles{o.tileColumns, o.tileRows};
    if (o.output == kStdio) {
        if (writeLoop(o.settings, *o.loop, o.loopFormat, writeAllToStdout, options, &info, tiles) !=
            LoopFileResult::Written)
            writeError(std::string("cannot write to standard output: ") + std::strerror(errno));
    } else {
        std::string error;
        const fsys::WriteResult result = fsys::writeFile(
            o.output,
            [&](std::FILE* f) {
                return writeLoop(o.settings, *o.loop, o.loopFormat,
                                 [&](const std::uint8_t* p, std::size_t n) { return std::fwrite(p, 1, n, f) == n; },
                                 options, &info, tiles) == LoopFileResult::Written;
            },
            &error);
        if (result == fsys::WriteResult::ReadOnly) writeError("cannot write '" + o.output + "': the file is read-only");
        if (result == fsys::WriteResult::Failed) writeError("cannot write '" + o.output + "': " + error);
    }
    if (!info.exactColours && isatty(STDERR_FILENO))
        std::fprintf(stderr, "pallodex-render: the loop has more than 256 colours: the GIF dithers them between 256\n");
}

int run(int argc, char** argv) {
    holdClosedStandardStreams();
    fsys::removeTemporaryFileOnInterrupt();
    Options o = parseArguments(argc, argv);
    loadSettings(o);
    if (o.count > 0) {
        writeCounted(o);
        return 0;
    }
    o.settings = generated(o, o.seed);
    if (o.loop) {
        refuseSeams(o);
        // One frame of a loop is a still picture of its own parameters.
        if (o.frame) o.settings = loopFrame(o.settings, o.loop->kind, o.loop->frames, *o.frame);
    }
    if (o.printSettings) {
        // Exactly the bytes an info file saved from these settings holds.
        const std::string text = settingsText(o.settings, nullptr);
        if (!writeAllToStdout(text.data(), text.size()))
            writeError(std::string("cannot write the settings to standard output: ") + std::strerror(errno));
        return 0;
    }
    if (o.output == kStdio && isatty(STDOUT_FILENO))
        usageError("will not write a picture to a terminal; redirect standard output or name a file with -o");
    refuseToOverwriteInput(o);
    checkTiledSize(o);
    if (o.loop && !o.frame) {
        writeLoopOutput(o);
        return 0;
    }
    renderAndWrite(o);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        writeError("out of memory");
    } catch (const std::length_error&) {
        writeError("out of memory");
    }
}
