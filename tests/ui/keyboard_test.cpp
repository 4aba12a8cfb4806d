#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "keyboard.h"

namespace {

// Every field by name, so that a test can say which one a key must change and
// check that no other one moved.
std::int32_t field(const PatternSettings& s, const char* name) {
    const ParamKey* k = findParamKey(name);
    EXPECT_NE(k, nullptr) << name;
    return k ? getParam(s, *k) : 0;
}

void setField(PatternSettings& s, const char* name, std::int32_t value) {
    const ParamKey* k = findParamKey(name);
    ASSERT_NE(k, nullptr) << name;
    setParam(s, *k, value);
}

// Presses key on a copy of start; expects exactly the one named field to end
// up at expected and everything else (tile flag included) untouched.
void expectStep(unsigned key, const PatternSettings& start, const char* name, std::int32_t expected) {
    PatternSettings s = start;
    std::int8_t tile = 1;
    EXPECT_EQ(applyKey(key, s, tile), KeyEffect::Settings) << "key " << key;
    EXPECT_EQ(tile, 1) << "key " << key;
    for (const ParamKey& k : kParamKeys) {
        const std::int32_t want = std::strcmp(k.name, name) == 0 ? expected : getParam(start, k);
        EXPECT_EQ(getParam(s, k), want) << "key " << key << " field " << k.name;
    }
}

struct KeyStep {
    unsigned key;
    const char* field;
    int amount;
};

}  // namespace

TEST(Keyboard, EachDigitRaisesOneAmountByEightAndTheKeyBelowItLowersItAgain) {
    // On the keyboard the letter row sits under the digits: 1 over Q, ..., 9 over O.
    const char digits[] = "123456789", below[] = "QWERTYUIO";
    const char* const channels[] = {"_r", "_g", "_b"};
    PatternSettings start;
    start.base_r = 40, start.vx_g = -7, start.vy_b = 1000;
    std::set<std::string> raised;
    for (int i = 0; i < 9; ++i) {
        PatternSettings s = start;
        std::int8_t tile = 1;
        ASSERT_EQ(applyKey(static_cast<unsigned>(digits[i]), s, tile), KeyEffect::Settings) << digits[i];
        std::vector<std::string> changed;
        for (const ParamKey& k : kParamKeys)
            if (getParam(s, k) != getParam(start, k)) changed.push_back(k.name);
        ASSERT_EQ(changed.size(), 1u) << digits[i];
        const std::string name = changed[0];
        EXPECT_EQ(field(s, name.c_str()), field(start, name.c_str()) + 8) << digits[i];
        // One of the nine amounts, and the three keys of a group are red,
        // green and blue in that order.
        EXPECT_TRUE(name.rfind("base_", 0) == 0 || name.rfind("vx_", 0) == 0 || name.rfind("vy_", 0) == 0) << name;
        EXPECT_EQ(name.substr(name.size() - 2), channels[i % 3]) << digits[i];
        raised.insert(name);
        ASSERT_EQ(applyKey(static_cast<unsigned>(below[i]), s, tile), KeyEffect::Settings) << below[i];
        EXPECT_EQ(s, start) << below[i] << " does not undo " << digits[i];
        EXPECT_EQ(tile, 1);
    }
    EXPECT_EQ(raised.size(), 9u) << "two digits raise the same amount";
}

TEST(Keyboard, OffsetAndPositionKeysStepByFour) {
    const KeyStep steps[] = {
        {'G', "basew", 4}, {'B', "basew", -4}, {'H', "baseh", 4}, {'N', "baseh", -4},
        {'J', "basex", 4}, {'M', "basex", -4}, {'K', "basey", 4}, {0xBC, "basey", -4},
    };
    PatternSettings start;
    start.basew = 10;
    start.baseh = -20;
    start.basex = 7;
    start.basey = -3;
    for (const KeyStep& st : steps) expectStep(st.key, start, st.field, field(start, st.field) + st.amount);
}

TEST(Keyboard, ArrowsResizeAndRepairTheSize) {
    PatternSettings s;
    expectStep(0x27, s, "bmpw", 132);  // Right
    expectStep(0x25, s, "bmpw", 124);  // Left
    expectStep(0x28, s, "bmph", 132);  // Down
    expectStep(0x26, s, "bmph", 124);  // Up

    // Stepping past either end falls back to the default size, not to the
    // nearest valid one.
    s.bmpw = 2048;
    expectStep(0x27, s, "bmpw", 128);
    s.bmpw = 4;
    expectStep(0x25, s, "bmpw", 128);
    s.bmpw = 5;
    expectStep(0x25, s, "bmpw", 1);
    s.bmph = 2046;
    expectStep(0x28, s, "bmph", 128);
    s.bmph = 2;
    expectStep(0x26, s, "bmph", 128);
}

TEST(Keyboard, OnlyTheArrowsRepairOtherFields) {
    PatternSettings broken;
    broken.min_r = -5;   // repaired to 0
    broken.max_g = 999;  // repaired to 255
    broken.accuracy = 0; // repaired to 1

    PatternSettings s = broken;
    std::int8_t tile = 1;
    applyKey('1', s, tile);
    EXPECT_EQ(s.min_r, -5);
    EXPECT_EQ(s.max_g, 999);
    EXPECT_EQ(s.accuracy, 0);
    applyKey('F', s, tile);
    applyKey('J', s, tile);
    EXPECT_EQ(s.min_r, -5);

    s = broken;
    applyKey(0x27, s, tile);
    EXPECT_EQ(s.min_r, 0);
    EXPECT_EQ(s.max_g, 255);
    EXPECT_EQ(s.accuracy, 1);
    EXPECT_EQ(s.bmpw, 132);
}

TEST(Keyboard, AmountsGoFarOutOfRangeWithoutLimit) {
    PatternSettings s;
    std::int8_t tile = 1;
    for (int i = 0; i < 32; ++i) applyKey('1', s, tile);
    EXPECT_EQ(s.base_r, 256);
    for (int i = 0; i < 100; ++i) applyKey('B', s, tile);
    EXPECT_EQ(s.basew, -1 - 400);
}

TEST(Keyboard, StepsWrapAroundTheThirtyTwoBitRange) {
    PatternSettings s;
    std::int8_t tile = 1;
    s.base_r = INT32_MAX - 3;
    applyKey('1', s, tile);
    EXPECT_EQ(s.base_r, INT32_MIN + 4);
    s.vy_b = INT32_MIN + 5;
    applyKey('O', s, tile);
    EXPECT_EQ(s.vy_b, INT32_MAX - 2);
    s.basey = INT32_MIN;
    applyKey(0xBC, s, tile);
    EXPECT_EQ(s.basey, INT32_MAX - 3);
    s.basex = INT32_MAX;
    applyKey('J', s, tile);
    EXPECT_EQ(s.basex, INT32_MIN + 3);
}

TEST(Keyboard, CyclingKeysWrapAtTheirCount) {
    PatternSettings s;
    std::int8_t tile = 1;
    const char* modeFields[] = {"mode_r", "mode_g", "mode_b"};
    const unsigned modeKeys[] = {'A', 'S', 'D'};
    for (int c = 0; c < 3; ++c) {
        for (int expected : {1, 2, 3, 0, 1}) {
            const PatternSettings before = s;
            applyKey(modeKeys[c], s, tile);
            EXPECT_EQ(field(s, modeFields[c]), expected) << modeFields[c];
            PatternSettings other = s;
            setField(other, modeFields[c], field(before, modeFields[c]));
            EXPECT_EQ(other, before) << "key " << modeKeys[c] << " changed another field";
        }
    }
    for (int expected : {1, 2, 3, 4, 5, 0}) {
        applyKey('F', s, tile);
        EXPECT_EQ(s.pat_x, expected);
        applyKey('V', s, tile);
        EXPECT_EQ(s.pat_y, expected);
    }
}

TEST(Keyboard, CyclingKeepsTheSignOfANegativeValue) {
    // Values read from a file may be negative or large; the remainder takes
    // the sign of the dividend, so they approach zero rather than jumping
    // into the valid range.
    PatternSettings s;
    std::int8_t tile = 1;
    s.mode_r = -3;
    applyKey('A', s, tile);
    EXPECT_EQ(s.mode_r, -2);
    s.mode_g = -1;
    applyKey('S', s, tile);
    EXPECT_EQ(s.mode_g, 0);
    s.pat_x = -128;  // -127 = -21 * 6 - 1
    applyKey('F', s, tile);
    EXPECT_EQ(s.pat_x, -1);
    s.pat_y = 127;  // 128 = 21 * 6 + 2: no overflow of the byte
    applyKey('V', s, tile);
    EXPECT_EQ(s.pat_y, 2);
    s.mode_b = 127;  // 128 = 32 * 4
    applyKey('D', s, tile);
    EXPECT_EQ(s.mode_b, 0);
}

TEST(Keyboard, EnterTogglesTileDisplayOnly) {
    PatternSettings s;
    s.basex = 12;
    const PatternSettings before = s;
    std::int8_t tile = 1;
    EXPECT_EQ(applyKey(0x0D, s, tile), KeyEffect::TileToggled);
    EXPECT_EQ(tile, 0);
    EXPECT_EQ(applyKey(0x0D, s, tile), KeyEffect::TileToggled);
    EXPECT_EQ(tile, 1);
    tile = -7;  // any nonzero flag from a file means "on"
    applyKey(0x0D, s, tile);
    EXPECT_EQ(tile, 0);
    EXPECT_EQ(s, before);
}

TEST(Keyboard, OtherKeysDoNothing) {
    // C belongs to Ctrl+C through the accelerators; lower-case codes are
    // other virtual keys (0x6A is the keypad's multiply), not letters.
    const unsigned keys[] = {'Z', 'X', 'C', 'L', 'P', '0', ' ', 'j', 0x6A, 0x70, 0x2E, 0xBE, 0x10, 0x11, 0x12, 0};
    for (unsigned key : keys) {
        PatternSettings s;
        std::int8_t tile = 1;
        EXPECT_EQ(applyKey(key, s, tile), KeyEffect::None) << "key " << key;
        EXPECT_EQ(s, PatternSettings()) << "key " << key;
        EXPECT_EQ(tile, 1) << "key " << key;
    }
}
