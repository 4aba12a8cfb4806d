#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "keyboard.h"

namespace {

// One press on a set whose ranges and accuracy need repair: exactly `field`
// goes from `from` to `to`; only the arrows repair the rest; "tile" is the
// tile flag, and a null field means the key does nothing.
struct Press {
    unsigned key;
    const char* field;
    std::int32_t from, to;
};

const Press kPresses[] = {
    // The digit row raises the nine amounts by 8, the row below lowers them.
    {'1', "base_r", 40, 48}, {'Q', "base_r", 40, 32}, {'2', "base_g", 0, 8}, {'W', "base_g", 0, -8},
    {'3', "base_b", -1, 7}, {'E', "base_b", -1, -9}, {'4', "vx_r", 255, 263}, {'R', "vx_r", 255, 247},
    {'5', "vx_g", -7, 1}, {'T', "vx_g", -7, -15}, {'6', "vx_b", 0, 8}, {'Y', "vx_b", 0, -8},
    {'7', "vy_r", 0, 8}, {'U', "vy_r", 0, -8}, {'8', "vy_g", 1000, 1008}, {'I', "vy_g", 1000, 992},
    {'9', "vy_b", 0, 8}, {'O', "vy_b", 0, -8},
    // ... without limit, wrapping round the 32-bit range.
    {'1', "base_r", 248, 256}, {'1', "base_r", INT32_MAX - 3, INT32_MIN + 4}, {'O', "vy_b", INT32_MIN + 5, INT32_MAX - 2},
    // Offsets and origin by 4.
    {'G', "basew", 10, 14}, {'B', "basew", 10, 6}, {'H', "baseh", -20, -16}, {'N', "baseh", -20, -24},
    {'J', "basex", INT32_MAX, INT32_MIN + 3}, {'M', "basex", 7, 3}, {'K', "basey", -3, 1},
    {0xBC, "basey", INT32_MIN, INT32_MAX - 3},
    // The arrows resize, and past either end fall back to the default size.
    {0x27, "bmpw", 128, 132}, {0x25, "bmpw", 128, 124}, {0x28, "bmph", 128, 132}, {0x26, "bmph", 128, 124},
    {0x27, "bmpw", 2048, 128}, {0x25, "bmpw", 4, 128}, {0x25, "bmpw", 5, 1}, {0x28, "bmph", 2046, 128},
    {0x26, "bmph", 2, 128},
    // Cycling keys wrap at their count; a negative value from a file keeps
    // its sign (the remainder takes the dividend's), a large one never
    // overflows the byte.
    {'A', "mode_r", 3, 0}, {'A', "mode_r", -3, -2}, {'S', "mode_g", 1, 2}, {'S', "mode_g", -1, 0},
    {'D', "mode_b", 127, 0}, {'F', "pat_x", 5, 0}, {'F', "pat_x", -128, -1}, {'V', "pat_y", 2, 3},
    {'V', "pat_y", 127, 2},
    // Enter flips tile display only; any nonzero flag means on.
    {0x0D, "tile", 1, 0}, {0x0D, "tile", 0, 1}, {0x0D, "tile", -7, 0},
    // C belongs to Ctrl+C through the accelerators; lower-case codes are
    // other virtual keys (0x6A is the keypad's multiply), not letters.
    {'Z', nullptr, 0, 0}, {'X', nullptr, 0, 0}, {'C', nullptr, 0, 0}, {'L', nullptr, 0, 0},
    {'0', nullptr, 0, 0}, {' ', nullptr, 0, 0}, {'j', nullptr, 0, 0}, {0x6A, nullptr, 0, 0},
    {0x70, nullptr, 0, 0}, {0xBE, nullptr, 0, 0}, {0x10, nullptr, 0, 0}, {0, nullptr, 0, 0},
};

}  // namespace

TEST(Keyboard, EachKeyStepsExactlyItsFieldAndOnlyTheArrowsRepair) {
    for (const Press& p : kPresses) {
        SCOPED_TRACE(testing::Message() << "key " << p.key << " " << (p.field ? p.field : "(none)") << " from "
                                        << p.from);
        PatternSettings start;
        start.min_r = -5, start.max_g = 999, start.accuracy = 0;
        std::int8_t tile = 1;
        const bool tileKey = p.field && std::strcmp(p.field, "tile") == 0;
        const ParamKey* key = p.field && !tileKey ? findParamKey(p.field) : nullptr;
        if (key) setParam(start, *key, p.from);
        if (tileKey) tile = static_cast<std::int8_t>(p.from);

        PatternSettings s = start;
        const KeyEffect effect = applyKey(p.key, s, tile);
        EXPECT_EQ(effect, !p.field ? KeyEffect::None : tileKey ? KeyEffect::TileToggled : KeyEffect::Settings);
        EXPECT_EQ(tile, tileKey ? p.to : 1);
        PatternSettings expected = start;
        if (key) setParam(expected, *key, p.to);
        if (p.key >= 0x25 && p.key <= 0x28) expected.min_r = 0, expected.max_g = 255, expected.accuracy = 1;
        for (const ParamKey& k : kParamKeys) EXPECT_EQ(getParam(s, k), getParam(expected, k)) << k.name;
    }
}
