#include "generate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "channel.h"
#include "int32_math.h"
#include "random.h"
#include "reference.h"
#include "repeat.h"
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
using namespace tiling;

constexpr std::int64_t kInt32Max = 2147483647;


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
    if (effectiveMode(mode) == EdgeLoop) {
        const double cycle = edgeCycle(EdgeLoop);
        wraps = periods == 1 ? a / cycle + 1 : 2 * (std::floor(swing / cycle) + 1);
    }
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
std::int32_t pickAmplitude(SplitMix64& rng, const Axis& ax, std::int8_t mode, double rangeFactor, double share,
                           bool lead, std::int64_t accuracy) {
    if (!ax.live) return 0;
    const std::int64_t maxPos = 2 * static_cast<std::int64_t>(ax.side) * accuracy;  // basex within one side
    if (isProportional(ax.method)) {
        const std::int32_t cycle = edgeCycle(mode);
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
// all of it, taken at a smoothness of at most 2 so that it costs well under a
// millisecond at any accuracy (a new set is made on the window's thread, at
// every key press): the colours of a smoother render are averages of the
// same waves, so a look that finds too few colours or no change finds the
// same in the real picture, give or take the averaging.
std::vector<std::uint32_t> samplePixels(const PatternSettings& settings) {
    constexpr std::int32_t kLookAccuracy = 2;
    constexpr std::int32_t grid = 8;
    PatternSettings s = settings;
    s.accuracy = std::min(std::max<std::int32_t>(s.accuracy, 1), kLookAccuracy);
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

std::size_t distinctColours(std::vector<std::uint32_t> px) {
    std::sort(px.begin(), px.end());
    return static_cast<std::size_t>(std::unique(px.begin(), px.end()) - px.begin());
}

// Picks each axis's wave method among those that can tile its side; true
// when both can also repeat with the dither matrix, every ditherStep pixels.
bool chooseMethods(Axis (&axes)[2], std::int32_t ditherStep, std::int64_t n, SplitMix64& rng) {
    bool ditherFits = true;
    for (Axis& ax : axes) {
        std::int8_t feasible[kWaveMethodCount];
        int count = 0;
        for (std::int8_t m = 0; m < kWaveMethodCount; ++m)
            if (!repeatsFor(ax.side, periodsPerRepeat(m), periodsPerRepeat(m), n).empty()) feasible[count++] = m;
        ax.live = count > 0;
        ax.method = ax.live ? feasible[rng.below(count)] : static_cast<std::int8_t>(rng.below(kWaveMethodCount));
        const std::int32_t periods = periodsPerRepeat(ax.method);
        ditherFits = ditherFits && ax.live &&
                     !repeatsFor(ax.side, std::max(periods, ditherStep), periods, n).empty();
    }
    return ditherFits;
}

// Picks each axis's repeat length, a multiple of step, and its period.
void chooseRepeats(Axis (&axes)[2], std::int32_t step, std::int64_t n, SplitMix64& rng) {
    for (Axis& ax : axes) {
        const std::int32_t periods = periodsPerRepeat(ax.method);
        if (ax.live) {
            const std::vector<Repeat> repeats = repeatsFor(ax.side, std::max(periods, step), periods, n);
            // Mostly few repeats: large shapes make the calmer wallpapers.
            const std::int32_t pool = std::min<std::int32_t>(static_cast<std::int32_t>(repeats.size()),
                                                             rng.range(2, 10));
            ax.length = repeats[rng.below(pool)].length;
        } else {
            ax.length = ax.side;
        }
        ax.period = std::max(ax.length / periods, 1);
    }
}

// The methods, periods and origin of the tile, and the hue.
void placeTile(PatternSettings& s, const Axis (&axes)[2], SplitMix64& rng) {
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
}

// How each direction's noise budget is shared among the channels: one lead
// channel carries enough of the picture that it is never flat.
struct NoiseShares {
    int lead = 0;
    double budget[2] = {0, 0};
    double weight[3] = {0, 0, 0}, weightSum = 0;
    // The lead takes the larger part of the budget, the others share the rest.
    double of(int c, int a) const { return c == lead ? budget[a] * 0.6 : budget[a] * 0.4 * weight[c] / weightSum; }
};

// Each channel's edge mode, output range, posterise and dither steps; the
// dither is paid for out of the budget.
NoiseShares drawColourSteps(PatternSettings& s, bool useDither, SplitMix64& rng) {
    NoiseShares shares;
    shares.lead = rng.below(3);
    shares.budget[0] = rng.range(24, 40);
    shares.budget[1] = rng.range(24, 40);
    for (int c = 0; c < 3; ++c) {
        const ChannelFields& ch = kChannelFields[c];
        s.*ch.mode = static_cast<std::int8_t>(rng.below(kEdgeModeCount));
        if (c == shares.lead) {
            s.*ch.min = rng.chance(30) ? rng.range(0, 63) : 0;
            s.*ch.max = rng.chance(30) ? rng.range(192, 255) : 255;
            s.*ch.posterize = rng.chance(20) ? rng.range(2, 16) * rng.sign() : 0;
        } else {
            s.*ch.min = rng.chance(30) ? rng.range(0, 120) : 0;
            s.*ch.max = rng.chance(30) ? rng.range(std::max(s.*ch.min, 135), 255) : 255;
            s.*ch.posterize = rng.chance(20) ? rng.range(2, 48) * rng.sign() : 0;
        }
        const double rangeFactor = (s.*ch.max - s.*ch.min) / 255.0;
        if (useDither && (c == shares.lead || rng.chance(50))) {
            s.*ch.dither = rng.range(2, 10) * rng.sign();
            for (double& b : shares.budget) b -= std::abs(s.*ch.dither) * 0.5 * rangeFactor;
        }
        shares.weight[c] = c == shares.lead ? 0 : rng.range(1, 3);
        shares.weightSum += shares.weight[c];
    }
    return shares;
}

// Channel c's waves within its shares of the budget, and a base amount that
// suits its edge mode.
void drawWaves(PatternSettings& s, int c, const Axis (&axes)[2], const NoiseShares& shares, std::int64_t n,
               SplitMix64& rng) {
    const ChannelFields& ch = kChannelFields[c];
    const bool lead = c == shares.lead;
    const double rangeFactor = std::max((s.*ch.max - s.*ch.min) / 255.0, 1e-3);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::int32_t amps[2];
        for (int a = 0; a < 2; ++a) {
            const bool quiet = !lead && rng.chance(25);
            amps[a] = quiet ? 0 : pickAmplitude(rng, axes[a], s.*ch.mode, rangeFactor, shares.of(c, a), lead, n);
        }
        s.*ch.vx = amps[0];
        s.*ch.vy = amps[1];
        // Loop's wraps cost too much on small tiles and Limit cannot
        // close a ramp; the turns fold the same waves without either.
        if (!lead || amps[0] != 0 || amps[1] != 0) break;
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

PatternSettings drawSettings(const PatternSettings& keep, SplitMix64& rng) {
    PatternSettings s;
    s.bmpw = keep.bmpw;
    s.bmph = keep.bmph;
    s.accuracy = keep.accuracy;
    const std::int64_t n = std::max<std::int32_t>(keep.accuracy, 1);
    const std::int32_t ditherStep = ditherRepeat(n);
    Axis axes[2];
    axes[0].side = std::max<std::int32_t>(s.bmpw, 1);
    axes[1].side = std::max<std::int32_t>(s.bmph, 1);
    const bool useDither = chooseMethods(axes, ditherStep, n, rng) && rng.chance(35);
    chooseRepeats(axes, useDither ? ditherStep : 1, n, rng);
    placeTile(s, axes, rng);
    const NoiseShares shares = drawColourSteps(s, useDither, rng);
    for (int c = 0; c < 3; ++c) drawWaves(s, c, axes, shares, n, rng);
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
        for (const ChannelFields& ch : kChannelFields) {
            const double rangeFactor = std::max(s.*ch.max - s.*ch.min, 0) / 255.0;
            const std::int32_t amp = a == 0 ? s.*ch.vx : s.*ch.vy;
            const double dither = std::abs(s.*ch.dither) > 1 ? std::abs(static_cast<double>(s.*ch.dither)) * 0.5 : 0;
            sum += (waveCost(method, amp, s.*ch.mode, length) + dither) * rangeFactor;
        }
        worst = std::max(worst, sum);
    }
    return worst;
}

bool hasProportionalPart(const PatternSettings& s, const ChannelFields& ch) {
    return (isProportional(s.pat_x) && s.*ch.vx != 0) || (isProportional(s.pat_y) && s.*ch.vy != 0);
}

bool axisLive(const PatternSettings& s, std::int32_t PS::* ChannelFields::*amp) {
    for (const ChannelFields& ch : kChannelFields)
        if (s.*(ch.*amp) != 0) return true;
    return false;
}

// The field set to value, unless that changes nothing or would not fit the
// dialog; returns the field's address, or nullptr when it is left alone.
const void* setIfNew(std::int32_t& field, std::int64_t value) {
    if (value == field || !fitsFieldText(value)) return nullptr;
    field = static_cast<std::int32_t>(value);
    return &field;
}

// Colour mappings applied sample by sample, which keep any tile a tile: the
// hue (kind 0), the output range (1, 2), the posterise (3) and the dither
// step (4).
const void* changeColourMapping(SplitMix64& rng, PatternSettings& s, const ChannelFields& ch, std::int32_t kind) {
    switch (kind) {
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
            const bool on = std::abs(static_cast<std::int64_t>(s.*ch.posterize)) > 1;
            return setIfNew(s.*ch.posterize, on && rng.chance(40) ? 0 : rng.range(2, 48) * rng.sign());
        }
        default:  // the dither matrix only where it already fits the tile
            if (std::abs(static_cast<std::int64_t>(s.*ch.dither)) <= 1) return nullptr;
            return setIfNew(s.*ch.dither, rng.chance(40) ? 0 : rng.range(2, 12) * rng.sign());
    }
}

// What the edge folding sees: the base amount, or the edge mode itself.
const void* changeFolding(SplitMix64& rng, PatternSettings& s, const ChannelFields& ch, bool mode) {
    if (!mode) {
        // A clamped ramp's look depends on where it is clamped.
        if (effectiveMode(s.*ch.mode) == EdgeLimit && hasProportionalPart(s, ch)) return nullptr;
        return setIfNew(s.*ch.base, static_cast<std::int64_t>(s.*ch.base) + rng.range(32, 224) * rng.sign());
    }
    // Modes fold with different cycles, which a closing ramp depends on.
    if (hasProportionalPart(s, ch)) return nullptr;
    const std::int8_t next = static_cast<std::int8_t>(rng.below(kEdgeModeCount));
    if (next == effectiveMode(s.*ch.mode)) return nullptr;
    s.*ch.mode = next;
    return &(s.*ch.mode);
}

// A wave of one channel rescaled, turned round, or started where the other
// channels' waves already tile.
const void* changeAmplitude(SplitMix64& rng, PatternSettings& s, const ChannelFields& ch) {
    const bool x = rng.chance(50);
    std::int32_t& amp = x ? s.*ch.vx : s.*ch.vy;
    const std::int8_t method = x ? s.pat_x : s.pat_y;
    // A ramp closes only with its amount; turned round it closes too.
    if (isProportional(method)) return amp == 0 ? nullptr : setIfNew(amp, -static_cast<std::int64_t>(amp));
    // A new wave only joins waves that already tile.
    if (!axisLive(s, x ? &ChannelFields::vx : &ChannelFields::vy)) return nullptr;
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

// One direction's waves swapped for another method of the same repeat.
const void* changeMethod(SplitMix64& rng, PatternSettings& s) {
    const bool x = rng.chance(50);
    std::int8_t& method = x ? s.pat_x : s.pat_y;
    if (isProportional(method) || !axisLive(s, x ? &ChannelFields::vx : &ChannelFields::vy)) return nullptr;
    if (method == WaveTriangle || method == WaveSine)
        method = method == WaveTriangle ? WaveSine : WaveTriangle;
    else if (method == WaveSineHalf)
        method = rng.chance(50) ? WaveTriangleHalf : WaveSineAbsolute;
    else
        method = WaveSineHalf;
    return &method;
}

// The whole repeating pattern shifted along one direction.
const void* shiftPattern(SplitMix64& rng, PatternSettings& s) {
    // Shifting a ramp would move positions below 0, where it no longer closes.
    const bool x = rng.chance(50);
    if (isProportional(x ? s.pat_x : s.pat_y) || !axisLive(s, x ? &ChannelFields::vx : &ChannelFields::vy))
        return nullptr;
    std::int32_t& base = x ? s.basex : s.basey;
    const std::int32_t side = x ? s.bmpw : s.bmph;
    return setIfNew(base, static_cast<std::int64_t>(base) + rng.range(1, std::max(1, side / 4)) * rng.sign());
}

// One change of one field that keeps a repeating tile repeating: colour
// mappings applied sample by sample, waves rescaled or swapped for another of
// the same repeat, and shifts of a whole repeating pattern. Returns the
// changed field's address, or nullptr when the drawn change does not apply.
const void* changeOne(SplitMix64& rng, PatternSettings& s, MutateScope scope) {
    const ChannelFields& ch = kChannelFields[rng.below(3)];
    // Drawn whatever the scope, so that every scope takes the same stream.
    const std::int32_t kind = rng.below(11);
    if ((scope & (kind <= 5 ? MutateColour : MutateShape)) == 0) return nullptr;
    if (kind <= 4) return changeColourMapping(rng, s, ch, kind);
    if (kind <= 6) return changeFolding(rng, s, ch, kind == 6);
    if (kind <= 8) return changeAmplitude(rng, s, ch);
    return kind == 9 ? changeMethod(rng, s) : shiftPattern(rng, s);
}

// The values of the kinds outside scope, taken from keep.
void keepOutOfScope(PatternSettings& s, const PatternSettings& keep, MutateScope scope) {
    if ((scope & MutateColour) == 0) {
        for (const ChannelFields& ch : kChannelFields)
            for (std::int32_t PS::*f : {ch.base, ch.posterize, ch.dither, ch.max, ch.min}) s.*f = keep.*f;
        s.hue = keep.hue;
    }
    if ((scope & MutateShape) == 0) {
        for (const ChannelFields& ch : kChannelFields) {
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
// ditherRepeat pixels, each wave after periodsPerRepeat periods.
bool ditherRepeats(const PatternSettings& s) {
    bool dithered = false;
    for (int c = 0; c < 3; ++c) dithered = dithered || std::abs(static_cast<std::int64_t>(channelOf(s, c).dither)) > 1;
    const std::int64_t step = ditherRepeat(std::max<std::int32_t>(s.accuracy, 1));
    return !dithered || ((static_cast<std::int64_t>(s.periodX()) * periodsPerRepeat(s.pat_x)) % step == 0 &&
                         (static_cast<std::int64_t>(s.periodY()) * periodsPerRepeat(s.pat_y)) % step == 0);
}

}  // namespace

PatternSettings randomSettings(const PatternSettings& keep, std::uint64_t seed, MutateScope scope) {
    SplitMix64 rng(seed);
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
    SplitMix64 rng(seed);
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
        for (const ChannelFields& ch : kChannelFields) {
            best.*ch.vx = i32::neg(best.*ch.vx);
            best.*ch.vy = i32::neg(best.*ch.vy);
        }
    }
    return best;
}
