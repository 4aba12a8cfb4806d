// Fuzz target for the settings-file reader: any bytes, read as an info file
// and as the program's own file, through a file and through a stream.
//
// What must hold for every input:
// - the file path and the stream path agree (result, values, flags, folders);
// - nothing changes unless the result is Loaded, and the process never moves;
// - a Loaded set satisfies the limits validate() establishes;
// - saving what was read and reading that back gives the same settings;
// - a byte limit below the input's size refuses it, one at its size does not
//   change the outcome.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "file_system.h"
#include "settings_file.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "settings_fuzz: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok) broken(what);
}

// Every field away from its default, so that a load that keeps an old value
// instead of taking the default shows.
PatternSettings startSettings() {
    PatternSettings s;
    std::int32_t v = 7;
    for (const ParamKey& k : kParamKeys) setParam(s, k, v += 3);
    s.validate();
    return s;
}

struct State {
    PatternSettings settings = startSettings();
    std::int8_t tileView = 3;
    std::int32_t filterIndex = 5;
    std::vector<std::string> dirs;
    LoadResult result = LoadResult::Failed;

    bool operator==(const State& o) const {
        return settings == o.settings && tileView == o.tileView && filterIndex == o.filterIndex && dirs == o.dirs &&
               result == o.result;
    }
};

// In memory where the system offers it: a file per input on a disk would
// make the disk the limit of the fuzzing speed.
// Never destroyed: the clean-up at exit still needs it.
const std::string& scratchFolder() {
    static const std::string* folder = [] {
        auto* pattern = new std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm/settings_fuzz.XXXXXX"
                                                                       : "/tmp/settings_fuzz.XXXXXX");
        if (!mkdtemp(&(*pattern)[0])) broken("cannot make a scratch folder");
        return pattern;
    }();
    static const bool cleanUp = [] {
        return std::atexit([] {
                   std::remove((*folder + "/input.ini").c_str());
                   rmdir(folder->c_str());
               }) == 0;
    }();
    (void)cleanUp;
    return *folder;
}

const std::string& startFolder() {
    static const std::string folder = fsys::currentDirectory();
    return folder;
}

std::FILE* streamOf(const std::string& bytes) {
    static char none;
    std::FILE* f = fmemopen(bytes.empty() ? &none : const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (!f) broken("no stream over the input");
    return f;
}

// One load from a file (path non-empty) or from a stream of bytes.
State load(const std::string& bytes, const std::string& path, bool own, std::uint64_t maxBytes) {
    State st;
    OwnFileExtras extras{&st.tileView, &st.filterIndex, &st.dirs};
    const OwnFileExtras* ex = own ? &extras : nullptr;
    if (!path.empty()) {
        st.result = loadSettingsFile(st.settings, path.c_str(), ex, nullptr, maxBytes);
    } else {
        std::FILE* f = streamOf(bytes);
        st.result = loadSettingsStream(st.settings, f, ex, nullptr, maxBytes);
        std::fclose(f);
    }
    check(fsys::currentDirectory() == startFolder(), "a load moved the process");
    return st;
}

void checkLimits(const PatternSettings& s) {
    check(s.bmpw >= 1 && s.bmpw <= kMaxImageSide && s.bmph >= 1 && s.bmph <= kMaxImageSide, "size out of range");
    const std::int32_t mins[3] = {s.min_r, s.min_g, s.min_b}, maxs[3] = {s.max_r, s.max_g, s.max_b};
    for (int c = 0; c < 3; ++c) check(0 <= mins[c] && mins[c] <= maxs[c] && maxs[c] <= 255, "range out of order");
    check(s.accuracy >= 1, "accuracy below 1");
    PatternSettings again = s;
    again.validate();
    check(again == s, "validate is not idempotent");
}

void checkOne(const std::string& bytes, bool own) {
    const std::string path = scratchFolder() + "/input.ini";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        broken("cannot write the input file");

    const State fromFile = load(bytes, path, own, kNoSizeLimit);
    const State fromStream = load(bytes, "", own, kNoSizeLimit);
    check(fromFile == fromStream, "file and stream disagree");
    check(fromFile.result == LoadResult::Loaded || fromFile.result == LoadResult::NoSettings,
          "a readable file failed");

    const State untouched = State();
    if (fromFile.result != LoadResult::Loaded) {
        State expected = untouched;
        expected.result = fromFile.result;
        check(fromFile == expected, "a file without settings changed something");
    } else {
        checkLimits(fromFile.settings);
        // Save and read back: the same values and flags, and the one dir
        // line holds the folder at save time, the start folder.
        std::int8_t tile = fromFile.tileView;
        std::int32_t filter = fromFile.filterIndex;
        OwnFileExtras extras{&tile, &filter};
        const std::string saved = settingsText(fromFile.settings, own ? &extras : nullptr);
        const State back = load(saved, "", own, kNoSizeLimit);
        check(back.result == LoadResult::Loaded, "a saved file does not load");
        check(back.settings == fromFile.settings, "saved settings read back differently");
        check(back.tileView == fromFile.tileView && back.filterIndex == fromFile.filterIndex,
              "saved flags read back differently");
        check(back.dirs == (own ? std::vector<std::string>{startFolder()} : std::vector<std::string>{}),
              "the saved folder reads back differently");
    }

    // The byte limit: at the size, the same; one below, refused untouched.
    check(load(bytes, "", own, bytes.size()) == fromStream, "a limit at the size changed the outcome");
    if (!bytes.empty()) {
        State refused = load(bytes, path, own, bytes.size() - 1);
        State expected = untouched;
        expected.result = LoadResult::TooLarge;
        check(refused == expected, "a limit below the size was not refused cleanly");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    checkOne(bytes, false);
    checkOne(bytes, true);
    return 0;
}
