// Runs a fuzz target once over each file given (or each file in each folder
// given), without libFuzzer: so that every build, the sanitizer one
// included, replays the seed corpus as a plain test.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replay(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0, inputs = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) == 0 && S_ISDIR(st.st_mode)) {
            DIR* d = opendir(argv[i]);
            while (dirent* e = d ? readdir(d) : nullptr) {
                if (e->d_name[0] == '.') continue;
                failures += replay(std::string(argv[i]) + "/" + e->d_name);
                ++inputs;
            }
            if (d) closedir(d);
        } else {
            failures += replay(argv[i]);
            ++inputs;
        }
    }
    // An empty input is always worth one run.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("replayed %d inputs\n", inputs + 1);
    return failures == 0 && inputs > 0 ? 0 : 1;
}
