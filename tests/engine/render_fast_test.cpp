// The fast renderer against the per-pixel reference: random parameter sets
// through every supersampling path, the per-value sample tables and the hue
// rotation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "channel.h"
#include "fast_common.h"
#include "hue.h"
#include "int32_math.h"
#include "reference.h"
#include "render.h"
#include "render_fast.h"

namespace {

// The sanitizer build runs everything several times slower; it checks fewer
// cases of the same kinds.
#ifdef PALLODEX_SANITIZED_BUILD
constexpr int kDefaultCases = 1000;
constexpr int kColourStride = 7;
#else
constexpr int kDefaultCases = 2000;
constexpr int kColourStride = 1;
#endif

int caseCount() {
    if (const char* env = std::getenv("PALLODEX_RENDER_CASES")) return std::atoi(env);
    return kDefaultCases;
}

std::uint32_t seedFromEnvironment() {
    if (const char* env = std::getenv("PALLODEX_RENDER_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(env, nullptr, 10));
    return 20240611u;
}

std::string describe(const PatternSettings& s) {
    std::ostringstream out;
    for (const ParamKey& k : kParamKeys) out << "--set " << k.name << "=" << getParam(s, k) << " ";
    return out.str();
}

std::vector<std::uint32_t> referenceImage(const PatternSettings& s) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(s.bmpw) * s.bmph, 0xDEADBEEFu);
    renderReference(s, px.data());
    return px;
}

// Random parameter sets. Every field is drawn from a mix of ordinary values,
// boundary values and values far outside anything the dialog offers; only the
// size and the accuracy are kept as validation leaves them (the program never
// renders anything else), and kept small enough for the reference to be quick.
class Generator {
public:
    explicit Generator(std::uint32_t seed) : rng_(seed) {}

    PatternSettings next() {
        PatternSettings s;
        std::int32_t* bases[3] = {&s.base_r, &s.base_g, &s.base_b};
        std::int32_t* vxs[3] = {&s.vx_r, &s.vx_g, &s.vx_b};
        std::int32_t* vys[3] = {&s.vy_r, &s.vy_g, &s.vy_b};
        std::int8_t* modes[3] = {&s.mode_r, &s.mode_g, &s.mode_b};
        std::int32_t* dgs[3] = {&s.dg_r, &s.dg_g, &s.dg_b};
        std::int32_t* dths[3] = {&s.dth_r, &s.dth_g, &s.dth_b};
        std::int32_t* maxs[3] = {&s.max_r, &s.max_g, &s.max_b};
        std::int32_t* mins[3] = {&s.min_r, &s.min_g, &s.min_b};
        for (int c = 0; c < 3; ++c) {
            *bases[c] = amount(600);
            *vxs[c] = amount(1000);
            *vys[c] = amount(1000);
            *modes[c] = pick(8) ? static_cast<std::int8_t>(range(0, 3)) : static_cast<std::int8_t>(range(-128, 127));
            *dgs[c] = step();
            *dths[c] = step();
            if (pick(5)) {
                *mins[c] = range(0, 255);
                *maxs[c] = range(*mins[c], 255);
            } else {
                *mins[c] = amount(300);
                *maxs[c] = amount(300);
            }
        }
        s.pat_x = method();
        s.pat_y = method();
        s.accuracy = pick(2) ? 1 : range(1, 4);
        size(s);
        s.baserw = pick(4) ? range(0, 300) : amount(200);
        s.baserh = pick(4) ? range(0, 300) : amount(200);
        s.basew = pick(3) ? range(-5, 5) : amount(100);
        s.baseh = pick(3) ? range(-5, 5) : amount(100);
        if (pick(8) == 0) nearPeriodBound(s, true);
        if (pick(8) == 0) nearPeriodBound(s, false);
        s.basex = pick(3) ? range(-40, 40) : amount(100);
        s.basey = pick(3) ? range(-40, 40) : amount(100);
        s.hue = pick(2) ? 0 : pick(4) ? range(-3060, 3060) : amount(1530);
        if (pick(3) == 0) {
            // Undithered channels with edge modes that keep low bits (Loop,
            // Turn slow, unknown modes), which the renderer takes through a
            // path of its own, often with ranges kept in 0..255.
            for (int c = 0; c < 3; ++c) {
                *dths[c] = range(-1, 1);
                if (*modes[c] == EdgeLimit || *modes[c] == EdgeTurnFast) *modes[c] = pick(2) ? EdgeLoop : EdgeTurnSlow;
                if (pick(3)) {
                    *mins[c] = range(0, 255);
                    *maxs[c] = range(*mins[c], 255);
                }
            }
        }
        return s;
    }

    // Supersampled parameter sets: accuracy 2..64 on images small enough for
    // the reference (at most 2^16 samples per channel), with the value
    // ranges the supersampling treats apart: ordinary waves (smooth or steep,
    // so that equal sample rows and columns occur), sums near the 32-bit
    // wrap (Turn fast and Limit must see the wrapped value), Limit rows whose
    // vertical wave spreads far within one pixel row, and the wild values of
    // next().
    PatternSettings supersampled() {
        PatternSettings s = next();
        s.accuracy = pick(3) ? range(2, 16) : range(17, 64);
        const std::int32_t pixels = std::max<std::int32_t>(1, 65536 / (s.accuracy * s.accuracy));
        s.bmpw = range(1, std::min(pixels, 24));
        s.bmph = range(1, std::max(1, std::min(pixels / s.bmpw, 24)));
        std::int32_t* bases[3] = {&s.base_r, &s.base_g, &s.base_b};
        std::int32_t* vxs[3] = {&s.vx_r, &s.vx_g, &s.vx_b};
        std::int32_t* vys[3] = {&s.vy_r, &s.vy_g, &s.vy_b};
        std::int8_t* modes[3] = {&s.mode_r, &s.mode_g, &s.mode_b};
        const std::uint32_t regime = rng_() % 4;
        if (regime == 3) return s;  // wild
        if (regime == 0) {
            s.baserw = range(1, 300);
            s.baserh = range(1, 300);
            s.basew = range(-5, 5);
            s.baseh = range(-5, 5);
        }
        for (int c = 0; c < 3; ++c) {
            if (regime == 0) {
                *bases[c] = range(-300, 600);
                *vxs[c] = pick(3) ? range(-400, 400) : range(-20000, 20000);
                *vys[c] = pick(3) ? range(-400, 400) : range(-20000, 20000);
            } else if (regime == 1) {
                *bases[c] = pick(2) ? INT32_MAX - range(0, 3000) : INT32_MIN + range(0, 3000);
                *vxs[c] = range(-3000, 3000);
                *vys[c] = range(-3000, 3000);
                if (pick(4)) *modes[c] = pick(2) ? EdgeTurnFast : EdgeLimit;
            } else {
                *modes[c] = EdgeLimit;
                *bases[c] = range(-1000, 1000);
                *vys[c] = (pick(2) ? 1 : -1) * range(100000, 100000000);
            }
        }
        return s;
    }

private:
    std::int32_t range(std::int32_t lo, std::int32_t hi) {
        const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
        return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(rng_() % span));
    }
    // True with probability (k - 1) / k: pick(4) is "usually".
    bool pick(std::uint32_t k) { return rng_() % k != 0; }
    std::int32_t any() { return i32::fromBits(static_cast<std::uint32_t>(rng_())); }

    // Ordinary magnitudes up to `typical`, or huge ones whose products with
    // positions wrap, or the extremes.
    std::int32_t amount(std::int32_t typical) {
        switch (rng_() % 8) {
            case 0:
                return any();
            case 1:
                return range(-2000000000, 2000000000) / range(1, 1000);
            case 2: {
                const std::int32_t e[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX, 255, 256, -256};
                return e[rng_() % 9];
            }
            default:
                return range(-typical, typical);
        }
    }

    std::int32_t step() {
        switch (rng_() % 6) {
            case 0:
                return range(-1, 1);  // off
            case 1:
                return any();
            case 2: {
                const std::int32_t e[] = {INT32_MIN, INT32_MAX, 255, -255, 256, -256, 2, -2, 3, -3, 85, 17};
                return e[rng_() % 12];
            }
            default:
                return range(-300, 300);
        }
    }

    std::int8_t method() {
        return pick(6) ? static_cast<std::int8_t>(range(0, 5)) : static_cast<std::int8_t>(range(-128, 127));
    }

    void size(PatternSettings& s) {
        static const std::int32_t kOdd[] = {1, 2, 3, 7, 13, 16, 17, 31, 61, 127, 128, 251, 257, 293, 300};
        // Mostly small images; now and then one long side up to 300.
        s.bmpw = pick(4) ? range(1, 20) : kOdd[rng_() % 15];
        s.bmph = pick(4) ? range(1, 20) : kOdd[rng_() % 15];
        if (s.bmpw > 20 && s.bmph > 20) (pick(2) ? s.bmpw : s.bmph) = range(1, 5);
        if (s.accuracy > 1 && s.bmpw * s.bmph > 300) s.accuracy = pick(2) ? 1 : 2;
    }

    // A period whose scaled value lands right at the clamp of the scaled
    // period, just below or just above it.
    void nearPeriodBound(PatternSettings& s, bool horizontal) {
        const std::int32_t target = kMaxScaledPeriod / s.accuracy + range(-2, 2);
        if (horizontal)
            s.basew = i32::sub(target, i32::mul(s.baserw, s.bmpw) / 100);
        else
            s.baseh = i32::sub(target, i32::mul(s.bmph, s.baserh) / 100);
    }

    std::mt19937 rng_;
};

}  // namespace

TEST(FastRender, MatchesTheReferenceForRandomParameterSetsAtAnyThreadCount) {
    const std::uint32_t seed = seedFromEnvironment();
    const int cases = caseCount();
    Generator gen(seed);
    for (int k = 0; k < cases; ++k) {
        const PatternSettings s = gen.next();
        const auto expected = referenceImage(s);
        for (int threads : {1, 2, 3, 7}) {
            std::vector<std::uint32_t> px(expected.size(), 0xDEADBEEFu);
            std::atomic<int> rows{0};
            RenderOptions o;
            o.threads = threads;
            o.rowsDone = &rows;
            renderImage(s, px.data(), o);
            ASSERT_EQ(rows.load(), s.bmph);
            for (std::size_t i = 0; i < px.size(); ++i)
                ASSERT_EQ(px[i], expected[i]) << "seed " << seed << " (PALLODEX_RENDER_SEED), case " << k << ", "
                                              << threads << " threads, pixel (" << i % s.bmpw << ", " << i / s.bmpw
                                              << ")\n  " << describe(s);
        }
    }
}

TEST(FastRender, SupersamplingMatchesTheReferenceOnEveryPath) {
    // Each parameter set is rendered through every way of forming the sums
    // (row tables, direct sums, the cheaper of both) with every column
    // cached at its largest size, none cached (recomputed per row), and
    // columns cached at their counted sizes until a budget of about one or
    // about half the columns' largest sizes runs out.
    const std::uint32_t seed = seedFromEnvironment() + 2;
    const int cases = std::max(1, caseCount() / 5);
    Generator gen(seed);
    using Sums = fast::SupersampleTuning::Sums;
    for (int k = 0; k < cases; ++k) {
        const PatternSettings s = gen.supersampled();
        const auto expected = referenceImage(s);
        const std::size_t perColumn = 3u * static_cast<std::size_t>(s.accuracy) + 3u;
        // Pixel sides longer than a chunk: in chunks of a third (and one) of
        // a side, with every column cached and none.
        for (std::int32_t chunk : {1 << 16, std::max(1, s.accuracy / 3), 1})
            for (Sums sums : {Sums::Auto, Sums::Tables, Sums::Direct})
            for (std::size_t cache : {std::size_t{1} << 30, std::size_t{0}, perColumn, perColumn * ((s.bmpw + 1) / 2)}) {
                if ((chunk < s.accuracy && (sums != Sums::Auto || cache == perColumn)) ||
                    (chunk == 1 && s.accuracy > 8))
                    continue;
                RenderTuning tuning;
                tuning.supersample.sums = sums;
                tuning.supersample.cacheEntries = cache;
                tuning.supersample.chunkSamples = chunk;
                RenderOptions o;
                o.threads = 2;
                std::vector<std::uint32_t> px(expected.size(), 0xDEADBEEFu);
                ASSERT_TRUE(renderImageTuned(s, px.data(), o, tuning));
                for (std::size_t i = 0; i < px.size(); ++i)
                    ASSERT_EQ(px[i], expected[i])
                        << "seed " << seed << " (PALLODEX_RENDER_SEED + 2), case " << k << ", sums "
                        << static_cast<int>(sums) << ", cache " << cache << ", chunk " << chunk << ", pixel ("
                        << i % s.bmpw << ", "
                        << i / s.bmpw << ")\n  " << describe(s);
            }
    }
}

TEST(FastRender, SampleContributionsCoverEveryValueStepAndMatrixPosition) {
    const std::int32_t steps[] = {INT32_MIN, INT32_MIN + 1, -1000, -256, -255, -64, -7, -6, -4, -2, -1, 0, 1, 2,
                                  3,         4,            5,     6,    15,   16,  85, 127, 128, 255, 256, 257,
                                  300,       INT32_MAX};
    const std::pair<std::int32_t, std::int32_t> ranges[] = {{255, 0}, {200, 100}, {INT32_MAX, INT32_MIN}, {-40, 1000}};
    for (std::int32_t dth : steps)
        for (std::int32_t dg : {0, 2, -3, 64, -64, 255, INT32_MIN})
            for (auto [max, min] : ranges)
                for (std::int32_t v = 0; v < 256; ++v) {
                    const fast::SampleContribution c = fast::sampleContribution(v, dg, dth, max, min);
                    const std::int8_t matrix = dth < 0 ? 1 : 0;
                    // All 16 x 16 matrix phases, negative coordinates included.
                    for (std::int32_t y = -8; y < 8; ++y)
                        for (std::int32_t x = -8; x < 8; ++x) {
                            const std::int32_t out = dither(posterize(v, dg), dth, x, y);
                            const std::int32_t expected = i32::mul(i32::sub(max, min), out) / 255;
                            const bool raised = ditherMatrixValue(x, y, matrix) < c.threshold;
                            ASSERT_EQ(raised ? c.high : c.low, expected)
                                << "v " << v << " dg " << dg << " dth " << dth << " range " << min << ".." << max
                                << " at " << x << "," << y;
                        }
                }
}

TEST(FastRender, HueRotatorAgreesWithRotateHueOnEveryColour) {
    for (std::int32_t hue : {1, 700, 255, 1529, -1, 1530 * 3 + 1021}) {
        const HueRotator rot(hue);
        EXPECT_FALSE(rot.isIdentity());
        // Every colour for two hues, a sparser sweep for the others.
        const std::int32_t stride = (hue == 1 || hue == 700 ? 1 : 13) * kColourStride;
        for (std::int32_t c = 0; c < (1 << 24); c += stride) {
            std::int32_t r = c & 255, g = (c >> 8) & 255, b = c >> 16;
            const std::uint32_t packed = rot.rotatePacked(r, g, b);
            rotateHue(r, g, b, hue);
            if (packed != packPixel(r, g, b))
                FAIL() << "colour " << (c & 255) << "," << ((c >> 8) & 255) << "," << (c >> 16) << " hue " << hue;
        }
    }
    // Channels outside 0..255 come from unvalidated ranges and take the
    // general path.
    const HueRotator rot(400);
    for (auto [r0, g0, b0] : {std::tuple{-5, 100, 300}, {1000, 0, 0}, {-70000, 3, 2}, {INT32_MIN, 0, INT32_MAX}}) {
        std::int32_t r = r0, g = g0, b = b0;
        rotateHue(r, g, b, 400);
        EXPECT_EQ(rot.rotatePacked(r0, g0, b0), packPixel(r, g, b)) << r0 << "," << g0 << "," << b0;
    }
    EXPECT_TRUE(HueRotator(0).isIdentity());
    EXPECT_TRUE(HueRotator(-3060).isIdentity());
}

TEST(FastRender, LargeAccuracySumsNeedSixtyFourBits) {
    // 2902 x 2902 samples of 255 add up to more than 2^31 - 1; the mean must
    // still be 255. At 300000 samples per pixel side, more samples share a
    // value within one pixel column than one cached entry can count. Green:
    // a constant 17; blue: a range 100..200 that maps 255 to 200.
    for (std::int32_t accuracy : {2902, 300000}) {
        PatternSettings s;
        s.bmpw = 1;
        s.bmph = 1;
        s.accuracy = accuracy;
        // Red: a raw value between 700 and 1300 that changes from sample row
        // to sample row and is limited to 255 everywhere.
        s.mode_r = EdgeLimit, s.base_r = 1000, s.vx_r = 0, s.vy_r = 300;
        s.pat_y = WaveTriangle;
        s.base_g = 17, s.vx_g = 0, s.vy_g = 0;
        s.base_b = 255, s.vx_b = 0, s.vy_b = 0, s.min_b = 100, s.max_b = 200;
        RenderOptions o;
        o.threads = 2;
        const auto px = renderImage(s, o);
        ASSERT_EQ(px.size(), 1u);
        EXPECT_EQ(px[0], packPixel(255, 17, 200)) << accuracy;
    }
}

TEST(FastRender, LimitSumsThatAllWrapSaturate) {
    // Red: Limit, with long periods so that the triangle halves stay within
    // 125..225 (horizontal) and 16..26 (vertical) here. The vertical wave
    // plus the base stays within int32, and the horizontal wave pushes every
    // sum past the end: past INT32_MAX to a negative value (0, mapped to 0),
    // or past INT32_MIN to a large positive one (255, mapped to
    // INT32_MAX * 255 / 255 with the product wrapping to 2^31 - 255, i.e.
    // 8421503 = 0x80807F). The range 0..INT32_MAX makes a single sample at
    // another value move the mean by far more than 1.
    using Sums = fast::SupersampleTuning::Sums;
    for (auto [base, sign, expectedRed] : {std::tuple{INT32_MAX - 50, 1, 0x00u}, {INT32_MIN + 50, -1, 0x7Fu}}) {
        PatternSettings s;
        s.bmpw = 4, s.bmph = 3, s.accuracy = 8;
        s.basex = s.basey = -5;
        s.baserw = s.baserh = 10000;
        s.pat_x = s.pat_y = WaveTriangleHalf;
        s.mode_r = EdgeLimit, s.base_r = base, s.vx_r = sign * 10000, s.vy_r = sign * 1000;
        s.min_r = 0, s.max_r = INT32_MAX;
        const auto expected = referenceImage(s);
        for (std::uint32_t p : expected) ASSERT_EQ(p & 0xFFu, expectedRed) << "not the case meant";
        for (Sums sums : {Sums::Auto, Sums::Tables, Sums::Direct}) {
            RenderTuning tuning;
            tuning.supersample.sums = sums;
            std::vector<std::uint32_t> px(expected.size());
            ASSERT_TRUE(renderImageTuned(s, px.data(), RenderOptions{}, tuning));
            EXPECT_EQ(px, expected) << "base " << base << ", sums " << static_cast<int>(sums);
        }
    }
}

TEST(FastRender, SmallImagesAtAccuraciesBeyondTheRandomOnesAgreeWithTheReference) {
    // Waves over hundreds of samples per pixel side: the mean of a triangle
    // and a sine across the supersampled pixel, dither on the sub-grid,
    // Limit and Turn edges with steep waves, and a base that makes some
    // sums wrap past 2^31.
    struct Case {
        std::int32_t w, h, accuracy;
        std::int8_t patX, patY, modeR, modeG, modeB;
        std::int32_t vxR, vyG, baseB, dthR, dgG, dthB, hue;
    };
    for (const Case& c : {Case{3, 2, 97, WaveTriangle, WaveSine, EdgeLoop, EdgeLoop, EdgeTurnFast, 255, 127, -1, 7, -9,
                               0, 100},
                          Case{2, 1, 257, WaveSine, WaveTriangleHalf, EdgeLimit, EdgeTurnFast, EdgeTurnSlow, 90000,
                               -70000, 300, 5, 0, -11, 0},
                          Case{1, 2, 600, WaveSineHalf, WaveProportional, EdgeTurnSlow, EdgeLimit, EdgeTurnFast, 4000,
                               3000, INT32_MAX - 2000, -3, 40, 17, 777}}) {
        PatternSettings s;
        s.bmpw = c.w, s.bmph = c.h, s.accuracy = c.accuracy;
        s.pat_x = c.patX, s.pat_y = c.patY;
        s.mode_r = c.modeR, s.mode_g = c.modeG, s.mode_b = c.modeB;
        s.vx_r = c.vxR, s.vy_g = c.vyG, s.base_b = c.baseB;
        s.dth_r = c.dthR, s.dg_g = c.dgG, s.dth_b = c.dthB, s.hue = c.hue;
        RenderOptions o;
        o.threads = 2;
        EXPECT_EQ(renderImage(s, o), referenceImage(s)) << describe(s);
    }
}
