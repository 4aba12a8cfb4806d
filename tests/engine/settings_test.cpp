#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "pattern_settings.h"

// The default values themselves are checked by what they draw: the known
// corner colours of the default image (render_test.cpp).
TEST(PatternSettings, EqualitySeesEveryField) {
    for (const ParamKey& k : kParamKeys) {
        PatternSettings s;
        setParam(s, k, getParam(s, k) + 3);
        EXPECT_NE(s, PatternSettings()) << k.name;
        setParam(s, k, getParam(PatternSettings(), k));
        EXPECT_EQ(s, PatternSettings()) << k.name;
    }
}

TEST(PatternSettings, ValidateRepairsImageSize) {
    for (int bad : {0, -5, 2049, INT32_MIN, INT32_MAX}) {
        PatternSettings s;
        s.bmpw = bad;
        s.bmph = bad;
        s.validate();
        EXPECT_EQ(s.bmpw, 128) << bad;
        EXPECT_EQ(s.bmph, 128) << bad;
    }
    for (int good : {1, 2048, 777}) {
        PatternSettings s;
        s.bmpw = good;
        s.bmph = good;
        s.validate();
        EXPECT_EQ(s.bmpw, good);
        EXPECT_EQ(s.bmph, good);
    }
}

TEST(PatternSettings, ValidateOrdersAndCapsRanges) {
    PatternSettings s;
    s.min_r = 300;
    s.max_r = 10;
    s.min_g = 100;
    s.max_g = 50;
    s.min_b = -20;
    s.max_b = -30;
    s.validate();
    EXPECT_EQ(s.min_r, 255);
    EXPECT_EQ(s.max_r, 255);
    EXPECT_EQ(s.min_g, 100);
    EXPECT_EQ(s.max_g, 100);
    EXPECT_EQ(s.min_b, 0);
    EXPECT_EQ(s.max_b, 0);

    PatternSettings t;
    t.max_r = 1000;
    t.min_g = 256;
    t.max_g = 300;
    t.validate();
    EXPECT_EQ(t.max_r, 255);
    EXPECT_EQ(t.min_g, 255);
    EXPECT_EQ(t.max_g, 255);
}

TEST(PatternSettings, ValidateLeavesOtherFieldsAlone) {
    PatternSettings s;
    s.base_r = -100000;
    s.vx_g = INT32_MIN;
    s.mode_b = -7;
    s.pat_x = 99;
    s.dg_r = -3;
    s.hue = 99999;
    s.basew = -5000;
    s.accuracy = -3;
    PatternSettings expected = s;
    expected.accuracy = 1;
    s.validate();
    EXPECT_EQ(s, expected);
    s.accuracy = 0;
    s.validate();
    EXPECT_EQ(s.accuracy, 1);
}

TEST(PatternSettings, PeriodsUseTruncatingIntegerArithmetic) {
    PatternSettings s;
    s.baserw = 50;
    s.bmpw = 200;
    s.basew = -1;
    EXPECT_EQ(s.periodX(), 99);
    s.baserw = 0;
    s.basew = 0;
    EXPECT_EQ(s.periodX(), 1);
    s.basew = -1000;
    EXPECT_EQ(s.periodX(), 1);
    s.baserh = 33;
    s.bmph = 100;
    s.baseh = 5;
    EXPECT_EQ(s.periodY(), 38);
    // The product wraps like a 32-bit machine's, never undefined: 2^31 / 100.
    s.baserh = 1 << 20;
    s.bmph = 2048;
    s.baseh = 0;
    EXPECT_EQ(s.periodY(), 1);
    s.baserw = INT32_MAX;
    s.bmpw = 2048;
    s.basew = 0;
    EXPECT_EQ(s.periodX(), 1);  // INT32_MAX * 2048 wraps to -2048
}

TEST(ParamKeys, NameEveryFieldOnceInFileOrder) {
    std::set<std::string> names;
    for (const ParamKey& k : kParamKeys) names.insert(k.name);
    EXPECT_EQ(names.size(), kParamKeyCount);
    EXPECT_STREQ(kParamKeys[0].name, "base_r");
    EXPECT_STREQ(kParamKeys[29].name, "baseh");
    EXPECT_STREQ(kParamKeys[30].name, "baserw");
    EXPECT_STREQ(kParamKeys[32].name, "basex");
    EXPECT_STREQ(kParamKeys[35].name, "accuracy");

    // Each key reaches a distinct field: setting one changes exactly one.
    for (const ParamKey& k : kParamKeys) {
        PatternSettings s;
        setParam(s, k, 42);
        int changed = 0;
        for (const ParamKey& other : kParamKeys)
            if (getParam(s, other) != getParam(PatternSettings(), other)) ++changed;
        EXPECT_EQ(changed, 1) << k.name;
        EXPECT_EQ(getParam(s, k), 42) << k.name;
    }
}

TEST(ParamKeys, ByteFieldsKeepTheLowByteAsSigned) {
    PatternSettings s;
    const ParamKey* mode = findParamKey("mode_r");
    ASSERT_NE(mode, nullptr);
    EXPECT_TRUE(mode->isByte);
    setParam(s, *mode, 258);
    EXPECT_EQ(s.mode_r, 2);
    setParam(s, *mode, 255);
    EXPECT_EQ(s.mode_r, -1);
    setParam(s, *findParamKey("pat_y"), -129);
    EXPECT_EQ(s.pat_y, 127);
    setParam(s, *findParamKey("hue"), -129);
    EXPECT_EQ(s.hue, -129);
    EXPECT_EQ(findParamKey("dir"), nullptr);
    EXPECT_EQ(findParamKey("flg_bit"), nullptr);
    EXPECT_EQ(findParamKey("BASE_R"), nullptr);
}
