#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "channel.h"
#include "pattern_settings.h"

namespace {

// One sample with no waves: the raw value is the base amount, the output
// range is the identity, so only the folding steps act on it.
int fold(int raw, int mode, int posterizeStep = 0, int ditherStep = 0, int x = 0, int y = 0) {
    const ChannelParams c{raw, 0, 0, static_cast<std::int8_t>(mode), posterizeStep, ditherStep, 255, 0};
    return evaluateChannel(x, y, c, 0, 0, 1, 1, 1);
}

// The red channel of the defaults at pixel (x, 0).
int defaultRed(int x) {
    PatternSettings s;
    return evaluateChannel(x, 0, channelOf(s, 0), s.pat_x, s.pat_y, s.periodX(), s.periodY(), s.accuracy);
}

}  // namespace

TEST(WaveValue, ProportionalAndUnknownMethods) {
    EXPECT_EQ(waveValue(0, 255, WaveProportional, 127), 0);
    EXPECT_EQ(waveValue(127, 255, WaveProportional, 127), 255);
    EXPECT_EQ(waveValue(64, 255, WaveProportional, 127), 128);
    EXPECT_EQ(waveValue(-64, 255, WaveProportional, 127), -128);  // truncates toward zero
    for (std::int8_t m : {6, 7, -1, 127, -128}) EXPECT_EQ(waveValue(50, 300, m, 7), 50 * 300 / 7) << int(m);
    // 32-bit product wraps: 10^10 mod 2^32.
    EXPECT_EQ(waveValue(100000, 100000, WaveProportional, 1), 1410065408);
}

TEST(WaveValue, TrianglesRiseFallAndRepeat) {
    const int P = 10, amp = 100;
    EXPECT_EQ(waveValue(0, amp, WaveTriangle, P), 0);
    EXPECT_EQ(waveValue(5, amp, WaveTriangle, P), 50);
    EXPECT_EQ(waveValue(10, amp, WaveTriangle, P), 100);
    EXPECT_EQ(waveValue(20, amp, WaveTriangle, P), 0);
    EXPECT_EQ(waveValue(30, amp, WaveTriangle, P), -100);
    EXPECT_EQ(waveValue(40, amp, WaveTriangle, P), 0);
    EXPECT_EQ(waveValue(-10, amp, WaveTriangle, P), -100);
    EXPECT_EQ(waveValue(-30, amp, WaveTriangle, P), 100);
    EXPECT_EQ(waveValue(10, amp, WaveTriangleHalf, P), 100);
    EXPECT_EQ(waveValue(15, amp, WaveTriangleHalf, P), 50);
    EXPECT_EQ(waveValue(20, amp, WaveTriangleHalf, P), 0);
    EXPECT_EQ(waveValue(-5, amp, WaveTriangleHalf, P), 50);
    for (int pos = -100; pos <= 100; ++pos) {
        EXPECT_EQ(waveValue(pos, amp, WaveTriangle, P), waveValue(pos + 40, amp, WaveTriangle, P));
        EXPECT_EQ(waveValue(pos, amp, WaveTriangleHalf, P), waveValue(pos + 20, amp, WaveTriangleHalf, P));
        EXPECT_GE(waveValue(pos, amp, WaveTriangleHalf, P), 0);
    }
}

TEST(WaveValue, SineMethodsTruncateDoubleResults) {
    EXPECT_EQ(waveValue(5, 100, WaveSine, 10), 70);
    EXPECT_EQ(waveValue(10, 100, WaveSine, 10), 100);
    EXPECT_EQ(waveValue(30, 100, WaveSine, 10), -100);
    EXPECT_EQ(waveValue(30, 100, WaveSineAbsolute, 10), 100);
    EXPECT_EQ(waveValue(10, 100, WaveSineHalf, 10), 100);
    EXPECT_EQ(waveValue(20, 100, WaveSineHalf, 10), 0);
    EXPECT_EQ(waveValue(15, 100, WaveSineHalf, 10), 50);
    // cos(pi/2) is not exactly 0 in double precision: 49.99999999999999.
    EXPECT_EQ(waveValue(5, 100, WaveSineHalf, 10), 49);
    for (std::int8_t m : {WaveSine, WaveSineHalf, WaveSineAbsolute}) EXPECT_EQ(waveValue(0, 12345, m, 77), 0);
}

TEST(WaveValue, OutOfRangeConversionGivesIntMin) {
    // sin(3*pi/2) is exactly -1, and -1 * -2^31 does not fit in 32 bits.
    ASSERT_EQ(std::sin(3.0 * g_pi * 0.5 / 1.0), -1.0);
    EXPECT_EQ(waveValue(3, INT32_MIN, WaveSine, 1), INT32_MIN);
    EXPECT_EQ(waveValue(1, INT32_MIN, WaveSine, 1), INT32_MIN);
    EXPECT_EQ(waveValue(1, INT32_MAX, WaveSine, 1), INT32_MAX);
}

TEST(WaveValue, ExtremePeriodsStayDefined) {
    for (std::int8_t m = 0; m < 6; ++m) {
        for (int pos : {INT32_MIN, -1, 0, 1, INT32_MAX}) {
            int v = waveValue(pos, 1000, m, kMaxScaledPeriod);
            EXPECT_LE(std::abs(v), 1000);
            // Periods beyond the bound are held at it rather than overflowing.
            EXPECT_EQ(waveValue(pos, 1000, m, INT32_MAX), v);
        }
    }
}

TEST(Dither, MatricesArePermutationsOfAllThresholds) {
    for (std::int8_t m : {0, 1}) {
        std::vector<int> seen(256, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                int d = ditherMatrixValue(x, y, m);
                ASSERT_GE(d, 0);
                ASSERT_LT(d, 256);
                ++seen[d];
                // Repeats every 16 samples, negative coordinates included.
                EXPECT_EQ(ditherMatrixValue(x - 16, y + 32, m), d);
            }
        for (int c : seen) EXPECT_EQ(c, 1);
    }
    // Bit 0 of the coordinates gives the most significant base-4 digit.
    EXPECT_EQ(ditherMatrixValue(0, 0, 0), 0);
    EXPECT_EQ(ditherMatrixValue(1, 0, 0), 2 * 64);
    EXPECT_EQ(ditherMatrixValue(0, 1, 0), 3 * 64);
    EXPECT_EQ(ditherMatrixValue(2, 0, 0), 2 * 16);
    EXPECT_EQ(ditherMatrixValue(0, 0, 1), 255);
    EXPECT_EQ(ditherMatrixValue(-1, 0, 0), 2 * 85);
    EXPECT_TRUE(ditherTest(1, 0, 129, 0));
    EXPECT_FALSE(ditherTest(1, 0, 128, 0));
}

TEST(EvaluateChannel, DefaultRedAndBlueChannels) {
    EXPECT_EQ(defaultRed(0), 0);
    EXPECT_EQ(defaultRed(127), 255);
    EXPECT_EQ(defaultRed(64), 128);
    PatternSettings s;
    auto blue = [&](int x) {
        return evaluateChannel(x, 0, channelOf(s, 2), s.pat_x, s.pat_y, s.periodX(), s.periodY(), s.accuracy);
    };
    EXPECT_EQ(blue(0), 255);
    EXPECT_EQ(blue(127), 0);
}

TEST(EvaluateChannel, EdgeModesFoldIntoByteRange) {
    EXPECT_EQ(fold(-1, EdgeLoop), 255);
    EXPECT_EQ(fold(256, EdgeLoop), 0);
    EXPECT_EQ(fold(-1, EdgeLimit), 0);
    EXPECT_EQ(fold(300, EdgeLimit), 255);
    EXPECT_EQ(fold(256, EdgeTurnFast), 254);
    EXPECT_EQ(fold(509, EdgeTurnFast), 1);
    EXPECT_EQ(fold(510, EdgeTurnFast), 0);
    EXPECT_EQ(fold(-1, EdgeTurnFast), 1);
    EXPECT_EQ(fold(256, EdgeTurnSlow), 255);
    EXPECT_EQ(fold(511, EdgeTurnSlow), 0);
    EXPECT_EQ(fold(512, EdgeTurnSlow), 0);
    EXPECT_EQ(fold(-1, EdgeTurnSlow), 0);
    EXPECT_EQ(fold(300, 9), 300 - 256);  // unknown modes loop
    EXPECT_EQ(fold(INT32_MIN, EdgeTurnFast), fold(INT32_MIN % 510 + 510, EdgeTurnFast));
}

TEST(EvaluateChannel, Posterise) {
    EXPECT_EQ(fold(31, EdgeLoop, 64), 0);
    EXPECT_EQ(fold(32, EdgeLoop, 64), 64);
    EXPECT_EQ(fold(224, EdgeLoop, 64), 255);
    EXPECT_EQ(fold(223, EdgeLoop, -64), 191);
    EXPECT_EQ(fold(255, EdgeLoop, -64), 255);
    for (int step : {-1, 0, 1})
        for (int v : {0, 17, 128, 255}) {
            EXPECT_EQ(fold(v, EdgeLoop, step), v);
            EXPECT_EQ(fold(v, EdgeLoop, 0, step), v);
        }
    // Steps whose magnitude wraps must not trap.
    EXPECT_EQ(fold(200, EdgeLoop, INT32_MIN), 255);  // negative: counted down from 255
    EXPECT_EQ(fold(200, EdgeLoop, INT32_MAX), 0);
}

TEST(EvaluateChannel, DitherOverSixteenBySixteenGrid) {
    auto count = [](int v, int step, int expectValue) {
        int n = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) n += fold(v, EdgeLoop, 0, step, x, y) == expectValue;
        return n;
    };
    EXPECT_EQ(count(255, 4, 255), 256);
    EXPECT_EQ(count(0, 4, 0), 256);
    EXPECT_EQ(count(2, 4, 4), 128);
    EXPECT_EQ(count(2, 4, 0), 128);
    EXPECT_EQ(count(255, 6, 255), 170);
    EXPECT_EQ(count(255, 6, 252), 86);
    // A negative step dithers downward from 255 with the second matrix.
    EXPECT_EQ(count(253, -4, 251), 128);
    EXPECT_EQ(count(253, -4, 255), 128);
    EXPECT_EQ(count(0, -6, 0), 170);
    // Where the raised value falls matches the matrix order.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(fold(2, EdgeLoop, 0, 4, x, y), ditherMatrixValue(x, y, 0) < 128 ? 4 : 0);
    EXPECT_EQ(fold(200, EdgeLoop, 0, INT32_MIN), 255);
    EXPECT_EQ(fold(200, EdgeLoop, 0, INT32_MAX), 0);
}

TEST(EvaluateChannel, RangeMapping) {
    auto mapped = [](int v) { return evaluateChannel(0, 0, ChannelParams{v, 0, 0, 0, 0, 0, 200, 100}, 0, 0, 1, 1, 1); };
    EXPECT_EQ(mapped(255), 200);
    EXPECT_EQ(mapped(0), 100);
    EXPECT_EQ(mapped(128), 150);
}

TEST(EvaluateChannel, SupersamplingAveragesSubPositions) {
    // n = 2 is the truncated mean of four single samples at 2x, 2x+1 and
    // 2y, 2y+1 with the periods doubled.
    const ChannelParams c{10, 300, 90, EdgeTurnSlow, 0, 6, 255, 0};
    for (std::int8_t mx : {WaveProportional, WaveTriangle, WaveSine})
        for (int x : {-3, 0, 5, 40})
            for (int y : {-1, 0, 7}) {
                auto one = [&](int sx, int sy) {
                    return evaluateChannel(sx, sy, c, mx, WaveTriangleHalf, 2 * 13, 2 * 9, 1);
                };
                int sum = one(2 * x, 2 * y) + one(2 * x + 1, 2 * y) + one(2 * x, 2 * y + 1) + one(2 * x + 1, 2 * y + 1);
                EXPECT_EQ(evaluateChannel(x, y, c, mx, WaveTriangleHalf, 13, 9, 2), sum / 4)
                    << int(mx) << " " << x << " " << y;
            }
}

TEST(EvaluateChannel, LargeSampleFactorKeepsTheAverageInRange) {
    // 255 x 2902 x 2902 no longer fits 32 bits; the average must stay 255.
    EXPECT_EQ(evaluateChannel(3, 4, ChannelParams{255, 0, 0, EdgeLoop, 0, 0, 255, 255}, 0, 0, 1, 1, 2902), 255);
    EXPECT_EQ(evaluateChannel(3, 4, ChannelParams{255, 0, 0, EdgeLimit, 0, 0, 255, 0}, 0, 0, 1, 1, 2902), 255);
}

TEST(EvaluateChannel, PeriodsBeyondTheBoundAreClamped) {
    EXPECT_EQ(scaledPeriod(1000000, 1024), kMaxScaledPeriod);
    EXPECT_EQ(scaledPeriod(127, 4), 508);
    EXPECT_EQ(scaledPeriod(INT32_MAX, INT32_MAX), kMaxScaledPeriod);
    const ChannelParams c{0, INT32_MAX, INT32_MIN, EdgeTurnFast, 3, 5, 255, 0};
    for (std::int8_t m = 0; m < kWaveMethodCount; ++m)
        for (int x : {INT32_MIN, -1, 0, 77, INT32_MAX}) {
            int v = evaluateChannel(x, x, c, m, m, 1000000, 999999, 3);
            EXPECT_GE(v, 0);
            EXPECT_LE(v, 255);
        }
}
