#include "zoom.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <optional>

#include "channel.h"
#include "int32_math.h"
#include "repeat.h"

namespace {

using namespace tiling;
using PS = PatternSettings;

constexpr std::int64_t kInt32Max = 2147483647;

// The fields of one axis, x first.
struct Axis {
    std::int32_t PS::*origin;
    std::int32_t PS::*offset;
    std::int32_t PS::*side;
    std::int8_t PS::*method;
    std::int32_t PS::*amount[3];
};
const Axis kAxes[2] = {
    {&PS::basex, &PS::basew, &PS::bmpw, &PS::pat_x, {&PS::vx_r, &PS::vx_g, &PS::vx_b}},
    {&PS::basey, &PS::baseh, &PS::bmph, &PS::pat_y, {&PS::vy_r, &PS::vy_g, &PS::vy_b}},
};

std::int32_t periodOf(const PS& s, int a) { return a == 0 ? s.periodX() : s.periodY(); }
std::int64_t accuracyOf(const PS& s) { return std::max<std::int32_t>(s.accuracy, 1); }

// The percentage part of the period stays; the offset takes the change, so
// that the period is exactly the one asked for.
void setPeriod(PS& s, int a, std::int32_t period) {
    const std::int32_t percentPart = a == 0 ? i32::mul(s.baserw, s.bmpw) / 100 : i32::mul(s.bmph, s.baserh) / 100;
    s.*kAxes[a].offset = i32::sub(period, percentPart);
}

bool dithered(const PS& s) {
    for (int c = 0; c < 3; ++c)
        if (channelOf(s, c).dither < -1 || channelOf(s, c).dither > 1) return true;
    return false;
}

bool closes(const PS& s, int a) {
    if (!isProportional(s.*kAxes[a].method)) return true;
    for (int c = 0; c < 3; ++c)
        if (!rampCloses(s.*kAxes[a].amount[c], s.*kChannelFields[c].mode)) return false;
    return true;
}

// What a repeat must be a multiple of: its periods, and where dithered the
// matrix's repeat (both powers of two, so the larger is their multiple).
std::int32_t stepOf(const PS& s, int a) {
    return std::max(periodsPerRepeat(s.*kAxes[a].method), dithered(s) ? ditherRepeat(accuracyOf(s)) : 1);
}

// The longest period the renderer draws exactly: scaled by the accuracy
// within its bound, and for the triangles, which multiply the position
// within a period by the amount, a product within 32 bits.
std::int64_t periodLimit(const PS& s, int a) {
    const std::int64_t n = accuracyOf(s);
    std::int64_t limit = kMaxScaledPeriod / n;
    const std::int8_t method = s.*kAxes[a].method;
    if (method == WaveTriangle || method == WaveTriangleHalf)
        for (const auto amount : kAxes[a].amount)
            if (s.*amount != 0) limit = std::min<std::int64_t>(limit, kInt32Max / (std::llabs(s.*amount) * n));
    return limit;
}

// The nearest repeat with fewer (larger) or more repeats and the same rest
// that a random wallpaper could have had.
std::optional<Repeat> nextRepeat(const PS& s, int a, const Repeat now, bool larger) {
    const std::int32_t periods = periodsPerRepeat(s.*kAxes[a].method);
    const std::int64_t limit = periodLimit(s, a);
    std::optional<Repeat> best;
    for (const Repeat& r : repeatsFor(s.*kAxes[a].side, stepOf(s, a), periods, accuracyOf(s))) {
        const bool onward = larger ? r.count < now.count : r.count > now.count;
        if (!onward || r.rest != now.rest || r.length / periods > limit) continue;
        if (!best || std::abs(r.count - now.count) < std::abs(best->count - now.count)) best = r;
    }
    return best;
}

// About 10 % a step and at least a pixel, within the renderer's bounds (a
// period already beyond them only shrinks).
std::int32_t nextPeriod(const PS& s, int a, std::int32_t period, bool larger) {
    const std::int64_t p = period;
    if (!larger) return static_cast<std::int32_t>(std::max<std::int64_t>(1, std::min(p - 1, (p * 10 + 5) / 11)));
    const std::int64_t limit = periodLimit(s, a);
    if (p >= limit) return period;
    return static_cast<std::int32_t>(std::min(limit, std::max(p + 1, (p * 11 + 5) / 10)));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return a % b < 0 ? q - 1 : q;
}

// The origin that keeps the pattern point at the centre of pixel `at` where
// it is while the period goes from `from` to `to`, to the nearest pixel: the
// centre's offset from the origin grows with the period. The old origin
// where the new one would not fit.
std::int32_t centredOrigin(std::int32_t origin, std::int32_t at, std::int32_t from, std::int32_t to) {
    // Bounded periods keep the products below within 64 bits.
    if (from > kMaxScaledPeriod || to > kMaxScaledPeriod) return origin;
    const std::int64_t twiceOffset = 2 * static_cast<std::int64_t>(at) + 1 - 2 * static_cast<std::int64_t>(origin);
    const std::int64_t twiceFrom = 2 * static_cast<std::int64_t>(from);
    // at + round(1/2 - twiceOffset / 2 * to / from)
    const std::int64_t moved = at + floorDiv(twiceFrom - twiceOffset * to, twiceFrom);
    return moved < INT32_MIN || moved > INT32_MAX ? origin : static_cast<std::int32_t>(moved);
}

// A ramp closes exactly only where every position is >= 0: the truncating
// division rounds negative positions the other way. Where its repeat (with
// the dither's) fits the tile, the origin moves by whole repeats to within
// one repeat at or left of 0; the picture stays as it is.
std::int32_t rampOrigin(const PS& s, int a, std::int32_t origin) {
    const std::int64_t period = periodOf(s, a);
    if (!isProportional(s.*kAxes[a].method) || !closes(s, a) || period > periodLimit(s, a)) return origin;
    const std::int64_t step = stepOf(s, a);
    const std::int64_t repeat = period / std::gcd(period, step) * step;
    if (repeat > s.*kAxes[a].side) return origin;
    std::int64_t within = origin % repeat;
    if (within > 0) within -= repeat;
    return static_cast<std::int32_t>(within);
}

}  // namespace

std::optional<Repeat> wholeRepeat(const PS& s, int a) {
    const std::int32_t period = periodOf(s, a);
    const std::int64_t length = static_cast<std::int64_t>(period) * periodsPerRepeat(s.*kAxes[a].method);
    if (!closes(s, a) || length % stepOf(s, a) != 0 || period > periodLimit(s, a)) return std::nullopt;
    for (std::int32_t r = 0; r <= 2; ++r) {
        const std::int64_t rest = static_cast<std::int64_t>(s.*kAxes[a].side) - r;
        if (rest >= length && rest % length == 0)
            return Repeat{static_cast<std::int32_t>(length), static_cast<std::int32_t>(rest / length), r};
    }
    return std::nullopt;
}

PatternSettings shiftSettings(const PatternSettings& s, std::int32_t dx, std::int32_t dy) {
    PatternSettings out = s;
    if (dx != 0) out.basex = rampOrigin(s, 0, i32::add(s.basex, dx));
    if (dy != 0) out.basey = rampOrigin(s, 1, i32::add(s.basey, dy));
    return out;
}

PatternSettings zoomSettings(const PatternSettings& s, int notches, std::int32_t x, std::int32_t y) {
    PatternSettings out = s;
    const bool larger = notches > 0;
    // More notches than any axis has steps change nothing more.
    const int steps = notches == 0 ? 0 : larger ? std::min(notches, 1024) : std::min(-(notches + 1), 1023) + 1;
    const std::int32_t at[2] = {x, y};
    for (int a = 0; a < 2; ++a) {
        const std::int32_t from = periodOf(s, a);
        std::int32_t to = from;
        std::optional<Repeat> repeat = wholeRepeat(s, a);
        for (int i = 0; i < steps; ++i) {
            if (repeat) {
                repeat = nextRepeat(s, a, *repeat, larger);
                if (!repeat) break;
                to = repeat->length / periodsPerRepeat(s.*kAxes[a].method);
            } else {
                const std::int32_t next = nextPeriod(s, a, to, larger);
                if (next == to) break;
                to = next;
            }
        }
        if (to == from) continue;
        setPeriod(out, a, to);
        const std::int32_t last = std::max<std::int32_t>(s.*kAxes[a].side, 1) - 1;
        const std::int32_t pixel = std::min(std::max<std::int32_t>(at[a], 0), last);
        out.*kAxes[a].origin = rampOrigin(out, a, centredOrigin(s.*kAxes[a].origin, pixel, from, to));
    }
    return out;
}

PatternSettings turnHue(const PatternSettings& s, int notches) {
    PatternSettings out = s;
    const std::int64_t turned = i32::modPos(s.hue, 1530) + static_cast<std::int64_t>(notches % 1530) * kHueNotch;
    out.hue = static_cast<std::int32_t>((turned % 1530 + 1530) % 1530);
    return out;
}
