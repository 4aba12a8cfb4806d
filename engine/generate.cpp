#include "generate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "channel.h"
#include "int32_math.h"
#include "render_fast.h"
#include "tile_measure.h"

// How a random set tiles. Every channel is a function of a column wave and a
// row wave, so a column of the image repeats after `lambda` pixels whenever
// both waves and the dither matrix do: the full waves repeat after 4 periods,
// the half and absolute ones after 2, and a proportional ramp closes after one
// period when its amount is a whole number of edge-mode cycles (256 for Loop,
// 510 and 512 for the turns), the dither matrix after 16 supersamples. A side
// of k * lambda + r pixels then puts on the wrap either the same pair of
// pixels as an inner boundary (r = 0 with k >= 2, or r = 2) or two equal
// pixels (r = 1), which is never a seam (the sine methods repeat only to the
// rounding of their doubles, a difference of one in a rare sample). The sizes
// of the waves are then bounded so that the mean neighbour difference stays
// well below noise, and a look at a few pixels rejects the rare flat draw.

namespace {

using PS = PatternSettings;

// splitmix64: tiny, and the same numbers everywhere, unlike the standard
// library's distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::int32_t below(std::int32_t n) {
        return n <= 1 ? 0 : static_cast<std::int32_t>(next() % static_cast<std::uint64_t>(n));
    }
    std::int32_t range(std::int32_t lo, std::int32_t hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    std::int32_t sign() { return chance(50) ? 1 : -1; }

private:
    std::uint64_t state_;
};

struct Channel {
    std::int32_t PS::*base;
    std::int32_t PS::*vx;
    std::int32_t PS::*vy;
    std::int8_t PS::*mode;
    std::int32_t PS::*dg;
    std::int32_t PS::*dth;
    std::int32_t PS::*max;
    std::int32_t PS::*min;
};
const Channel kChannels[3] = {
    {&PS::base_r, &PS::vx_r, &PS::vy_r, &PS::mode_r, &PS::dg_r, &PS::dth_r, &PS::max_r, &PS::min_r},
    {&PS::base_g, &PS::vx_g, &PS::vy_g, &PS::mode_g, &PS::dg_g, &PS::dth_g, &PS::max_g, &PS::min_g},
    {&PS::base_b, &PS::vx_b, &PS::vy_b, &PS::mode_b, &PS::dg_b, &PS::dth_b, &PS::max_b, &PS::min_b},
};

constexpr std::int64_t kInt32Max = 2147483647;

bool isProportional(std::int8_t method) { return method < WaveTriangle || method > WaveSineAbsolute; }
// Periods per repeat of the wave: a proportional ramp closes after one.
std::int32_t periodsPerRepeat(std::int8_t method) {
    if (isProportional(method)) return 1;
    return method == WaveTriangle || method == WaveSine ? 4 : 2;
}
std::int8_t effectiveMode(std::int8_t mode) { return mode >= EdgeLimit && mode <= EdgeTurnSlow ? mode : static_cast<std::int8_t>(EdgeLoop); }
// The raw amount after which a mode's folding repeats; 0 for Limit.
std::int32_t modeCycle(std::int8_t mode) {
    switch (effectiveMode(mode)) {
        case EdgeLimit: return 0;
        case EdgeTurnFast: return 510;
        case EdgeTurnSlow: return 512;
        default: return 256;
    }
}
bool fitsDialog(std::int64_t v) { return v >= -99999999 && v <= 999999999; }
std::int32_t gcd(std::int32_t a, std::int32_t b) { return b == 0 ? a : gcd(b, a % b); }

struct Repeat {
    std::int32_t length;  // lambda, pixels
    std::int32_t count;   // k
};

// The repeat lengths that tile a side, fewest repeats first. Each is a
// multiple of `step` and keeps its period (lambda / periods) times the
// accuracy within the renderer's bound.
std::vector<Repeat> repeatsFor(std::int32_t side, std::int32_t step, std::int32_t periods, std::int64_t accuracy) {
    std::vector<Repeat> out;
    // A ramp costs a whole mode cycle per repeat, affordable only on long
    // repeats; a wave needs two pixels per period to be more than stripes.
    const std::int32_t minLength = std::max(step, periods == 1 ? 32 : 2 * periods);
    for (std::int32_t k = 1; k * minLength <= side; ++k)
        for (std::int32_t r = 0; r <= 2; ++r) {
            const std::int32_t rest = side - r;
            if ((r == 0 && k < 2) || rest % k != 0) continue;
            const std::int32_t length = rest / k;
            if (length < minLength || length % step != 0) continue;
            if (static_cast<std::int64_t>(length / periods) * accuracy > kMaxScaledPeriod) continue;
            out.push_back({length, k});
        }
    return out;
}

// Mean neighbour difference one channel's wave adds along its direction, per
// pixel, before the output range scales it: the wave's travel per repeat plus
// 255 for every Loop wrap it may cross, spread over the repeat.
double waveCost(std::int8_t method, std::int32_t amp, std::int8_t mode, std::int32_t length) {
    if (amp == 0) return 0;
    const double a = std::fabs(static_cast<double>(amp));
    const std::int32_t periods = periodsPerRepeat(method);
    const double travel = periods * a;  // ramp a, full wave 4a, half 2a
    const double swing = periods == 4 ? 2 * a : a;
    double wraps = 0;
    if (effectiveMode(mode) == EdgeLoop)
        wraps = periods == 1 ? a / 256 + 1 : 2 * (std::floor(swing / 256) + 1);
    return (travel + 255 * wraps) / length;
}

struct Axis {
    std::int32_t side = 1;
    std::int8_t method = WaveProportional;
    bool live = false;        // waves along this axis are allowed
    std::int32_t length = 1;  // repeat length
    std::int32_t period = 1;
};

// The amplitude of one channel's wave along one axis within its share of the
// noise budget; 0 when even a small wave would exceed it.
std::int32_t pickAmplitude(Rng& rng, const Axis& ax, std::int8_t mode, double rangeFactor, double share,
                           bool lead, std::int64_t accuracy) {
    if (!ax.live) return 0;
    const std::int64_t maxPos = 2 * static_cast<std::int64_t>(ax.side) * accuracy;  // basex within one side
    if (isProportional(ax.method)) {
        const std::int32_t cycle = modeCycle(mode);
        if (cycle == 0) return 0;  // a clamped ramp never closes
        for (std::int32_t j = rng.range(1, 2); j >= 1; --j) {
            const std::int32_t amp = j * cycle;
            if (waveCost(ax.method, amp, mode, ax.length) * rangeFactor <= share &&
                maxPos * amp <= kInt32Max)
                return amp * rng.sign();
        }
        return 0;
    }
    const std::int32_t periods = periodsPerRepeat(ax.method);
    std::int32_t swing = lead ? rng.range(160, 512) : rng.range(16, 600);
    std::int32_t amp = periods == 4 ? std::max(swing / 2, 1) : swing;
    // The triangles multiply the position within a period by the amplitude.
    if (ax.method == WaveTriangle || ax.method == WaveTriangleHalf)
        amp = static_cast<std::int32_t>(std::min<std::int64_t>(amp, kInt32Max / (ax.period * accuracy)));
    while (amp > 8 && waveCost(ax.method, amp, mode, ax.length) * rangeFactor > share) amp = amp * 3 / 4;
    if (amp < 1 || waveCost(ax.method, amp, mode, ax.length) * rangeFactor > share) return 0;
    return amp * rng.sign();
}

// Pixels spread over the image: a cheap look at a picture without rendering
// all of it. A set of distinct colours among them is one in the image too.
std::vector<std::uint32_t> samplePixels(const PatternSettings& s) {
    const std::int64_t n = std::max<std::int32_t>(s.accuracy, 1);
    // About 200,000 samples (a few milliseconds); none at all at accuracies
    // where even nine pixels would cost more, and whose renders take hours.
    const std::int64_t affordable = 200000 / (n * n);
    if (affordable < 9) return {};
    const std::int32_t grid = static_cast<std::int32_t>(
        std::min<std::int64_t>(8, static_cast<std::int64_t>(std::sqrt(static_cast<double>(affordable)))));
    std::vector<std::uint32_t> row(static_cast<std::size_t>(s.bmpw)), out;
    for (std::int32_t j = 0; j < grid; ++j) {
        const std::int32_t y = static_cast<std::int32_t>(static_cast<std::int64_t>(j) * s.bmph / grid);
        for (std::int32_t i = 0; i < grid; ++i) {
            const std::int32_t x = static_cast<std::int32_t>(static_cast<std::int64_t>(i) * s.bmpw / grid);
            renderReferencePixels(s, row.data(), y, x, x + 1);
            out.push_back(row[static_cast<std::size_t>(x)]);
        }
    }
    return out;
}

int colourDifference(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d += std::abs(static_cast<int>((a >> shift) & 0xFFu) - static_cast<int>((b >> shift) & 0xFFu));
    return d;
}

std::size_t distinctColours(std::vector<std::uint32_t> px) {
    std::sort(px.begin(), px.end());
    return static_cast<std::size_t>(std::unique(px.begin(), px.end()) - px.begin());
}

PatternSettings drawSettings(const PatternSettings& keep, Rng& rng) {
    PatternSettings s;
    s.bmpw = keep.bmpw;
    s.bmph = keep.bmph;
    s.accuracy = keep.accuracy;
    const std::int64_t n = std::max<std::int32_t>(keep.accuracy, 1);
    // The dither matrix repeats every 16 supersamples, every 16 / gcd pixels.
    const std::int32_t ditherStep = 16 / gcd(16, static_cast<std::int32_t>(n % 16 == 0 ? 16 : n % 16));

    Axis axes[2];
    axes[0].side = std::max<std::int32_t>(s.bmpw, 1);
    axes[1].side = std::max<std::int32_t>(s.bmph, 1);
    bool ditherFits = true;
    for (Axis& ax : axes) {
        std::int8_t feasible[6];
        int count = 0;
        for (std::int8_t m = 0; m < 6; ++m)
            if (!repeatsFor(ax.side, periodsPerRepeat(m), periodsPerRepeat(m), n).empty()) feasible[count++] = m;
        ax.live = count > 0;
        ax.method = ax.live ? feasible[rng.below(count)] : static_cast<std::int8_t>(rng.below(6));
        const std::int32_t periods = periodsPerRepeat(ax.method);
        ditherFits = ditherFits && ax.live &&
                     !repeatsFor(ax.side, std::max(periods, ditherStep), periods, n).empty();
    }
    const bool useDither = ditherFits && rng.chance(35);
    for (Axis& ax : axes) {
        const std::int32_t periods = periodsPerRepeat(ax.method);
        if (ax.live) {
            const std::vector<Repeat> repeats =
                repeatsFor(ax.side, std::max(periods, useDither ? ditherStep : 1), periods, n);
            // Mostly few repeats: large shapes make the calmer wallpapers.
            const std::int32_t pool = std::min<std::int32_t>(static_cast<std::int32_t>(repeats.size()),
                                                             rng.range(2, 10));
            ax.length = repeats[rng.below(pool)].length;
        } else {
            ax.length = ax.side;
        }
        ax.period = std::max(ax.length / periods, 1);
    }
    s.pat_x = axes[0].method;
    s.pat_y = axes[1].method;
    // The periods come out of the percentage and the offset together.
    s.baserw = rng.chance(50) ? 100 : rng.range(0, 200);
    s.basew = axes[0].period - s.baserw * s.bmpw / 100;
    s.baserh = rng.chance(50) ? 100 : rng.range(0, 200);
    s.baseh = axes[1].period - s.bmph * s.baserh / 100;
    // A proportional ramp closes exactly only where every position is >= 0:
    // the truncating division rounds negative positions the other way.
    s.basex = rng.range(-axes[0].side, isProportional(s.pat_x) ? 0 : axes[0].side);
    s.basey = rng.range(-axes[1].side, isProportional(s.pat_y) ? 0 : axes[1].side);
    s.hue = rng.chance(40) ? rng.range(1, 1529) * (rng.chance(25) ? -1 : 1) : 0;

    // One channel carries enough of the picture that it is never flat.
    const int lead = rng.below(3);
    double budget[2] = {static_cast<double>(rng.range(24, 40)), static_cast<double>(rng.range(24, 40))};
    double weight[3], weightSum = 0;
    for (int c = 0; c < 3; ++c) {
        const Channel& ch = kChannels[c];
        s.*ch.mode = static_cast<std::int8_t>(rng.below(4));
        if (c == lead) {
            s.*ch.min = rng.chance(30) ? rng.range(0, 63) : 0;
            s.*ch.max = rng.chance(30) ? rng.range(192, 255) : 255;
            s.*ch.dg = rng.chance(20) ? rng.range(2, 16) * rng.sign() : 0;
        } else {
            s.*ch.min = rng.chance(30) ? rng.range(0, 120) : 0;
            s.*ch.max = rng.chance(30) ? rng.range(std::max(s.*ch.min, 135), 255) : 255;
            s.*ch.dg = rng.chance(20) ? rng.range(2, 48) * rng.sign() : 0;
        }
        const double rangeFactor = (s.*ch.max - s.*ch.min) / 255.0;
        if (useDither && (c == lead || rng.chance(50))) {
            s.*ch.dth = rng.range(2, 10) * rng.sign();
            for (double& b : budget) b -= std::abs(s.*ch.dth) * 0.5 * rangeFactor;
        }
        weight[c] = c == lead ? 0 : rng.range(1, 3);
        weightSum += weight[c];
    }
    // The lead takes the larger part of the budget, the others share the rest.
    auto share = [&](int c, int a) { return c == lead ? budget[a] * 0.6 : budget[a] * 0.4 * weight[c] / weightSum; };
    for (int c = 0; c < 3; ++c) {
        const Channel& ch = kChannels[c];
        const double rangeFactor = std::max((s.*ch.max - s.*ch.min) / 255.0, 1e-3);
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::int32_t amps[2];
            for (int a = 0; a < 2; ++a) {
                const bool quiet = c != lead && rng.chance(25);
                amps[a] = quiet ? 0
                                : pickAmplitude(rng, axes[a], s.*ch.mode, rangeFactor, share(c, a), c == lead, n);
            }
            s.*ch.vx = amps[0];
            s.*ch.vy = amps[1];
            // Loop's wraps cost too much on small tiles and Limit cannot
            // close a ramp; the turns fold the same waves without either.
            if (c != lead || amps[0] != 0 || amps[1] != 0) break;
            s.*ch.mode = static_cast<std::int8_t>(rng.range(EdgeTurnFast, EdgeTurnSlow));
        }
        if (effectiveMode(s.*ch.mode) == EdgeLimit) {
            // Centre the clamped waves on the middle of the range.
            std::int32_t centre = 0;
            for (int a = 0; a < 2; ++a)
                if (periodsPerRepeat(axes[a].method) == 2) centre += (a == 0 ? s.*ch.vx : s.*ch.vy) / 2;
            s.*ch.base = 128 - centre + rng.range(-64, 64);
        } else {
            s.*ch.base = rng.range(-2048, 2047);
        }
    }
    return s;
}

}  // namespace

namespace {

// The larger of the two directions' estimated mean neighbour differences.
double noiseEstimate(const PatternSettings& s) {
    double worst = 0;
    for (int a = 0; a < 2; ++a) {
        const std::int8_t method = a == 0 ? s.pat_x : s.pat_y;
        const std::int64_t period = std::max<std::int32_t>(a == 0 ? s.periodX() : s.periodY(), 1);
        const std::int32_t length = static_cast<std::int32_t>(std::min<std::int64_t>(period * periodsPerRepeat(method), kMaxImageSide));
        double sum = 0;
        for (const Channel& ch : kChannels) {
            const double rangeFactor = std::max(s.*ch.max - s.*ch.min, 0) / 255.0;
            const std::int32_t amp = a == 0 ? s.*ch.vx : s.*ch.vy;
            const double dither = std::abs(s.*ch.dth) > 1 ? std::abs(static_cast<double>(s.*ch.dth)) * 0.5 : 0;
            sum += (waveCost(method, amp, s.*ch.mode, length) + dither) * rangeFactor;
        }
        worst = std::max(worst, sum);
    }
    return worst;
}

bool hasProportionalPart(const PatternSettings& s, const Channel& ch) {
    return (isProportional(s.pat_x) && s.*ch.vx != 0) || (isProportional(s.pat_y) && s.*ch.vy != 0);
}

bool axisLive(const PatternSettings& s, std::int32_t PS::* Channel::*amp) {
    for (const Channel& ch : kChannels)
        if (s.*(ch.*amp) != 0) return true;
    return false;
}

// One change of one field that keeps a repeating tile repeating: colour
// mappings applied sample by sample, waves rescaled or swapped for another of
// the same repeat, and shifts of a whole repeating pattern. Returns the
// changed field's address, or nullptr when the drawn change does not apply.
const void* changeOne(Rng& rng, PatternSettings& s, MutateScope scope) {
    const Channel& ch = kChannels[rng.below(3)];
    auto setIfNew = [](std::int32_t& field, std::int64_t value) -> const void* {
        if (value == field || !fitsDialog(value)) return nullptr;
        field = static_cast<std::int32_t>(value);
        return &field;
    };
    // Drawn whatever the scope, so that every scope takes the same stream.
    const std::int32_t change = rng.below(11);
    if ((scope & (change <= 5 ? MutateColour : MutateShape)) == 0) return nullptr;
    switch (change) {
        case 0: {
            const std::int64_t h = (static_cast<std::int64_t>(s.hue) % 1530 + 1530) % 1530;
            return setIfNew(s.hue, (h + rng.range(200, 1330)) % 1530);
        }
        case 1:
            if (s.*ch.min < 0 || s.*ch.min > s.*ch.max || s.*ch.max > 255) return nullptr;
            return setIfNew(s.*ch.min, rng.range(0, std::max(0, s.*ch.max - 48)));
        case 2:
            if (s.*ch.min < 0 || s.*ch.min > s.*ch.max || s.*ch.max > 255) return nullptr;
            return setIfNew(s.*ch.max, rng.range(std::min(255, s.*ch.min + 48), 255));
        case 3: {
            const bool on = std::abs(static_cast<std::int64_t>(s.*ch.dg)) > 1;
            return setIfNew(s.*ch.dg, on && rng.chance(40) ? 0 : rng.range(2, 48) * rng.sign());
        }
        case 4:  // the dither matrix only where it already fits the tile
            if (std::abs(static_cast<std::int64_t>(s.*ch.dth)) <= 1) return nullptr;
            return setIfNew(s.*ch.dth, rng.chance(40) ? 0 : rng.range(2, 12) * rng.sign());
        case 5:
            // A clamped ramp's look depends on where it is clamped.
            if (effectiveMode(s.*ch.mode) == EdgeLimit && hasProportionalPart(s, ch)) return nullptr;
            return setIfNew(s.*ch.base, static_cast<std::int64_t>(s.*ch.base) + rng.range(32, 224) * rng.sign());
        case 6: {
            // Modes fold with different cycles, which a closing ramp depends on.
            if (hasProportionalPart(s, ch)) return nullptr;
            const std::int8_t mode = static_cast<std::int8_t>(rng.below(4));
            if (mode == effectiveMode(s.*ch.mode)) return nullptr;
            s.*ch.mode = mode;
            return &(s.*ch.mode);
        }
        case 7:
        case 8: {
            const bool x = rng.chance(50);
            std::int32_t& amp = x ? s.*ch.vx : s.*ch.vy;
            const std::int8_t method = x ? s.pat_x : s.pat_y;
            // A ramp closes only with its amount; turned round it closes too.
            if (isProportional(method)) return amp == 0 ? nullptr : setIfNew(amp, -static_cast<std::int64_t>(amp));
            // A new wave only joins waves that already tile.
            if (!axisLive(s, x ? &Channel::vx : &Channel::vy)) return nullptr;
            std::int64_t value = amp == 0 ? rng.range(32, 255) * rng.sign()
                                 : rng.chance(30) ? -static_cast<std::int64_t>(amp)
                                                  : static_cast<std::int64_t>(amp) * rng.range(50, 150) / 100;
            if (method == WaveTriangle || method == WaveTriangleHalf) {
                const std::int64_t period = std::max<std::int64_t>(x ? s.periodX() : s.periodY(), 1);
                const std::int64_t bound = kInt32Max / (period * std::max<std::int32_t>(s.accuracy, 1));
                value = std::max(-bound, std::min(bound, value));
            }
            return setIfNew(amp, value);
        }
        case 9: {
            const bool x = rng.chance(50);
            std::int8_t& method = x ? s.pat_x : s.pat_y;
            if (isProportional(method) || !axisLive(s, x ? &Channel::vx : &Channel::vy)) return nullptr;
            if (method == WaveTriangle || method == WaveSine)
                method = method == WaveTriangle ? WaveSine : WaveTriangle;
            else if (method == WaveSineHalf)
                method = rng.chance(50) ? WaveTriangleHalf : WaveSineAbsolute;
            else
                method = WaveSineHalf;
            return &method;
        }
        default: {
            // Shifting a ramp would move positions below 0, where it no longer closes.
            const bool x = rng.chance(50);
            if (isProportional(x ? s.pat_x : s.pat_y) || !axisLive(s, x ? &Channel::vx : &Channel::vy))
                return nullptr;
            std::int32_t& base = x ? s.basex : s.basey;
            const std::int32_t side = x ? s.bmpw : s.bmph;
            return setIfNew(base, static_cast<std::int64_t>(base) + rng.range(1, std::max(1, side / 4)) * rng.sign());
        }
    }
}

// The values of the kinds outside scope, taken from keep.
void keepOutOfScope(PatternSettings& s, const PatternSettings& keep, MutateScope scope) {
    if ((scope & MutateColour) == 0) {
        for (const Channel& ch : kChannels)
            for (std::int32_t PS::*f : {ch.base, ch.dg, ch.dth, ch.max, ch.min}) s.*f = keep.*f;
        s.hue = keep.hue;
    }
    if ((scope & MutateShape) == 0) {
        for (const Channel& ch : kChannels) {
            s.*ch.vx = keep.*ch.vx;
            s.*ch.vy = keep.*ch.vy;
            s.*ch.mode = keep.*ch.mode;
        }
        for (std::int32_t PS::*f : {&PS::basew, &PS::baseh, &PS::baserw, &PS::baserh, &PS::basex, &PS::basey})
            s.*f = keep.*f;
        s.pat_x = keep.pat_x;
        s.pat_y = keep.pat_y;
    }
}

// Whether a dither, if any, repeats with both waves: the matrix repeats every
// 16 supersamples, each wave after periodsPerRepeat periods.
bool ditherRepeats(const PatternSettings& s) {
    bool dithered = false;
    for (const Channel& ch : kChannels) dithered = dithered || std::abs(static_cast<std::int64_t>(s.*ch.dth)) > 1;
    const std::int32_t n = std::max<std::int32_t>(s.accuracy, 1) % 16;
    const std::int64_t step = 16 / gcd(16, n == 0 ? 16 : n);
    return !dithered || ((static_cast<std::int64_t>(s.periodX()) * periodsPerRepeat(s.pat_x)) % step == 0 &&
                         (static_cast<std::int64_t>(s.periodY()) * periodsPerRepeat(s.pat_y)) % step == 0);
}

}  // namespace

PatternSettings randomSettings(const PatternSettings& keep, std::uint64_t seed, MutateScope scope) {
    Rng rng(seed);
    PatternSettings s;
    // Rarely the waves, posterised or clamped, leave too few colours; the
    // next draw from the same seed's stream does better. Kept values join
    // new ones that were drawn without them, which may also give noise or a
    // dither that breaks the tile.
    for (int attempt = 0; attempt < 16; ++attempt) {
        s = drawSettings(keep, rng);
        if (scope != MutateAll) {
            keepOutOfScope(s, keep, scope);
            if (noiseEstimate(s) > 40 || !ditherRepeats(s)) continue;
        }
        const std::vector<std::uint32_t> look = samplePixels(s);
        if (look.size() < TileMeasure::kEnoughColours || distinctColours(look) >= TileMeasure::kEnoughColours) break;
    }
    return s;
}

PatternSettings mutateSettings(const PatternSettings& current, std::uint64_t seed, MutateScope scope) {
    Rng rng(seed);
    const std::vector<std::uint32_t> before = samplePixels(current);
    PatternSettings best = current;
    std::size_t bestShown = 0;
    for (int attempt = 0; attempt < 24; ++attempt) {
        PatternSettings s = current;
        const int wanted = rng.range(1, 4);
        // Fields by their offset, so that each counts once.
        std::vector<std::ptrdiff_t> changed;
        for (int tries = 0; tries < 64 && static_cast<int>(changed.size()) < wanted; ++tries) {
            PatternSettings trial = s;
            const void* field = changeOne(rng, trial, scope);
            if (field == nullptr) continue;
            const std::ptrdiff_t offset =
                static_cast<const char*>(field) - reinterpret_cast<const char*>(&trial);
            if (std::find(changed.begin(), changed.end(), offset) != changed.end()) continue;
            changed.push_back(offset);
            s = trial;
        }
        // Changes must not turn a picture into noise, nor flatten it.
        if (noiseEstimate(s) > std::max(40.0, noiseEstimate(current))) continue;
        const std::vector<std::uint32_t> after = samplePixels(s);
        if (distinctColours(after) < std::min<std::size_t>(TileMeasure::kEnoughColours, distinctColours(before)))
            continue;
        std::size_t shown = 0;
        for (std::size_t i = 0; i < before.size(); ++i) shown += colourDifference(before[i], after[i]) >= 24;
        if (shown * 8 >= before.size() && (shown > 0 || before.empty())) return s;
        if (shown > bestShown || best == current) {
            best = s;
            bestShown = shown;
        }
    }
    if (best != current) return best;
    if (scope & MutateColour) {
        // Half a turn of the hue changes any picture that has colour at all.
        best.hue = static_cast<std::int32_t>(((current.hue % 1530) + 1530 + 765) % 1530);
    } else {
        // The picture mirrored: every wave turned round, which tiles as before.
        for (const Channel& ch : kChannels) {
            best.*ch.vx = i32::neg(best.*ch.vx);
            best.*ch.vy = i32::neg(best.*ch.vy);
        }
    }
    return best;
}
