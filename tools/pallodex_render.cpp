// pallodex-render: renders a parameter set to a BMP file from the command line.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bmp.h"
#include "file_system.h"
#include "pattern_settings.h"
#include "render.h"
#include "settings_file.h"

namespace {

const char kUsage[] =
    "usage: pallodex-render [SETTINGS_FILE] [--set KEY=VALUE]... [--bits 24|8] [-o OUT.bmp]\n"
    "                       [--threads N] [--print-settings]\n"
    "Renders a wallpaper from the parameters of SETTINGS_FILE (an info file; default: the\n"
    "default parameters), changed by each --set, into a BMP file (default pallodex.bmp,\n"
    "24 bits). KEY is a settings-file key, VALUE a decimal integer. --print-settings prints\n"
    "the resulting settings file instead.\n";

[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "pallodex-render: %s\n", message.c_str());
    std::exit(2);
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

struct Options {
    PatternSettings settings;
    std::string settingsFile;
    std::vector<std::string> setLines;  // applied after the settings file, in order
    int bits = 24;
    int threads = 0;
    std::string output = "pallodex.bmp";
    bool printSettings = false;
};

Options parseArguments(int argc, char** argv) {
    Options o;
    auto valueOf = [&](int& i) -> const char* {
        if (i + 1 >= argc) usageError(std::string("option ") + argv[i] + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--set") {
            const std::string kv = valueOf(i);
            const auto eq = kv.find('=');
            if (eq == std::string::npos) usageError("--set takes KEY=VALUE, got '" + kv + "'");
            const std::string key = kv.substr(0, eq), value = kv.substr(eq + 1);
            const ParamKey* pk = findParamKey(key.c_str());
            if (!pk) usageError("unknown key '" + key + "' in --set " + kv);
            std::int32_t v;
            if (!parseInt32(value.c_str(), &v))
                usageError("value '" + value + "' of " + key + " is not a 32-bit decimal integer");
            o.setLines.push_back(kv);
        } else if (arg == "--bits") {
            const std::string v = valueOf(i);
            if (v == "24")
                o.bits = 24;
            else if (v == "8")
                o.bits = 8;
            else
                usageError("--bits must be 24 or 8, not '" + v + "'");
        } else if (arg == "-o") {
            o.output = valueOf(i);
            if (o.output.empty()) usageError("-o needs a file name");
        } else if (arg == "--threads") {
            const std::string v = valueOf(i);
            std::int32_t n;
            if (!parseInt32(v.c_str(), &n) || n < 1 || n > 1024)
                usageError("--threads must be a whole number from 1 to 1024, not '" + v + "'");
            o.threads = n;
        } else if (arg == "--print-settings") {
            o.printSettings = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            usageError("unknown option '" + arg + "' (see --help)");
        } else if (arg.empty()) {
            usageError("empty argument (see --help)");
        } else if (!o.settingsFile.empty()) {
            usageError("more than one settings file: '" + o.settingsFile + "' and '" + arg + "'");
        } else {
            o.settingsFile = arg;
        }
    }
    if (!o.settingsFile.empty()) {
        // Unlike the program, which keeps its values when a file is missing,
        // a command asked to render a file must not quietly render defaults.
        std::string error;
        if (loadSettingsFile(o.settings, o.settingsFile.c_str(), nullptr, &error) == LoadResult::Failed)
            usageError("cannot read settings file '" + o.settingsFile + "': " + error);
    }
    for (const std::string& line : o.setLines)
        if (!applySettingsLine(o.settings, line.c_str(), nullptr)) usageError("cannot apply --set " + line);
    o.settings.validate();
    return o;
}

// Renders on a worker thread so that a long render can report progress on a
// terminal; a short one prints nothing.
std::vector<std::uint32_t> renderWithProgress(const Options& o) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(o.settings.bmpw) *
                                      static_cast<std::size_t>(o.settings.bmph));
    std::atomic<int> rows{0};
    std::atomic<bool> done{false};
    RenderOptions ro;
    ro.threads = o.threads;
    ro.rowsDone = &rows;
    std::thread worker([&] {
        renderImage(o.settings, pixels.data(), ro);
        done.store(true, std::memory_order_release);
    });
    const bool terminal = isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    while (!done.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!terminal || done.load(std::memory_order_acquire)) continue;
        if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500)) continue;
        std::fprintf(stderr, "\rrendering %dx%d: %3d%%", o.settings.bmpw, o.settings.bmph,
                     static_cast<int>(100LL * rows.load() / o.settings.bmph));
        shown = true;
    }
    worker.join();
    if (shown) std::fprintf(stderr, "\rrendering %dx%d: done\n", o.settings.bmpw, o.settings.bmph);
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parseArguments(argc, argv);
    if (o.printSettings) {
        // Exactly the bytes an info file saved from these settings holds.
        const std::string text = settingsText(o.settings, nullptr);
        const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        return ok && std::fflush(stdout) == 0 ? 0 : 1;
    }
    const std::vector<std::uint32_t> pixels = renderWithProgress(o);
    const std::vector<std::uint8_t> bytes = encodeBmp(pixels.data(), o.settings.bmpw, o.settings.bmph, o.bits);
    std::string error;
    const bool ok = fsys::writeFileReplacing(
        o.output, [&](std::FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); },
        &error);
    if (!ok) {
        std::fprintf(stderr, "pallodex-render: cannot write '%s': %s\n", o.output.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
