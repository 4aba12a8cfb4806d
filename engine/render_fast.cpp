// The fast renderer: exactly the pixels of renderReference, computed from
// small per-render tables and shared across threads.
//
// A sample's raw value is u(sx) + w(sy) + base, where the horizontal wave u
// depends only on the sample column and the vertical wave w only on the sample
// row. So u is computed once per sample column and channel, w once per sample
// row and channel, instead of once per sample. Everything after the raw value
// (edge folding, posterising, dithering, range mapping) is a function of the
// folded value alone, except that dithering also picks one of two results by
// the matrix value at the sample; both results and the threshold that chooses
// between them are tabulated per folded value.
#include <algorithm>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "channel.h"
#include "hue.h"
#include "int32_math.h"
#include "render.h"
#include "render_fast.h"

namespace {

// Which part of the wrapped raw value an edge mode looks at. Loop keeps the
// value mod 256 (its low 8 bits), Turn slow folds the value mod 512 (its low
// 9 bits, as 512 divides 2^32), Turn fast folds the value mod 510 and Limit
// clamps it to 0..255. foldEdge gives the same result for the raw value and
// for the slot number taken from it, so a table over slots is exact.
enum class Fold { Loop, Limit, TurnFast, TurnSlow };

constexpr int kSlots = 512;
constexpr int kHueCacheBits = 12;

Fold foldOf(std::int8_t edgeMode) {
    switch (edgeMode) {
        case EdgeLimit:
            return Fold::Limit;
        case EdgeTurnFast:
            return Fold::TurnFast;
        case EdgeTurnSlow:
            return Fold::TurnSlow;
        default:
            return Fold::Loop;
    }
}

template <Fold F>
inline std::uint32_t slotOf(std::uint32_t raw) {
    if constexpr (F == Fold::Loop) {
        return raw & 255u;
    } else if constexpr (F == Fold::TurnSlow) {
        return raw & 511u;
    } else if constexpr (F == Fold::TurnFast) {
        return static_cast<std::uint32_t>(i32::modPos(i32::fromBits(raw), 510));
    } else {
        const std::int32_t v = i32::fromBits(raw);
        return v < 0 ? 0u : v > 255 ? 255u : static_cast<std::uint32_t>(v);
    }
}

bool stepActive(std::int32_t step) { return step < -1 || step > 1; }

// The two 16x16 dither matrices, indexed [matrix][row & 15][column & 15].
struct DitherMatrices {
    std::uint8_t value[2][16][16];
    DitherMatrices() {
        for (int m = 0; m < 2; ++m)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    value[m][y][x] = static_cast<std::uint8_t>(ditherMatrixValue(x, y, static_cast<std::int8_t>(m)));
    }
};

const DitherMatrices& ditherMatrices() {
    static const DitherMatrices matrices;
    return matrices;
}

// Per-channel tables, indexed by slot.
struct ChannelTables {
    Fold fold = Fold::Loop;
    bool dither = false;
    int matrix = 0;
    std::int32_t base = 0, vx = 0, vy = 0, min = 0;
    // With one sample per pixel the sample is the channel value, so the
    // minimum is added in already; with more it is added once per pixel.
    std::int32_t low[kSlots], high[kSlots], threshold[kSlots];
    // One sample per pixel, no dither: the low byte of `low`, already in its
    // place in a 0x00BBGGRR pixel.
    std::uint32_t packed[kSlots];
    bool lowInByteRange = true;  // every `low` within 0..255
};

void buildTables(ChannelTables& t, std::int32_t base, std::int32_t vx, std::int32_t vy, std::int8_t mode,
                 std::int32_t posterizeStep, std::int32_t ditherStep, std::int32_t max, std::int32_t min,
                 bool addMin) {
    t.fold = foldOf(mode);
    t.dither = stepActive(ditherStep);
    t.matrix = ditherStep < 0 ? 1 : 0;
    t.base = base;
    t.vx = vx;
    t.vy = vy;
    t.min = min;
    // Slots a fold never produces are filled too (harmlessly) so that the
    // tables need no per-mode size.
    for (std::int32_t slot = 0; slot < kSlots; ++slot) {
        const SampleContribution c = sampleContribution(foldEdge(slot, mode), posterizeStep, ditherStep, max, min);
        t.low[slot] = addMin ? i32::add(min, c.low) : c.low;
        t.high[slot] = addMin ? i32::add(min, c.high) : c.high;
        t.threshold[slot] = c.threshold;
        if (static_cast<std::uint32_t>(t.low[slot]) > 255u) t.lowInByteRange = false;
    }
}

void buildPacked(ChannelTables& t, int shift) {
    for (int slot = 0; slot < kSlots; ++slot)
        t.packed[slot] = (static_cast<std::uint32_t>(t.low[slot]) & 0xFFu) << shift;
}

// How a row's channel values leave the sample loop with one sample per pixel:
// as 32-bit values (a hue rotation follows), or packed straight into the row
// when the hue leaves colours alone and only the low byte counts.
enum Out { kValues, kPackFirst, kPackMore };

template <Fold F, bool Dither, int O>
void singleSampleRow(const ChannelTables& t, const std::int32_t* u, std::int32_t width, std::uint32_t wb,
                     const std::uint8_t* matrixRow, std::uint32_t column0, std::int32_t* values, std::uint32_t* row,
                     int shift) {
    for (std::int32_t x = 0; x < width; ++x) {
        const std::uint32_t slot = slotOf<F>(static_cast<std::uint32_t>(u[x]) + wb);
        std::int32_t v;
        if constexpr (Dither)
            v = matrixRow[(column0 + static_cast<std::uint32_t>(x)) & 15u] < t.threshold[slot] ? t.high[slot]
                                                                                                 : t.low[slot];
        else
            v = t.low[slot];
        if constexpr (O == kValues) {
            values[x] = v;
        } else {
            const std::uint32_t byte = (static_cast<std::uint32_t>(v) & 0xFFu) << shift;
            if constexpr (O == kPackFirst)
                row[x] = byte;
            else
                row[x] |= byte;
        }
    }
}

// Adds one sample row's contributions (n samples per pixel), times `weight`
// (the number of sample rows sharing them), to each pixel's 64-bit sum; sums
// wrap as unsigned values and are read back as signed. N > 0 fixes n at
// compile time for the common small factors.
template <Fold F, bool Dither, int N>
void multiSampleRow(const ChannelTables& t, const std::int32_t* u, std::int32_t width, std::int32_t n,
                    std::uint32_t wb, const std::uint8_t* matrixRow, std::uint32_t column0, std::uint64_t weight,
                    std::uint64_t* acc) {
    if constexpr (N > 0) n = N;
    std::uint32_t column = column0;
    for (std::int32_t x = 0; x < width; ++x) {
        std::int64_t s = 0;  // n contributions of at most 2^31 each
        for (std::int32_t i = 0; i < n; ++i, ++u, ++column) {
            const std::uint32_t slot = slotOf<F>(static_cast<std::uint32_t>(*u) + wb);
            if constexpr (Dither)
                s += matrixRow[column & 15u] < t.threshold[slot] ? t.high[slot] : t.low[slot];
            else
                s += t.low[slot];
        }
        acc[x] += static_cast<std::uint64_t>(s) * weight;
    }
}

using SingleFn = void (*)(const ChannelTables&, const std::int32_t*, std::int32_t, std::uint32_t,
                          const std::uint8_t*, std::uint32_t, std::int32_t*, std::uint32_t*, int);
using MultiFn = void (*)(const ChannelTables&, const std::int32_t*, std::int32_t, std::int32_t, std::uint32_t,
                         const std::uint8_t*, std::uint32_t, std::uint64_t, std::uint64_t*);

template <int O>
SingleFn pickSingle(Fold f, bool dither) {
    switch (f) {
        case Fold::Limit:
            return dither ? singleSampleRow<Fold::Limit, true, O> : singleSampleRow<Fold::Limit, false, O>;
        case Fold::TurnFast:
            return dither ? singleSampleRow<Fold::TurnFast, true, O> : singleSampleRow<Fold::TurnFast, false, O>;
        case Fold::TurnSlow:
            return dither ? singleSampleRow<Fold::TurnSlow, true, O> : singleSampleRow<Fold::TurnSlow, false, O>;
        default:
            return dither ? singleSampleRow<Fold::Loop, true, O> : singleSampleRow<Fold::Loop, false, O>;
    }
}

template <Fold F, bool Dither>
MultiFn pickMultiN(std::int32_t n) {
    switch (n) {
        case 2:
            return multiSampleRow<F, Dither, 2>;
        case 3:
            return multiSampleRow<F, Dither, 3>;
        case 4:
            return multiSampleRow<F, Dither, 4>;
        default:
            return multiSampleRow<F, Dither, 0>;
    }
}

template <Fold F>
MultiFn pickMultiD(bool dither, std::int32_t n) {
    return dither ? pickMultiN<F, true>(n) : pickMultiN<F, false>(n);
}

MultiFn pickMulti(Fold f, bool dither, std::int32_t n) {
    switch (f) {
        case Fold::Limit:
            return pickMultiD<Fold::Limit>(dither, n);
        case Fold::TurnFast:
            return pickMultiD<Fold::TurnFast>(dither, n);
        case Fold::TurnSlow:
            return pickMultiD<Fold::TurnSlow>(dither, n);
        default:
            return pickMultiD<Fold::Loop>(dither, n);
    }
}

std::int64_t fromBits64(std::uint64_t u) {
    return u <= static_cast<std::uint64_t>(INT64_MAX) ? static_cast<std::int64_t>(u)
                                                       : -static_cast<std::int64_t>(~u) - 1;
}

// Everything a row needs that is the same for every row.
struct Plan {
    const PatternSettings* s = nullptr;
    std::int32_t width = 0, n = 1, periodX = 1, periodY = 1;
    bool trigY = false;
    std::uint32_t column0 = 0;  // low bits of the first sample column, for the dither phase
    ChannelTables channel[3];
    std::vector<std::int32_t> u[3];  // horizontal wave per sample column: width x n each
    HueRotator hue{0};
    bool packDirect = false;
    // One sample per pixel, no dither and edge modes that keep low bits
    // (Loop, Turn slow): all three channels of a pixel in one pass, each a
    // masked index into its packed table.
    bool fused = false;
    std::uint32_t fusedMask[3] = {255u, 255u, 255u};
    std::vector<std::uint16_t> fusedIndex[3];  // horizontal wave & mask, per column
};

// One worker's scratch space: O(width + n).
struct Scratch {
    std::vector<std::int32_t> values[3];
    std::vector<std::uint64_t> acc;
    std::vector<std::uint32_t> wb[3];  // vertical wave + base per sample row of the current pixel row
    std::uint32_t rotated[3][kSlots];  // packed tables turned by the row's vertical wave
    // Recent hue rotations: colour 0x00BBGGRR -> rotated colour. No colour
    // has a set top byte, so ~0 marks an empty entry.
    std::vector<std::uint32_t> hueKeys, hueValues;
};

void buildPlan(Plan& p, const PatternSettings& s) {
    p.s = &s;
    p.width = s.bmpw;
    p.n = s.accuracy;
    p.periodX = scaledPeriod(s.periodX(), p.n);
    p.periodY = scaledPeriod(s.periodY(), p.n);
    p.trigY = isTrigWave(s.pat_y);
    // Sample column t = x * n + i sits at x' * n + i with x' = x - basex, so
    // its low bits are those of t - basex * n (all mod 2^32).
    p.column0 = 0u - static_cast<std::uint32_t>(s.basex) * static_cast<std::uint32_t>(p.n);
    const bool addMin = p.n == 1;
    buildTables(p.channel[0], s.base_r, s.vx_r, s.vy_r, s.mode_r, s.dg_r, s.dth_r, s.max_r, s.min_r, addMin);
    buildTables(p.channel[1], s.base_g, s.vx_g, s.vy_g, s.mode_g, s.dg_g, s.dth_g, s.max_g, s.min_g, addMin);
    buildTables(p.channel[2], s.base_b, s.vx_b, s.vy_b, s.mode_b, s.dg_b, s.dth_b, s.max_b, s.min_b, addMin);
    p.hue = HueRotator(s.hue);
    p.packDirect = p.n == 1 && p.hue.isIdentity();
    p.fused = p.n == 1;
    for (int c = 0; c < 3; ++c) {
        const ChannelTables& t = p.channel[c];
        const bool masked = t.fold == Fold::Loop || t.fold == Fold::TurnSlow;
        // With a hue rotation the packed bytes must be the whole channel values.
        p.fused = p.fused && masked && !t.dither && (p.hue.isIdentity() || t.lowInByteRange);
        p.fusedMask[c] = t.fold == Fold::TurnSlow ? 511u : 255u;
    }
    if (p.fused)
        for (int c = 0; c < 3; ++c) buildPacked(p.channel[c], 8 * c);

    const std::size_t samples = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.n);
    for (auto& u : p.u) u.resize(samples);
    const bool trigX = isTrigWave(s.pat_x);
    std::size_t t = 0;
    for (std::int32_t x = 0; x < p.width; ++x) {
        const std::int32_t X0 = i32::mul(i32::sub(x, s.basex), p.n);
        for (std::int32_t i = 0; i < p.n; ++i, ++t) {
            const std::int32_t sx = i32::add(X0, i);
            if (trigX) {
                // One sin/cos for all three channels; waveValue multiplies
                // the same double by each amplitude.
                const double f = trigWaveFactor(sx, s.pat_x, p.periodX);
                for (int c = 0; c < 3; ++c)
                    p.u[c][t] = i32::truncDouble(f * static_cast<double>(p.channel[c].vx));
            } else {
                for (int c = 0; c < 3; ++c) p.u[c][t] = waveValue(sx, p.channel[c].vx, s.pat_x, p.periodX);
            }
        }
    }
    if (p.fused)
        for (int c = 0; c < 3; ++c) {
            p.fusedIndex[c].resize(samples);
            for (std::size_t k = 0; k < samples; ++k)
                p.fusedIndex[c][k] =
                    static_cast<std::uint16_t>(static_cast<std::uint32_t>(p.u[c][k]) & p.fusedMask[c]);
        }
}

void prepareScratch(Scratch& sc, const Plan& p) {
    for (auto& v : sc.values) v.resize(static_cast<std::size_t>(p.width));
    if (p.n > 1) sc.acc.resize(static_cast<std::size_t>(p.width));
    for (auto& w : sc.wb) w.resize(static_cast<std::size_t>(p.n));
    if (!p.hue.isIdentity()) {
        sc.hueKeys.assign(std::size_t{1} << kHueCacheBits, ~0u);
        sc.hueValues.assign(std::size_t{1} << kHueCacheBits, 0u);
    }
}

void fusedRow(const Plan& p, Scratch& sc, std::uint32_t* row) {
    // The row's vertical wave moves every slot by the same amount (mod the
    // mask), so each channel's table is rotated once per row instead of the
    // wave being added to every sample.
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t* table = p.channel[c].packed;
        const std::uint32_t size = p.fusedMask[c] + 1, shift = sc.wb[c][0] & p.fusedMask[c];
        std::uint32_t* rotated = sc.rotated[c];
        std::copy(table + shift, table + size, rotated);
        std::copy(table, table + shift, rotated + (size - shift));
    }
    const std::uint16_t *ir = p.fusedIndex[0].data(), *ig = p.fusedIndex[1].data(), *ib = p.fusedIndex[2].data();
    const std::uint32_t *tr = sc.rotated[0], *tg = sc.rotated[1], *tb = sc.rotated[2];
    for (std::int32_t x = 0; x < p.width; ++x) row[x] = tr[ir[x]] | tg[ig[x]] | tb[ib[x]];
}

// Images hold far fewer colours than pixels, and neighbouring pixels mostly
// repeat recent ones: rotations are kept in a small cache indexed by a hash of
// the colour (channels 0..255, packed as 0x00BBGGRR).
inline std::uint32_t rotateCached(const Plan& p, Scratch& sc, std::uint32_t key) {
    const std::uint32_t slot = (key * 2654435761u) >> (32 - kHueCacheBits);
    if (sc.hueKeys[slot] != key) {
        sc.hueKeys[slot] = key;
        sc.hueValues[slot] = p.hue.rotatePacked(static_cast<std::int32_t>(key & 0xFFu),
                                                static_cast<std::int32_t>((key >> 8) & 0xFFu),
                                                static_cast<std::int32_t>(key >> 16));
    }
    return sc.hueValues[slot];
}

void renderRow(const Plan& p, Scratch& sc, std::int32_t y, std::uint32_t* row) {
    const PatternSettings& s = *p.s;
    const std::int32_t n = p.n, width = p.width;
    const std::int32_t Y0 = i32::mul(i32::sub(y, s.basey), n);
    for (std::int32_t j = 0; j < n; ++j) {
        const std::int32_t sy = i32::add(Y0, j);
        if (p.trigY) {
            const double f = trigWaveFactor(sy, s.pat_y, p.periodY);
            for (int c = 0; c < 3; ++c)
                sc.wb[c][j] = static_cast<std::uint32_t>(
                    i32::add(i32::truncDouble(f * static_cast<double>(p.channel[c].vy)), p.channel[c].base));
        } else {
            for (int c = 0; c < 3; ++c)
                sc.wb[c][j] = static_cast<std::uint32_t>(
                    i32::add(waveValue(sy, p.channel[c].vy, s.pat_y, p.periodY), p.channel[c].base));
        }
    }
    if (p.fused) {
        fusedRow(p, sc, row);
        if (!p.hue.isIdentity())
            for (std::int32_t x = 0; x < width; ++x) row[x] = rotateCached(p, sc, row[x]);
        return;
    }
    const DitherMatrices& dm = ditherMatrices();

    for (int c = 0; c < 3; ++c) {
        const ChannelTables& t = p.channel[c];
        const std::int32_t* u = p.u[c].data();
        if (n == 1) {
            const std::uint8_t* matrixRow = dm.value[t.matrix][static_cast<std::uint32_t>(Y0) & 15u];
            SingleFn fn = !p.packDirect ? pickSingle<kValues>(t.fold, t.dither)
                          : c == 0      ? pickSingle<kPackFirst>(t.fold, t.dither)
                                        : pickSingle<kPackMore>(t.fold, t.dither);
            fn(t, u, width, sc.wb[c][0], matrixRow, p.column0, sc.values[c].data(), row, 8 * c);
            continue;
        }
        std::uint64_t* acc = sc.acc.data();
        std::fill(acc, acc + width, std::uint64_t{0});
        MultiFn fn = pickMulti(t.fold, t.dither, n);
        const std::uint32_t* wb = sc.wb[c].data();
        for (std::int32_t j = 0; j < n;) {
            // Sample rows with the same vertical wave give the same
            // contributions unless the dither matrix row tells them apart:
            // such a run is computed once and counted for each of its rows.
            std::int32_t rows = 1;
            if (!t.dither)
                while (j + rows < n && wb[j + rows] == wb[j]) ++rows;
            const std::uint32_t sy = static_cast<std::uint32_t>(i32::add(Y0, j));
            fn(t, u, width, n, wb[j], dm.value[t.matrix][sy & 15u], p.column0, static_cast<std::uint64_t>(rows),
               acc);
            j += rows;
        }
        // The reference sums min + contribution over n x n samples in 64
        // bits; the minimum's share is added here in one go (mod 2^64, which
        // is exact wherever the reference's sum is defined).
        const std::uint64_t nn = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n);
        const std::uint64_t minShare = static_cast<std::uint64_t>(static_cast<std::int64_t>(t.min)) * nn;
        std::int32_t* values = sc.values[c].data();
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int64_t sum = fromBits64(acc[x] + minShare);
            // 32-bit division where the sum fits: the same quotient, and much
            // cheaper on the 32-bit target.
            if (sum >= INT32_MIN && sum <= INT32_MAX)
                values[x] = static_cast<std::int32_t>(sum) / n / n;
            else
                values[x] = i32::fromBits(static_cast<std::uint32_t>(sum / n / n));
        }
    }
    if (p.packDirect) return;
    const std::int32_t *r = sc.values[0].data(), *g = sc.values[1].data(), *b = sc.values[2].data();
    if (p.hue.isIdentity()) {
        for (std::int32_t x = 0; x < width; ++x) row[x] = packPixel(r[x], g[x], b[x]);
    } else {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t R = r[x], G = g[x], B = b[x];
            // Channels outside 0..255 come only from unvalidated ranges.
            row[x] = static_cast<std::uint32_t>(R | G | B) > 255u ? p.hue.rotatePacked(R, G, B)
                                                                   : rotateCached(p, sc, packPixel(R, G, B));
        }
    }
}

// Hands out rows one at a time to `threads` workers (the calling thread is
// one of them). Every pixel depends only on its own position, so which worker
// renders which row does not change the image.
template <class RowFn>
bool forEachRow(int threads, std::int32_t height, const RenderOptions& opt, const RowFn& renderOne) {
    std::atomic<std::int32_t> next{0};
    std::atomic<int>* rowsDone = opt.rowsDone;
    const std::atomic<bool>* cancel = opt.cancel;
    auto work = [&](int worker) {
        for (;;) {
            if (cancel && cancel->load(std::memory_order_relaxed)) return;
            const std::int32_t y = next.fetch_add(1, std::memory_order_relaxed);
            if (y >= height) return;
            renderOne(worker, y);
            if (rowsDone) rowsDone->fetch_add(1, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> pool;
    try {
        pool.reserve(static_cast<std::size_t>(threads - 1));
        for (int w = 1; w < threads; ++w) pool.emplace_back(work, w);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the ones running share all rows.
    } catch (const std::bad_alloc&) {
    }
    work(0);
    for (auto& th : pool) th.join();
    return !(cancel && cancel->load(std::memory_order_relaxed));
}

int threadCount(int requested, std::int32_t height) {
    int t = requested;
    if (t <= 0) t = static_cast<int>(std::thread::hardware_concurrency());
    if (t <= 0) t = 1;
    return static_cast<int>(std::min<std::int64_t>(t, std::max<std::int32_t>(height, 1)));
}

}  // namespace

SampleContribution sampleContribution(std::int32_t folded, std::int32_t posterizeStep, std::int32_t ditherStep,
                                      std::int32_t max, std::int32_t min) {
    const std::int32_t range = i32::sub(max, min);
    auto mapped = [&](std::int32_t v) { return i32::mul(range, v) / 255; };
    const std::int32_t p = posterize(folded, posterizeStep);
    if (!stepActive(ditherStep)) return {mapped(p), mapped(p), 0};
    // The arithmetic of dither() with the matrix test left open: the value
    // steps up by s where the matrix value is below the threshold.
    const bool neg = ditherStep < 0;
    const std::int32_t s = i32::abs(ditherStep);
    const std::int32_t v = neg ? i32::sub(255, p) : p;
    const std::int32_t q = i32::div(v, s);
    const std::int32_t r = i32::sub(v, i32::mul(q, s));
    const std::int32_t threshold = i32::div(i32::mul(i32::add(r, v >= 255 ? 1 : 0), 256), s);
    auto finish = [&](std::int32_t out) {
        const std::int32_t c = out > 255 ? 255 : out;
        return mapped(neg ? i32::sub(255, c) : c);
    };
    const std::int32_t down = i32::mul(q, s);
    return {finish(down), finish(i32::add(down, s)), threshold};
}

bool renderImageWithTableLimit(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt,
                               std::int64_t maxTableSamples) {
    const std::int32_t height = s.bmph, width = s.bmpw;
    if (height <= 0) return true;
    const int threads = threadCount(opt.threads, height);

    // Accuracy below 1 never reaches a render (validate repairs it); it keeps
    // whatever the plain path does.
    bool fast = width > 0 && s.accuracy >= 1 &&
                static_cast<std::int64_t>(width) * s.accuracy <= maxTableSamples;
    Plan plan;
    std::vector<Scratch> scratch;
    if (fast) {
        try {
            buildPlan(plan, s);
            scratch.resize(static_cast<std::size_t>(threads));
            for (auto& sc : scratch) prepareScratch(sc, plan);
        } catch (const std::bad_alloc&) {
            fast = false;
        }
    }
    if (fast) {
        return forEachRow(threads, height, opt, [&](int worker, std::int32_t y) {
            renderRow(plan, scratch[static_cast<std::size_t>(worker)], y,
                      pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
        });
    }
    return forEachRow(threads, height, opt,
                      [&](int, std::int32_t y) { renderReferenceRows(s, pixels, y, y + 1, nullptr); });
}

bool renderImage(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt) {
    return renderImageWithTableLimit(s, pixels, opt, kMaxFastTableSamples);
}
