// The variations window's cells without the window: scripts of what the user
// does, each step waited out, with the cells that came in, in their order.
// Every cell that comes in must hold its set's tiled crop at the cell size,
// and every variation must differ from the centre in the scope's kinds only.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>

#include "render.h"
#include "variations.h"

namespace {

struct Script {
    const char* steps;     // after "open": the first fill at 48 x 40
    const char* expected;  // per step, the cells that came in, in order
};
const Script kScripts[] = {
    {"", ""},
    {"pick:2 pick:4 same", "5 6 7 8 0 1 2 3 | 5 6 7 8 0 1 2 3 | "},
    {"resize colour random", "4 5 6 7 8 0 1 2 3 | 5 6 7 8 0 1 2 3 | 5 6 7 8 0 1 2 3"},
    {"shape random+random pick:0", "5 6 7 8 0 1 2 3 | 5 6 7 8 0 1 2 3 | 5 6 7 8 0 1 2 3"},
    {"refill+resize random+colour", "4 5 6 7 8 0 1 2 3 | 5 6 7 8 0 1 2 3"},
};

bool isColourKey(const ParamKey& k) {
    for (const char* prefix : {"base_", "dg_", "dth_", "max_", "min_", "hue"})
        if (std::string(k.name).rfind(prefix, 0) == 0) return true;
    return false;
}

class VariationsScript : public testing::TestWithParam<Script> {};

TEST_P(VariationsScript, CellsComeInWithTheirPictures) {
    std::mutex mutex;
    std::condition_variable cv;
    int ready = 0;
    std::uint64_t seeds = 0;
    Variations v([&] { std::lock_guard<std::mutex> l(mutex); ++ready, cv.notify_all(); }, [&] { return ++seeds; });
    PatternSettings centre;
    centre.bmpw = 37, centre.bmph = 29, centre.accuracy = 2;
    centre = randomSettings(centre, 5);
    std::int32_t w = 48, h = 40;
    v.resize(w, h);
    v.follow(centre);
    const std::string opened = "4 5 6 7 8 0 1 2 3", more = GetParam().expected;
    const std::string all = *GetParam().steps ? opened + " | " + more : opened;
    std::istringstream steps(std::string("open ") + GetParam().steps), expected(all);
    std::string log;
    for (std::string step; steps >> step;) {
        std::string want;
        std::getline(expected, want, '|');
        // Steps joined by + run back to back: only the last one's cells come.
        std::istringstream parts(step);
        for (std::string part; std::getline(parts, part, '+');) {
            if (part.rfind("pick:", 0) == 0) {
                // As the window picks: the centre only asks for eight more.
                const int cell = std::stoi(part.substr(5));
                ASSERT_TRUE(v.settings(cell)) << part;
                centre = *v.settings(cell);
                if (cell == Variations::kCentre) v.refill();
                else EXPECT_EQ(v.follow(centre), cell) << part;
            } else if (part == "same") {
                EXPECT_EQ(v.follow(centre), -1);
            } else if (part == "resize") {
                v.resize(w = 23, h = 61);
            } else if (part == "colour" || part == "shape") {
                v.setScope(part == "colour" ? MutateColour : MutateShape);
            } else if (part == "random" || part == "refill") {
                part == "random" ? v.refillRandom() : v.refill();
            } else if (part != "open") {
                FAIL() << "unknown step " << part;
            }
        }
        // As many cells as expected, then none more: the batch is over.
        std::string cells;
        std::istringstream wanted(want);
        const auto count = std::distance(std::istream_iterator<std::string>(wanted), {});
        for (std::ptrdiff_t n = 0; n <= count; ++n) {
            CellResult r;
            while (n < count && !v.take(r)) {
                std::unique_lock<std::mutex> l(mutex);
                const int seen = ready;
                if (!cv.wait_for(l, std::chrono::seconds(60), [&] { return ready != seen; })) break;
            }
            if (n == count && !v.take(r)) break;
            cells += (cells.empty() ? "" : " ") + std::to_string(r.index);
            std::vector<std::uint32_t> expected(static_cast<std::size_t>(w) * h);
            renderTiledCrop(r.settings, 0, 0, w, h, expected.data());
            EXPECT_EQ(r.pixels, expected) << step << " cell " << r.index;
            EXPECT_EQ(r.settings, *v.settings(r.index));
            if (r.index == Variations::kCentre) {
                EXPECT_EQ(r.settings, centre);
                continue;
            }
            EXPECT_NE(r.settings, centre) << step << " cell " << r.index;
            for (const ParamKey& k : kParamKeys) {
                const bool kept = (v.scope() & (isColourKey(k) ? MutateColour : MutateShape)) == 0;
                EXPECT_TRUE(!kept || getParam(r.settings, k) == getParam(centre, k)) << step << " " << k.name;
            }
        }
        log += (log.empty() ? "" : " | ") + cells;
    }
    EXPECT_EQ(log, all);
}

void PrintTo(const Script& s, std::ostream* os) { *os << s.steps; }

INSTANTIATE_TEST_SUITE_P(Variations, VariationsScript, testing::ValuesIn(kScripts));

}  // namespace
