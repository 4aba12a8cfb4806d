#include "channel.h"

#include <cmath>

#include "int32_math.h"
#include "pattern_settings.h"

const double g_pi = std::acos(-1.0);

namespace {

// The sine methods keep this exact order of double operations: the truncated
// results depend on the rounding of every intermediate step.
double sineArgument(std::int32_t pos, std::int32_t period) {
    return static_cast<double>(pos) * g_pi * 0.5 / static_cast<double>(period);
}

}  // namespace

double trigWaveFactor(std::int32_t pos, std::int8_t method, std::int32_t P) {
    if (P < 1) P = 1;
    if (P > kMaxScaledPeriod) P = kMaxScaledPeriod;
    switch (method) {
        case WaveSine:
            return std::sin(sineArgument(pos, P));
        case WaveSineHalf: {
            double c = std::cos(static_cast<double>(pos) * g_pi / static_cast<double>(P));
            return 0.5 - c * 0.5;
        }
        default:
            return std::fabs(std::sin(sineArgument(pos, P)));
    }
}

std::int32_t waveValue(std::int32_t pos, std::int32_t amp, std::int8_t method, std::int32_t P) {
    // Callers pass periods within these bounds; holding them here keeps every
    // multiple of the period below in range for any input.
    if (P < 1) P = 1;
    if (P > kMaxScaledPeriod) P = kMaxScaledPeriod;
    switch (method) {
        case WaveTriangle: {
            std::int32_t r = i32::modPos(pos, 4 * P);
            std::int32_t t;
            if (r <= P)
                t = r;
            else if (r <= 3 * P)
                t = 2 * P - r;
            else
                t = r - 4 * P;
            return i32::mul(t, amp) / P;
        }
        case WaveTriangleHalf: {
            std::int32_t r = i32::modPos(pos, 2 * P);
            if (r > P) r = 2 * P - r;
            return i32::mul(r, amp) / P;
        }
        case WaveSine:
        case WaveSineHalf:
        case WaveSineAbsolute:
            return i32::truncDouble(trigWaveFactor(pos, method, P) * static_cast<double>(amp));
        default:
            return i32::mul(pos, amp) / P;
    }
}

int ditherMatrixValue(std::int32_t x, std::int32_t y, std::int8_t matrix) {
    // Seed values at (x even, y even), (x odd, y even), (x even, y odd), (x odd, y odd).
    static const int kSeed[2][4] = {{0, 2, 3, 1}, {3, 1, 0, 2}};
    const int* seed = kSeed[matrix ? 1 : 0];
    std::uint32_t ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
    int d = 0;
    // Bit 0 of the coordinates gives the most significant base-4 digit. Only
    // the low four bits take part, so negative coordinates use their
    // two's-complement bits exactly as an arithmetic shift would.
    for (int bit = 0; bit < 4; ++bit)
        d = d * 4 + seed[((uy >> bit) & 1u) * 2 + ((ux >> bit) & 1u)];
    return d;
}

bool ditherTest(std::int32_t x, std::int32_t y, std::int32_t threshold, std::int8_t matrix) {
    return ditherMatrixValue(x, y, matrix) < threshold;
}

std::int32_t foldEdge(std::int32_t v, std::int8_t edgeMode) {
    switch (edgeMode) {
        case EdgeLimit:
            if (v < 0) v = 0;
            if (v > 255) v = 255;
            break;
        case EdgeTurnFast: {
            // Up 0..255, back down 254..1: neither end is repeated.
            constexpr std::int32_t cycle = edgeCycle(EdgeTurnFast);
            v = i32::modPos(v, cycle);
            if (v >= 256) v = cycle - v;
            break;
        }
        case EdgeTurnSlow: {
            // Up 0..255, back down 255..0: both ends are held twice.
            constexpr std::int32_t cycle = edgeCycle(EdgeTurnSlow);
            v = i32::modPos(v, cycle);
            if (v >= 256) v = cycle - 1 - v;
            break;
        }
        default:
            break;
    }
    return i32::modPos(v, 256);
}

std::int32_t posterize(std::int32_t v, std::int32_t step) {
    if (step >= -1 && step <= 1) return v;
    bool neg = step < 0;
    std::int32_t s = i32::abs(step);
    if (neg) v = 255 - v;
    v = i32::mul(i32::div(i32::add(v, s / 2), s), s);
    if (v > 255) v = 255;
    if (neg) v = 255 - v;
    return v;
}

std::int32_t dither(std::int32_t v, std::int32_t step, std::int32_t sx, std::int32_t sy) {
    if (step >= -1 && step <= 1) return v;
    bool neg = step < 0;
    std::int32_t s = i32::abs(step);
    if (neg) v = 255 - v;
    std::int32_t q = i32::div(v, s);
    std::int32_t r = i32::sub(v, i32::mul(q, s));
    std::int32_t t = i32::div(i32::mul(i32::add(r, v >= 255 ? 1 : 0), 256), s);
    std::int32_t out = i32::mul(q, s);
    if (ditherTest(sx, sy, t, neg ? 1 : 0)) out = i32::add(out, s);
    v = out > 255 ? 255 : out;
    if (neg) v = 255 - v;
    return v;
}

std::int32_t scaledPeriod(std::int32_t period, std::int32_t factor) {
    // A scaled period above a quarter of the int32 range would make 4 x period
    // overflow in the triangle method; clamping keeps every division defined.
    std::int64_t p = static_cast<std::int64_t>(period) * factor;
    if (p > kMaxScaledPeriod) return kMaxScaledPeriod;
    return p < 1 ? 1 : static_cast<std::int32_t>(p);
}

std::int32_t evaluateChannel(std::int32_t x, std::int32_t y, const ChannelParams& c, std::int8_t methodX,
                             std::int8_t methodY, std::int32_t periodX, std::int32_t periodY, std::int32_t factor,
                             const std::atomic<bool>* cancel) {
    const std::int32_t n = factor;
    const std::int32_t range = i32::sub(c.max, c.min);
    const std::int32_t PX = scaledPeriod(periodX, n);
    const std::int32_t PY = scaledPeriod(periodY, n);
    const std::int32_t X0 = i32::mul(x, n);
    const std::int32_t Y0 = i32::mul(y, n);
    // 64 bits: 255 x n x n overflows 32 bits from n = 2902 on.
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t sx = i32::add(X0, i);
        const std::int32_t u = waveValue(sx, c.vx, methodX, PX);
        for (std::int32_t j = 0; j < n; ++j) {
            if (cancel && (j & 4095) == 0 && cancel->load(std::memory_order_relaxed)) return 0;
            const std::int32_t sy = i32::add(Y0, j);
            const std::int32_t w = waveValue(sy, c.vy, methodY, PY);
            std::int32_t v = i32::add(i32::add(u, w), c.base);
            v = foldEdge(v, c.mode);
            v = posterize(v, c.posterize);
            v = dither(v, c.dither, sx, sy);
            sum += static_cast<std::int64_t>(c.min) + i32::mul(range, v) / 255;
        }
    }
    return i32::fromBits(static_cast<std::uint32_t>(sum / n / n));
}
