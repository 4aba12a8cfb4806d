// A pixel's value is the 64-bit sum over its samples (i, j) of
//     min + C(fold(u_i + w_j + base), matrix[sy_j & 15][sx_i & 15])
// divided by n twice, where u_i is the horizontal wave at sample column sx_i,
// w_j the vertical wave at sample row sy_j, and C is posterising, dithering
// and range mapping (channel.cpp). Two things make it cheap to regroup:
//
// - The folded value depends on u_i + wb_j (wb_j = w_j + base, all mod 2^32)
//   only through a small key: Loop and Turn slow look at the sum mod 256 or
//   512, which is (u_i mod M + wb_j mod M) mod M; Turn fast looks at the sum
//   mod 510, which splits the same way as long as the signed sum does not
//   wrap; Limit clamps the sum to 0..255, so it only matters where u_i lies
//   within a window of 258 + (spread of wb_j) values.
// - The dither matrix value depends only on (sx_i & 15, sy_j & 15).
//
// So for each pixel row a table R[px][key] = sum over the row's sample rows j
// of C(key + wb_j, matrix[sy_j & 15][px]) serves every pixel of the row: the
// pixel's sum is the sum of R[sx_i & 15][key(u_i)] over its sample columns.
// A pixel costs n reads, a row's table costs (distinct sample rows) x 16 x M
// additions. Both sides group equal entries first: sample columns with the
// same (phase, key) are read once with their count (cached per column for
// the whole render), sample rows with the same (phase, wb) are added once
// with theirs. Where a table would cost more than the direct double sum over
// these groups (narrow images, few distinct sample rows), the row sums
// directly; both give the same integers.
//
// Where the signed sum u_i + wb_j can wrap (amplitudes near 2^31), Turn fast
// and Limit need the true 32-bit sum. A pixel whose every sample wraps the
// same way still uses the table (Turn fast: the key moves by a fixed amount;
// Limit: every sample saturates), and only a pixel whose samples straddle the
// wrap sums its samples one by one. Limit rows whose vertical wave spreads
// over more than 16000 values (260000 without dither) within one pixel row
// sum directly, as their table would need more than 2 MB.
#include "supersample.h"

#include <algorithm>
#include <new>
#include <vector>

#include "channel.h"
#include "fast_common.h"
#include "int32_math.h"

namespace fast {

namespace {

// A cached column entry: an index into a row table (dither phase and key) in
// the low bits, the number of the column's samples that share it above.
constexpr int kIndexBits = 14;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr std::uint32_t kMaxCount = (1u << (32 - kIndexBits)) - 1;

// The cost estimate that picks row tables or direct sums, in units of one
// (column entry, sample row group) step of a direct sum, which costs about
// as much as one table read: a table addition (vectorised) costs a fifth of
// that, a pixel summed directly some 10 more (measured on x86-64).
constexpr double kTableAdd = 0.2;
constexpr double kDirectPixel = 10;

// Limit row tables larger than this (16 dither phases x window) sum directly.
constexpr std::size_t kMaxLimitTable = std::size_t{1} << 18;

// How often long loops look at the cancel flag, in units of work (samples or
// table additions).
constexpr std::uint32_t kCancelWork = 1u << 14;

// Sample rows that contribute alike: the same dither row phase and the same
// key (periodic folds: wb mod M; Limit and raw sums: wb itself).
struct Group {
    std::uint32_t key;
    std::uint32_t count;
    std::uint32_t py;  // dither row phase (0 without dither)
};

// The key of a wave value: for the periodic folds its slot, as keys add up
// mod M to the slot of the sum; Limit keeps the value itself, as its slot
// (the clamp) is taken only once the sum is known.
std::uint32_t keyOf(Fold f, std::int32_t v) {
    const std::uint32_t raw = static_cast<std::uint32_t>(v);
    switch (f) {
        case Fold::Loop:
            return slotOf<Fold::Loop>(raw);
        case Fold::TurnSlow:
            return slotOf<Fold::TurnSlow>(raw);
        case Fold::TurnFast:
            return slotOf<Fold::TurnFast>(raw);
        default:
            return raw;
    }
}

// The contributions of `count` consecutive slots for one dither matrix
// value t, times `weight`, added to out. The selection compiles to compares
// and blends, several slots to a vector instruction.
template <class Acc>
inline void addContributions(Acc* __restrict out, const std::int32_t* __restrict low,
                             const std::int32_t* __restrict high, const std::int32_t* __restrict threshold,
                             std::int32_t t, std::int32_t count, std::uint32_t weight) {
    // Both values are loaded unconditionally: a select between loaded
    // values vectorises, a conditional load does not.
    if (weight == 1) {
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t lo = low[i], hi = high[i];
            out[i] += static_cast<Acc>(t < threshold[i] ? hi : lo);
        }
    } else {
        const Acc w = weight;
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t lo = low[i], hi = high[i];
            out[i] += w * static_cast<Acc>(t < threshold[i] ? hi : lo);
        }
    }
}

// Without dither every slot contributes `low`.
template <class Acc>
inline void addLow(Acc* __restrict out, const std::int32_t* __restrict low, std::int32_t count, std::uint32_t weight) {
    if (weight == 1) {
        for (std::int32_t i = 0; i < count; ++i) out[i] += static_cast<Acc>(low[i]);
    } else {
        const Acc w = weight;
        for (std::int32_t i = 0; i < count; ++i) out[i] += w * static_cast<Acc>(low[i]);
    }
}

// Cancellation checks in loops whose steps vary from a few to millions of
// operations: looks at the flag once enough work has passed.
class CancelCheck {
public:
    explicit CancelCheck(const std::atomic<bool>* flag) : flag_(flag) {}
    // Once true, true for good.
    bool stop(std::uint64_t work) {
        if (!flag_) return false;
        if (stopped_) return true;
        done_ += work;
        if (done_ < kCancelWork) return false;
        done_ = 0;
        stopped_ = flag_->load(std::memory_order_relaxed);
        return stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    const std::atomic<bool>* flag_;
    std::uint64_t done_ = 0;
    bool stopped_ = false;
};

std::int64_t fromBits64(std::uint64_t u) {
    return u <= static_cast<std::uint64_t>(INT64_MAX) ? static_cast<std::int64_t>(u)
                                                      : -static_cast<std::int64_t>(~u) - 1;
}

// The reference divides the 64-bit sum of (min + contribution) by n and
// then by n, truncating: the truncated quotient by d = n x n. Sums within
// +-2^31 (every sum, with validated ranges) divide by a multiplication and a
// shift: with l = ceil(log2(d)) and m = ceil(2^(31+l) / d), (a * m) >> (31+l)
// is floor(a / d) for 0 <= a <= 2^31, as the rounding error of m adds less
// than a / 2^(31+l) <= 1/d to a / d; and a * m < 2^64.
class MeanDivider {
public:
    MeanDivider() = default;
    // `nonNegative`: every contribution and the minimum are at least 0, so
    // (C + min x d) / d = C / d + min with C the contributions' sum.
    MeanDivider(std::int32_t n, std::int32_t min, bool nonNegative)
        : d_(static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n)), min_(min) {
        if (d_ > (std::uint64_t{1} << 31)) return;
        int l = 0;
        while ((std::uint64_t{1} << l) < d_) ++l;
        shift_ = 31 + l;
        m_ = ((std::uint64_t{1} << shift_) + d_ - 1) / d_;
        nonNegative_ = nonNegative;
    }
    // Contributions summed in 32 bits: the sum fits int32 (the renderer
    // picks 64 bits otherwise).
    std::int32_t operator()(std::uint32_t contributions, std::uint64_t minShare) const {
        if (nonNegative_) return i32::add(min_, static_cast<std::int32_t>((contributions * m_) >> shift_));
        return (*this)(static_cast<std::uint64_t>(static_cast<std::int64_t>(i32::fromBits(contributions))), minShare);
    }
    // Contributions summed mod 2^64.
    std::int32_t operator()(std::uint64_t contributions, std::uint64_t minShare) const {
        const std::int64_t sum = fromBits64(contributions + minShare);
        if (m_ && sum >= INT32_MIN && sum <= INT32_MAX) {
            const std::uint64_t a = static_cast<std::uint64_t>(sum < 0 ? -sum : sum);
            const std::int32_t q = static_cast<std::int32_t>((a * m_) >> shift_);
            return sum < 0 ? -q : q;
        }
        return i32::fromBits(static_cast<std::uint32_t>(sum / static_cast<std::int64_t>(d_)));
    }

private:
    std::uint64_t d_ = 1, m_ = 0;
    int shift_ = 0;
    std::int32_t min_ = 0;
    bool nonNegative_ = false;
};

}  // namespace

struct ChannelPlan {
    Fold fold = Fold::Loop;
    bool dither = false;
    int phases = 1;        // dither column phases a table keeps apart: 16 or 1
    std::int32_t M = 256;  // slots of the fold (Limit: 256 clamped values)
    int strideBits = 8;    // periodic row tables: 2^strideBits entries per column phase
    std::int32_t L = 0;    // slots tabulated: 2M + 256, so sums of keys need no reduction
    std::int32_t vx = 0, vy = 0, base = 0;
    std::uint64_t minShare = 0;  // min x n x n, mod 2^64
    MeanDivider mean;
    bool wide = false;  // a pixel's sum may not fit 32 bits
    // Contribution (without the minimum) of slot s mod M, s < L: `high`
    // where the dither matrix value is below `threshold`, else `low`.
    std::vector<std::int32_t> low, high, threshold;
    // Dither matrix values by [py][px]; all 0 (always `low`) without dither.
    const std::uint8_t (*matrix)[16] = nullptr;
    std::int32_t contribution(std::uint32_t slot, std::uint32_t py, std::uint32_t px) const {
        const std::int32_t lo = low[slot], hi = high[slot];  // a select, not a branch on dithered data
        return matrix[py][px] < threshold[slot] ? hi : lo;
    }
    // Column cache: column x's entries start at offset[x]; a column has at
    // most maxEntries of them.
    std::size_t maxEntries = 0;
    std::unique_ptr<std::uint32_t[]> entries;
    std::vector<std::size_t> offset;
    std::vector<std::uint32_t> length;     // per column
    std::vector<std::int32_t> umin, umax;  // horizontal wave range per column
    double entriesPerColumn = 0;           // for the cost estimate
};

struct Supersampler::Plan {
    const PatternSettings* s = nullptr;
    std::int32_t width = 0, n = 2, periodX = 1, periodY = 1;
    // Samples of a pixel side taken at once; long pixels have more.
    std::int32_t chunk = 2;
    bool longPixels = false;
    bool trigX = false, trigY = false;
    SupersampleTuning::Sums sums = SupersampleTuning::Sums::Auto;
    ChannelPlan channel[3];
    std::int32_t cached = 0;
    std::size_t budget = 0;  // cache entries over all channels
    bool counting = false;   // column sizes must be counted before the cache is laid out

    // Lays out the cache within `entries` entries over all channels, or
    // leaves it for layOut once the columns are counted.
    void planCache(std::size_t entries);
    // Allocates the cache for columns 0..cached-1 at the offsets given;
    // fewer columns if memory is short.
    void allocate(std::int32_t columns);

    // Horizontal waves of samples i0..i0+count-1 of column x, for all
    // channels or for channel c.
    void columnWaves(std::int32_t x, std::int32_t i0, std::int32_t count, std::int32_t* const u[3]) const;
    void columnWave(std::int32_t x, std::int32_t i0, std::int32_t count, int c, std::int32_t* u) const;
    // Vertical waves plus base of sample rows Y0+j0..Y0+j0+count-1.
    void rowWaves(std::int32_t Y0, std::int32_t j0, std::int32_t count, std::int32_t* const wb[3]) const;
    void rowWave(std::int32_t Y0, std::int32_t j0, std::int32_t count, int c, std::int32_t* wb) const;
    // Column x's entries for every channel into out[c] (len[c] of them), and
    // its wave ranges; a chunk of samples at a time. False when cancelled.
    bool encodeColumn(Scratch& sc, std::int32_t x, std::uint32_t* const out[3], std::uint32_t len[3],
                      std::int32_t umin[3], std::int32_t umax[3], CancelCheck& cancel) const;
    // The sample rows of the pixel row from Y0, per channel: the range of
    // wb, the groups of periodic folds and, for short pixels, every wb.
    bool groupRows(Scratch& sc, std::int32_t Y0, CancelCheck& cancel) const;
    std::uint32_t columnPhase(std::int32_t x) const {
        return static_cast<std::uint32_t>(i32::mul(i32::sub(x, s->basex), n)) & 15u;
    }
    // Column x's entries for every channel, into the thread's scratch space
    // (to count them) or into the cache; the length is kept either way.
    bool encodeColumnOf(Scratch& sc, std::int32_t x, bool intoCache, const std::atomic<bool>* cancel);
};

// One channel's state for the current pixel row.
struct RowChannel {
    std::vector<std::int32_t> wb;  // vertical wave + base per sample row (of a chunk)
    std::int32_t wbmin = 0, wbmax = 0;
    std::vector<std::uint64_t> sortKeys;
    std::vector<Group> groups;     // by key of the fold (Limit: raw wb)
    std::vector<Group> rawGroups;  // by raw wb (Turn fast, for pixels whose sums straddle the wrap)
    bool rawReady = false;
    bool table = false;
    // Limit window: keys 0..K-1 stand for horizontal waves lo..lo+K-1,
    // everything below and above clamps to the ends.
    std::int32_t lo = 0, hi = 0;
    std::uint32_t K = 0;
    std::vector<std::uint32_t> r32;
    std::vector<std::uint64_t> r64;
};

struct Supersampler::Scratch {
    // Per channel and table index, for grouping samples by (phase, key).
    std::vector<std::uint32_t> count[3];
    std::vector<std::uint32_t> touched[3];
    std::vector<std::int32_t> u[3];         // a chunk of one column's horizontal waves
    std::vector<std::uint32_t> entries[3];  // one uncached column's entries
    RowChannel row[3];
};

void Supersampler::Plan::columnWave(std::int32_t x, std::int32_t i0, std::int32_t count, int c,
                                    std::int32_t* u) const {
    const std::int32_t X0 = i32::add(i32::mul(i32::sub(x, s->basex), n), i0);
    const std::int32_t vx = channel[c].vx;
    for (std::int32_t i = 0; i < count; ++i) u[i] = waveValue(i32::add(X0, i), vx, s->pat_x, periodX);
}

void Supersampler::Plan::columnWaves(std::int32_t x, std::int32_t i0, std::int32_t count,
                                     std::int32_t* const u[3]) const {
    if (!trigX) {
        for (int c = 0; c < 3; ++c) columnWave(x, i0, count, c, u[c]);
        return;
    }
    // One sin/cos for all three channels; waveValue multiplies the same
    // double by each amplitude.
    const std::int32_t X0 = i32::add(i32::mul(i32::sub(x, s->basex), n), i0);
    for (std::int32_t i = 0; i < count; ++i) {
        const double f = trigWaveFactor(i32::add(X0, i), s->pat_x, periodX);
        for (int c = 0; c < 3; ++c) u[c][i] = i32::truncDouble(f * static_cast<double>(channel[c].vx));
    }
}

void Supersampler::Plan::rowWave(std::int32_t Y0, std::int32_t j0, std::int32_t count, int c,
                                 std::int32_t* wb) const {
    const ChannelPlan& ch = channel[c];
    for (std::int32_t j = 0; j < count; ++j)
        wb[j] = i32::add(waveValue(i32::add(Y0, i32::add(j0, j)), ch.vy, s->pat_y, periodY), ch.base);
}

void Supersampler::Plan::rowWaves(std::int32_t Y0, std::int32_t j0, std::int32_t count,
                                  std::int32_t* const wb[3]) const {
    if (!trigY) {
        for (int c = 0; c < 3; ++c) rowWave(Y0, j0, count, c, wb[c]);
        return;
    }
    for (std::int32_t j = 0; j < count; ++j) {
        const double f = trigWaveFactor(i32::add(Y0, i32::add(j0, j)), s->pat_y, periodY);
        for (int c = 0; c < 3; ++c)
            wb[c][j] = i32::add(i32::truncDouble(f * static_cast<double>(channel[c].vy)), channel[c].base);
    }
}

namespace {

// Moves the counts of the indices touched into out as (count, index) pairs,
// and clears them. An index counted more often than an entry holds takes
// several entries.
std::uint32_t takeCounts(std::vector<std::uint32_t>& count, std::vector<std::uint32_t>& touched,
                         std::uint32_t* out) {
    std::uint32_t len = 0;
    for (std::uint32_t index : touched) {
        std::uint32_t c = count[index];
        count[index] = 0;
        for (; c > kMaxCount; c -= kMaxCount) out[len++] = index | kMaxCount << kIndexBits;
        out[len++] = index | c << kIndexBits;
    }
    touched.clear();
    return len;
}

void clearCounts(std::vector<std::uint32_t>& count, std::vector<std::uint32_t>& touched) {
    for (std::uint32_t index : touched) count[index] = 0;
    touched.clear();
}

// Counts a chunk of waves into the channel's (matrix phase, key) slots, the
// first sample of the chunk at matrix phase phase0; widens [lo, hi] to them.
void countChunk(const ChannelPlan& ch, const std::int32_t* waves, std::int32_t count, std::uint32_t phase0,
                std::int32_t& lo, std::int32_t& hi, std::vector<std::uint32_t>& countVec,
                std::vector<std::uint32_t>& touched) {
    for (std::int32_t i = 0; i < count; ++i) {
        lo = std::min(lo, waves[i]);
        hi = std::max(hi, waves[i]);
    }
    if (ch.fold == Fold::Limit) return;  // keyed by the raw value, later
    std::uint32_t* counts = countVec.data();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t phase = ch.dither ? (phase0 + static_cast<std::uint32_t>(i)) & 15u : 0u;
        const std::uint32_t index = phase << ch.strideBits | keyOf(ch.fold, waves[i]);
        if (counts[index]++ == 0) touched.push_back(index);
    }
}

}  // namespace

bool Supersampler::Plan::encodeColumn(Scratch& sc, std::int32_t x, std::uint32_t* const out[3], std::uint32_t len[3],
                                      std::int32_t umin[3], std::int32_t umax[3], CancelCheck& cancel) const {
    const std::uint32_t px0 = columnPhase(x);
    std::int32_t* const u[3] = {sc.u[0].data(), sc.u[1].data(), sc.u[2].data()};
    for (int c = 0; c < 3; ++c) {
        umin[c] = INT32_MAX;
        umax[c] = INT32_MIN;
    }
    for (std::int32_t i0 = 0; i0 < n; i0 += chunk) {
        const std::int32_t count = std::min(chunk, n - i0);
        columnWaves(x, i0, count, u);
        for (int c = 0; c < 3; ++c) {
            countChunk(channel[c], u[c], count, px0 + static_cast<std::uint32_t>(i0), umin[c], umax[c], sc.count[c],
                       sc.touched[c]);
            // Limit's table key depends on the row's window: short pixels
            // keep the waves, long ones recompute them.
            if (channel[c].fold == Fold::Limit && !longPixels)
                for (std::int32_t i = 0; i < count; ++i) out[c][i0 + i] = static_cast<std::uint32_t>(u[c][i]);
        }
        if (cancel.stop(3u * static_cast<std::uint32_t>(count))) {
            for (int c = 0; c < 3; ++c) clearCounts(sc.count[c], sc.touched[c]);
            return false;
        }
    }
    for (int c = 0; c < 3; ++c)
        len[c] = channel[c].fold == Fold::Limit ? (longPixels ? 0u : static_cast<std::uint32_t>(n))
                                                : takeCounts(sc.count[c], sc.touched[c], out[c]);
    return true;
}

bool Supersampler::Plan::groupRows(Scratch& sc, std::int32_t Y0, CancelCheck& cancel) const {
    std::int32_t* const wb[3] = {sc.row[0].wb.data(), sc.row[1].wb.data(), sc.row[2].wb.data()};
    for (RowChannel& r : sc.row) {
        r.wbmin = INT32_MAX;
        r.wbmax = INT32_MIN;
    }
    for (std::int32_t j0 = 0; j0 < n; j0 += chunk) {
        const std::int32_t count = std::min(chunk, n - j0);
        rowWaves(Y0, j0, count, wb);
        for (int c = 0; c < 3; ++c)
            countChunk(channel[c], wb[c], count, static_cast<std::uint32_t>(i32::add(Y0, j0)), sc.row[c].wbmin,
                       sc.row[c].wbmax, sc.count[c], sc.touched[c]);
        if (cancel.stop(3u * static_cast<std::uint32_t>(count))) {
            for (int c = 0; c < 3; ++c) clearCounts(sc.count[c], sc.touched[c]);
            return false;
        }
    }
    for (int c = 0; c < 3; ++c) {
        const ChannelPlan& ch = channel[c];
        if (ch.fold == Fold::Limit) continue;
        std::vector<Group>& groups = sc.row[c].groups;
        groups.clear();
        const std::uint32_t keyMask = (1u << ch.strideBits) - 1;
        for (std::uint32_t index : sc.touched[c]) {
            groups.push_back({index & keyMask, sc.count[c][index], index >> ch.strideBits});
            sc.count[c][index] = 0;
        }
        sc.touched[c].clear();
    }
    return true;
}

namespace {

// A channel's fold, dither and waves.
void planChannel(ChannelPlan& ch, const ChannelParams& params, std::uint64_t n) {
    ch.fold = foldOf(params.mode);
    ch.dither = stepActive(params.dither);
    ch.phases = ch.dither ? 16 : 1;
    ch.M = ch.fold == Fold::Limit ? 256 : edgeCycle(params.mode);
    // Turn fast tables hold their 510 keys twice, so that a key moved by
    // a wrap needs no reduction.
    ch.strideBits = ch.fold == Fold::TurnSlow ? 9 : ch.fold == Fold::TurnFast ? 10 : 8;
    ch.L = 2 * ch.M + 256;
    ch.vx = params.vx;
    ch.vy = params.vy;
    ch.base = params.base;
    ch.minShare = static_cast<std::uint64_t>(static_cast<std::int64_t>(params.min)) * n * n;
}

// The contribution of every slot, repeated over the L tabulated ones, and
// what the extremes of the contributions ask of the sums: 64 bits, and the
// way they are divided.
void tabulateContributions(ChannelPlan& ch, const ChannelParams& params, std::int32_t n) {
    static const std::uint8_t kNoDither[16][16] = {};
    const std::size_t L = static_cast<std::size_t>(ch.L);
    ch.low.resize(L);
    ch.high.resize(L);
    ch.threshold.resize(L);
    std::int64_t largest = 0;
    for (std::int32_t slot = 0; slot < ch.M; ++slot) {
        const SampleContribution sc =
            sampleContribution(foldEdge(slot, params.mode), params.posterize, params.dither, params.max, params.min);
        for (std::size_t k = static_cast<std::size_t>(slot); k < L; k += static_cast<std::size_t>(ch.M)) {
            ch.low[k] = sc.low;
            ch.high[k] = sc.high;
            ch.threshold[k] = sc.threshold;
        }
        for (std::int32_t v : {sc.low, sc.high})
            largest = std::max<std::int64_t>(largest, v < 0 ? -static_cast<std::int64_t>(v) : v);
    }
    ch.matrix = ch.dither ? ditherMatrices().value[params.dither < 0 ? 1 : 0] : kNoDither;
    std::int64_t smallest = 0;
    for (std::int32_t v : ch.low) smallest = std::min<std::int64_t>(smallest, v);
    for (std::int32_t v : ch.high) smallest = std::min<std::int64_t>(smallest, v);
    // 32-bit sums where n x n contributions cannot leave the int32 range.
    const std::uint64_t samples = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n);
    ch.wide = samples > static_cast<std::uint64_t>(INT32_MAX) ||
              samples * static_cast<std::uint64_t>(largest) > static_cast<std::uint64_t>(INT32_MAX);
    ch.mean = MeanDivider(n, params.min, params.min >= 0 && smallest >= 0);
}

// The most cache entries a column of the channel can need, and room for
// each column's length and wave range.
void sizeColumns(ChannelPlan& ch, std::uint64_t n, bool longPixels, std::int32_t width) {
    if (ch.fold == Fold::Limit)
        ch.maxEntries = longPixels ? 0 : n;
    else
        ch.maxEntries = static_cast<std::size_t>(
            std::min<std::uint64_t>(n, static_cast<std::uint64_t>(ch.phases) * ch.M) + n / kMaxCount + 1);
    ch.length.assign(static_cast<std::size_t>(width), 0);
    ch.umin.assign(static_cast<std::size_t>(width), 0);
    ch.umax.assign(static_cast<std::size_t>(width), 0);
    ch.entriesPerColumn = static_cast<double>(std::min<std::uint64_t>(n, ch.maxEntries));
}

}  // namespace

Supersampler::Supersampler(const PatternSettings& s, const SupersampleTuning& tuning) : plan_(new Plan) {
    Plan& p = *plan_;
    p.s = &s;
    p.width = s.bmpw;
    p.n = s.accuracy;
    p.periodX = scaledPeriod(s.periodX(), p.n);
    p.periodY = scaledPeriod(s.periodY(), p.n);
    p.trigX = isTrigWave(s.pat_x);
    p.trigY = isTrigWave(s.pat_y);
    p.sums = tuning.sums;
    p.chunk = std::min(p.n, std::max<std::int32_t>(1, tuning.chunkSamples));
    p.longPixels = p.n > p.chunk;
    const std::uint64_t n = static_cast<std::uint64_t>(p.n);
    for (int c = 0; c < 3; ++c) {
        const ChannelParams params = channelOf(s, c);
        ChannelPlan& ch = p.channel[c];
        planChannel(ch, params, n);
        tabulateContributions(ch, params, p.n);
        sizeColumns(ch, n, p.longPixels, p.width);
    }
    p.planCache(tuning.cacheEntries);
}

void Supersampler::Plan::planCache(std::size_t entries) {
    std::size_t slots = 0;
    for (const ChannelPlan& ch : channel) slots += ch.maxEntries;
    // Every column at its largest size if the budget holds that; otherwise
    // the columns' sizes are counted first (smooth waves need far fewer
    // entries than the largest size), and as many columns as their sizes
    // allow are cached.
    budget = entries;
    if (static_cast<std::size_t>(width) * slots <= budget) {
        for (ChannelPlan& ch : channel) {
            ch.offset.resize(static_cast<std::size_t>(width) + 1);
            for (std::size_t x = 0; x <= static_cast<std::size_t>(width); ++x) ch.offset[x] = x * ch.maxEntries;
        }
        allocate(width);
    } else {
        counting = true;
    }
}

void Supersampler::Plan::allocate(std::int32_t columns) {
    // Uncached columns cost time, not correctness: a smaller cache if memory
    // is short.
    for (;;) {
        try {
            for (ChannelPlan& ch : channel) {
                const std::size_t size = columns > 0 ? ch.offset[static_cast<std::size_t>(columns)] : 0;
                ch.entries.reset(size ? new std::uint32_t[size] : nullptr);
            }
            break;
        } catch (const std::bad_alloc&) {
            columns /= 2;
        }
    }
    cached = columns;
}

Supersampler::~Supersampler() = default;

void Supersampler::ScratchDeleter::operator()(Scratch* sc) const { delete sc; }

Supersampler::ScratchPtr Supersampler::makeScratch() const {
    const Plan& p = *plan_;
    ScratchPtr sc(new Scratch);
    const std::size_t chunk = static_cast<std::size_t>(p.chunk), indices = std::size_t{16} << 10;
    for (int c = 0; c < 3; ++c) {
        sc->count[c].assign(indices, 0);
        sc->touched[c].reserve(indices);
        sc->u[c].resize(chunk);
        sc->entries[c].resize(p.channel[c].maxEntries);
        sc->row[c].wb.resize(chunk);
        sc->row[c].sortKeys.reserve(chunk);
    }
    return sc;
}

std::int32_t Supersampler::cachedColumns() const { return plan_->counting ? 0 : plan_->cached; }

bool Supersampler::countingNeeded() const { return plan_->counting; }

bool Supersampler::countColumn(Scratch& sc, std::int32_t x, const std::atomic<bool>* cancel) {
    return plan_->encodeColumnOf(sc, x, false, cancel);
}

void Supersampler::layOut() {
    Plan& p = *plan_;
    std::size_t used = 0;
    std::int32_t columns = 0;
    for (; columns < p.width; ++columns) {
        const std::size_t col = static_cast<std::size_t>(columns);
        const std::size_t need = p.channel[0].length[col] + p.channel[1].length[col] + p.channel[2].length[col];
        if (used + need > p.budget) break;
        used += need;
    }
    for (ChannelPlan& ch : p.channel) {
        ch.offset.assign(static_cast<std::size_t>(columns) + 1, 0);
        for (std::size_t x = 0; x < static_cast<std::size_t>(columns); ++x)
            ch.offset[x + 1] = ch.offset[x] + ch.length[x];
    }
    p.allocate(columns);
    p.counting = false;
}

void Supersampler::columnsReady() {
    Plan& p = *plan_;
    if (p.cached == 0) return;
    for (ChannelPlan& ch : p.channel) {
        double total = 0;
        for (std::uint32_t len : ch.length) total += len;
        // Uncached columns have no more entries on average than cached ones.
        ch.entriesPerColumn = total / p.cached;
    }
}

bool Supersampler::prepareColumn(Scratch& sc, std::int32_t x, const std::atomic<bool>* cancel) {
    return plan_->encodeColumnOf(sc, x, true, cancel);
}

bool Supersampler::Plan::encodeColumnOf(Scratch& sc, std::int32_t x, bool intoCache, const std::atomic<bool>* cancel) {
    const std::size_t col = static_cast<std::size_t>(x);
    std::uint32_t* out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = intoCache ? channel[c].entries.get() + channel[c].offset[col] : sc.entries[c].data();
    std::uint32_t len[3];
    std::int32_t umin[3], umax[3];
    CancelCheck check(cancel);
    if (!encodeColumn(sc, x, out, len, umin, umax, check)) return false;
    for (int c = 0; c < 3; ++c) {
        channel[c].length[col] = len[c];
        channel[c].umin[col] = umin[c];
        channel[c].umax[col] = umax[c];
    }
    return true;
}

namespace {

// Sorts sample rows Y0..Y0+n-1 into groups of equal (phase, raw wb).
void makeRawGroups(const ChannelPlan& ch, const std::int32_t* wb, std::size_t n, std::int32_t Y0,
                   std::vector<std::uint64_t>& sortKeys, std::vector<Group>& out) {
    sortKeys.clear();
    for (std::size_t j = 0; j < n; ++j) {
        const std::uint64_t py =
            ch.dither ? static_cast<std::uint32_t>(i32::add(Y0, static_cast<std::int32_t>(j))) & 15u : 0u;
        sortKeys.push_back(py << 32 | static_cast<std::uint32_t>(wb[j]));
    }
    std::sort(sortKeys.begin(), sortKeys.end());
    out.clear();
    for (std::size_t j = 0; j < n;) {
        std::size_t k = j + 1;
        while (k < n && sortKeys[k] == sortKeys[j]) ++k;
        const std::uint32_t py = static_cast<std::uint32_t>(sortKeys[j] >> 32);
        out.push_back({static_cast<std::uint32_t>(sortKeys[j]), static_cast<std::uint32_t>(k - j), py});
        j = k;
    }
}

template <class Acc>
std::vector<Acc>& tableOf(RowChannel& r);
template <>
std::vector<std::uint32_t>& tableOf<std::uint32_t>(RowChannel& r) {
    return r.r32;
}
template <>
std::vector<std::uint64_t>& tableOf<std::uint64_t>(RowChannel& r) {
    return r.r64;
}

// R[px][key] = sum over groups g of count_g x C((key + key_g) mod M, phase (py_g, px)).
template <class Acc>
bool buildPeriodicTable(const ChannelPlan& ch, RowChannel& r, CancelCheck& cancel) {
    std::vector<Acc>& R = tableOf<Acc>(r);
    R.assign(static_cast<std::size_t>(ch.phases) << ch.strideBits, 0);
    for (const Group& g : r.groups) {
        if (!ch.dither) {
            addLow(R.data(), ch.low.data() + g.key, ch.M, g.count);
        } else {
            for (int px = 0; px < 16; ++px)
                addContributions(R.data() + (static_cast<std::size_t>(px) << ch.strideBits), ch.low.data() + g.key,
                                 ch.high.data() + g.key, ch.threshold.data() + g.key, ch.matrix[g.py][px], ch.M,
                                 g.count);
        }
        if (cancel.stop(static_cast<std::uint64_t>(ch.phases) * ch.M)) return false;
    }
    if (ch.fold == Fold::TurnFast)
        for (int px = 0; px < ch.phases; ++px) {
            Acc* t = R.data() + (static_cast<std::size_t>(px) << ch.strideBits);
            std::copy(t, t + 510, t + 510);
        }
    return true;
}

// Limit: key k stands for the horizontal wave lo + k. Group g (raw wb) adds
// C(0) below the key where lo + k + wb reaches 0, the ramp C(0..255) from
// there, and C(255) above it; the constant parts go in as differences first
// and are summed up before the ramps are added.
template <class Acc>
bool buildLimitTable(const ChannelPlan& ch, RowChannel& r, CancelCheck& cancel) {
    std::vector<Acc>& R = tableOf<Acc>(r);
    const std::size_t K = r.K;
    R.assign(static_cast<std::size_t>(ch.phases) * K, 0);
    for (const Group& g : r.groups) {
        const std::uint32_t r0 =
            static_cast<std::uint32_t>(static_cast<std::int64_t>(r.wbmax) - i32::fromBits(g.key) + 1);
        for (int px = 0; px < ch.phases; ++px) {
            Acc* t = R.data() + static_cast<std::size_t>(px) * K;
            const Acc c0 = static_cast<Acc>(g.count) * static_cast<Acc>(ch.contribution(0, g.py, px));
            t[0] += c0;
            t[r0] -= c0;
            t[r0 + 256] += static_cast<Acc>(g.count) * static_cast<Acc>(ch.contribution(255, g.py, px));
        }
    }
    for (int px = 0; px < ch.phases; ++px) {
        Acc* t = R.data() + static_cast<std::size_t>(px) * K;
        Acc running = 0;
        for (std::size_t k = 0; k < K; ++k) t[k] = running += t[k];
    }
    for (const Group& g : r.groups) {
        const std::uint32_t r0 =
            static_cast<std::uint32_t>(static_cast<std::int64_t>(r.wbmax) - i32::fromBits(g.key) + 1);
        if (!ch.dither)
            addLow(R.data() + r0, ch.low.data(), 256, g.count);
        else
            for (int px = 0; px < 16; ++px)
                addContributions(R.data() + static_cast<std::size_t>(px) * K + r0, ch.low.data(), ch.high.data(),
                                 ch.threshold.data(), ch.matrix[g.py][px], 256, g.count);
        if (cancel.stop(static_cast<std::uint64_t>(ch.phases) * 256)) return false;
    }
    return true;
}

template <class Acc>
Acc sumTable(const std::uint32_t* e, std::uint32_t len, const Acc* R) {
    Acc s = 0;
    for (std::uint32_t k = 0; k < len; ++k) s += static_cast<Acc>(e[k] >> kIndexBits) * R[e[k] & kIndexMask];
    return s;
}

// A channel's per-slot contributions, as plain pointers for the inner loops.
template <bool Dither>
struct Contributions {
    const std::int32_t *low, *high, *threshold;
    const std::uint8_t (*matrix)[16];
    explicit Contributions(const ChannelPlan& ch)
        : low(ch.low.data()), high(ch.high.data()), threshold(ch.threshold.data()), matrix(ch.matrix) {}
    std::int32_t operator()(std::uint32_t slot, std::uint32_t py, std::uint32_t px) const {
        if constexpr (!Dither) {
            return low[slot];
        } else {
            const std::int32_t lo = low[slot], hi = high[slot];  // a select, not a branch on dithered data
            return matrix[py][px] < threshold[slot] ? hi : lo;
        }
    }
};

// Periodic folds without a table: every (column entry, sample row group) pair.
template <bool Dither, class Acc>
Acc sumPeriodicDirect(const ChannelPlan& ch, const RowChannel& r, const std::uint32_t* e, std::uint32_t len,
                      std::uint32_t shift, CancelCheck& cancel) {
    const Contributions<Dither> C(ch);
    const int strideBits = ch.strideBits;
    const std::uint32_t keyMask = (1u << strideBits) - 1;
    const Group* groups = r.groups.data();
    const std::size_t count = r.groups.size();
    Acc s = 0;
    for (std::uint32_t k = 0; k < len; ++k) {
        const std::uint32_t index = e[k] & kIndexMask;
        const std::uint32_t px = index >> strideBits, key = (index & keyMask) + shift;
        Acc inner = 0;
        for (std::size_t g = 0; g < count; ++g)
            inner += static_cast<Acc>(groups[g].count) * static_cast<Acc>(C(key + groups[g].key, groups[g].py, px));
        s += static_cast<Acc>(e[k] >> kIndexBits) * inner;
        if (cancel.stop(count)) break;
    }
    return s;
}

// Every sample from its raw values: exact for any fold, wrap or not.
template <Fold F, bool Dither, class Acc>
Acc sumRaw(const ChannelPlan& ch, const std::int32_t* u, std::int32_t n, std::uint32_t px0,
           const std::vector<Group>& groupList, CancelCheck& cancel) {
    const Contributions<Dither> C(ch);
    const Group* groups = groupList.data();
    const std::size_t count = groupList.size();
    Acc s = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint32_t px = Dither ? (px0 + static_cast<std::uint32_t>(i)) & 15u : 0u;
        const std::uint32_t ui = static_cast<std::uint32_t>(u[i]);
        Acc inner = 0;
        for (std::size_t g = 0; g < count; ++g)
            inner += static_cast<Acc>(groups[g].count) *
                     static_cast<Acc>(C(slotOf<F>(ui + groups[g].key), groups[g].py, px));
        s += inner;
        if (cancel.stop(count)) break;
    }
    return s;
}

template <bool Dither, class Acc>
Acc sumLimitTable(const std::int32_t* u, std::int32_t n, std::uint32_t px0, std::uint32_t pxStride, std::int32_t lo,
                  std::int32_t hi, const Acc* R) {
    Acc s = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t v = u[i] < lo ? lo : u[i] > hi ? hi : u[i];
        const std::uint32_t key = static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(lo);
        if constexpr (Dither)
            s += R[((px0 + static_cast<std::uint32_t>(i)) & 15u) * pxStride + key];
        else
            s += R[key];
    }
    return s;
}

// All n samples of the column at one key: n/16 or n/16 + 1 per phase.
template <class Acc>
Acc sumOneKey(const ChannelPlan& ch, std::int32_t n, std::uint32_t px0, std::size_t stride, std::uint32_t key,
              const Acc* R) {
    if (!ch.dither) return static_cast<Acc>(static_cast<std::uint32_t>(n)) * R[key];
    const std::uint32_t q = static_cast<std::uint32_t>(n) >> 4, rest = static_cast<std::uint32_t>(n) & 15u;
    Acc s = 0;
    for (std::uint32_t px = 0; px < 16; ++px)
        s += static_cast<Acc>(q + (((px - px0) & 15u) < rest ? 1u : 0u)) * R[px * stride + key];
    return s;
}

}  // namespace

namespace {

struct Column {
    const std::uint32_t* e;
    std::uint32_t len;
    std::int32_t umin, umax;
    const std::int32_t* rawU;  // the waves themselves, when at hand
};

// Prepares one channel's sums for the pixel row: groups of sample rows and,
// where it pays, the row table.
// groupRows has run; periodic folds have their groups, Limit rows of short
// pixels have every wb.
template <class Acc>
bool prepareRowChannel(const Supersampler::Plan& p, const ChannelPlan& ch, RowChannel& r, std::int32_t Y0,
                       CancelCheck& cancel) {
    const std::int32_t width = p.width, n = p.n;
    r.rawReady = false;
    const bool limit = ch.fold == Fold::Limit;
    if (limit) {
        if (p.longPixels) {
            // Each pixel sums its samples a chunk at a time.
            r.table = false;
            return true;
        }
        makeRawGroups(ch, r.wb.data(), r.wb.size(), Y0, r.sortKeys, r.groups);
    }
    const double G = static_cast<double>(r.groups.size()), W = width;
    double tableCost, directCost;
    bool possible = true;
    if (limit) {
        const std::int64_t K = static_cast<std::int64_t>(r.wbmax) - r.wbmin + 258;
        possible = static_cast<std::uint64_t>(K) * static_cast<std::uint64_t>(ch.phases) <= kMaxLimitTable;
        r.K = possible ? static_cast<std::uint32_t>(K) : 0;
        r.lo = i32::fromBits(static_cast<std::uint32_t>(-static_cast<std::int64_t>(r.wbmax) - 1));
        r.hi = static_cast<std::int32_t>(std::min<std::int64_t>(256 - static_cast<std::int64_t>(r.wbmin), INT32_MAX));
        tableCost = kTableAdd * G * ch.phases * 256 + 3 * kTableAdd * ch.phases * static_cast<double>(K) + 1.5 * W * n;
        directCost = W * (1.5 * n * G + kDirectPixel);
    } else {
        tableCost = kTableAdd * G * ch.phases * ch.M + kTableAdd / 2 * static_cast<double>(ch.phases << ch.strideBits) +
                    W * ch.entriesPerColumn;
        directCost = W * (ch.entriesPerColumn * G + kDirectPixel);
    }
    switch (p.sums) {
        case SupersampleTuning::Sums::Tables:
            r.table = possible;
            break;
        case SupersampleTuning::Sums::Direct:
            r.table = false;
            break;
        default:
            r.table = possible && tableCost < directCost;
    }
    if (!r.table) return true;
    return limit ? buildLimitTable<Acc>(ch, r, cancel) : buildPeriodicTable<Acc>(ch, r, cancel);
}

}  // namespace

namespace {

// Every sample of a long pixel from its raw values, a chunk of sample rows
// and a chunk of sample columns at a time: exact for any fold in little
// memory, and slow. scratchU and the row's wb hold a chunk each.
template <Fold F, bool Dither, class Acc>
Acc sumRawLong(const Supersampler::Plan& p, int c, RowChannel& r, std::int32_t x, std::int32_t Y0,
               std::int32_t* scratchU, CancelCheck& cancel) {
    const ChannelPlan& ch = p.channel[c];
    const std::uint32_t px0 = p.columnPhase(x);
    Acc s = 0;
    for (std::int32_t j0 = 0; j0 < p.n; j0 += p.chunk) {
        const std::int32_t rows = std::min(p.chunk, p.n - j0);
        p.rowWave(Y0, j0, rows, c, r.wb.data());
        makeRawGroups(ch, r.wb.data(), static_cast<std::size_t>(rows), i32::add(Y0, j0), r.sortKeys, r.rawGroups);
        for (std::int32_t i0 = 0; i0 < p.n; i0 += p.chunk) {
            const std::int32_t columns = std::min(p.chunk, p.n - i0);
            p.columnWave(x, i0, columns, c, scratchU);
            s += sumRaw<F, Dither, Acc>(ch, scratchU, columns, px0 + static_cast<std::uint32_t>(i0), r.rawGroups,
                                        cancel);
            if (cancel.stopped()) return s;
        }
    }
    return s;
}

// One channel's contributions summed over a pixel, by whichever exact way
// applies to it. scratchU holds a chunk of values, for waves that must be
// recomputed.
template <Fold F, bool Table, bool Dither, class Acc>
inline Acc pixelSum(const Supersampler::Plan& p, int c, RowChannel& r, const Column& col, std::int32_t x,
                    std::int32_t Y0, std::int32_t* scratchU, CancelCheck& cancel) {
    const ChannelPlan& ch = p.channel[c];
    const Acc* R = tableOf<Acc>(r).data();
    if constexpr (F == Fold::Loop || F == Fold::TurnSlow) {
        (void)x, (void)Y0, (void)scratchU;
        if constexpr (Table)
            return sumTable<Acc>(col.e, col.len, R);
        else
            return sumPeriodicDirect<Dither, Acc>(ch, r, col.e, col.len, 0, cancel);
    } else {
        const std::int32_t n = p.n;
        const std::int64_t amin = static_cast<std::int64_t>(col.umin) + r.wbmin;
        const std::int64_t amax = static_cast<std::int64_t>(col.umax) + r.wbmax;
        const bool noWrap = amin >= INT32_MIN && amax <= INT32_MAX;
        if constexpr (F == Fold::TurnFast) {
            // Sums that all wrap by -2^32 (or +2^32) move the key by -2^32
            // (or 2^32) mod the cycle: 254 (or 256).
            constexpr std::uint32_t kWrapUp =
                static_cast<std::uint32_t>((std::uint64_t{1} << 32) % edgeCycle(EdgeTurnFast));
            constexpr std::uint32_t kWrapDown = edgeCycle(EdgeTurnFast) - kWrapUp;
            const std::uint32_t shift = noWrap ? 0u : amin > INT32_MAX ? kWrapDown : amax < INT32_MIN ? kWrapUp : 1u;
            if (shift != 1u) {
                if constexpr (Table)
                    return sumTable<Acc>(col.e, col.len, R + shift);
                else
                    return sumPeriodicDirect<Dither, Acc>(ch, r, col.e, col.len, shift, cancel);
            }
            if (p.longPixels) return sumRawLong<Fold::TurnFast, Dither, Acc>(p, c, r, x, Y0, scratchU, cancel);
            if (!r.rawReady) {
                makeRawGroups(ch, r.wb.data(), r.wb.size(), Y0, r.sortKeys, r.rawGroups);
                r.rawReady = true;
            }
            const std::int32_t* u = col.rawU;
            if (!u) {
                p.columnWave(x, 0, n, c, scratchU);
                u = scratchU;
            }
            return sumRaw<Fold::TurnFast, Dither, Acc>(ch, u, n, p.columnPhase(x), r.rawGroups, cancel);
        } else {
            if (p.longPixels) return sumRawLong<Fold::Limit, Dither, Acc>(p, c, r, x, Y0, scratchU, cancel);
            const std::int32_t* u = reinterpret_cast<const std::int32_t*>(col.e);
            const std::uint32_t px0 = Dither ? p.columnPhase(x) : 0u;
            if constexpr (Table) {
                const std::uint32_t pxStride = Dither ? r.K : 0u;
                if (noWrap) return sumLimitTable<Dither, Acc>(u, n, px0, pxStride, r.lo, r.hi, R);
                // Every sum wraps to a negative value (all 0), or every sum
                // wraps to 256 or more (all 255): the table's end keys.
                if (amin > INT32_MAX) return sumOneKey<Acc>(ch, n, px0, pxStride, 0, R);
                if (amax < INT32_MIN && amin >= static_cast<std::int64_t>(INT32_MIN) * 2 + 256)
                    return sumOneKey<Acc>(ch, n, px0, pxStride, r.K - 1, R);
            }
            return sumRaw<Fold::Limit, Dither, Acc>(ch, u, n, px0, r.groups, cancel);
        }
    }
}

// A row of one channel over the cached columns.
template <Fold F, bool Table, bool Dither, class Acc>
bool cachedRow(const Supersampler::Plan& p, int c, RowChannel& r, std::int32_t* out, std::int32_t Y0,
               std::int32_t* scratchU, CancelCheck& cancel) {
    const ChannelPlan& ch = p.channel[c];
    const std::uint32_t* entries = ch.entries.get();
    const std::size_t* offset = ch.offset.data();
    const std::uint32_t* length = ch.length.data();
    const std::int32_t *umin = ch.umin.data(), *umax = ch.umax.data();
    for (std::int32_t x = 0; x < p.cached; ++x) {
        const std::size_t i = static_cast<std::size_t>(x);
        const Column col{entries + offset[i], length[i], umin[i], umax[i], nullptr};
        const Acc sum = pixelSum<F, Table, Dither, Acc>(p, c, r, col, x, Y0, scratchU, cancel);
        out[x] = ch.mean(sum, ch.minShare);
        if (cancel.stop(col.len)) return false;
    }
    return true;
}

// One pixel of one channel from a column computed for this row.
template <Fold F, bool Table, bool Dither, class Acc>
std::int32_t uncachedPixel(const Supersampler::Plan& p, int c, RowChannel& r, const Column& col, std::int32_t x,
                           std::int32_t Y0, std::int32_t* scratchU, CancelCheck& cancel) {
    const ChannelPlan& ch = p.channel[c];
    return ch.mean(pixelSum<F, Table, Dither, Acc>(p, c, r, col, x, Y0, scratchU, cancel), ch.minShare);
}

using CachedRowFn = bool (*)(const Supersampler::Plan&, int, RowChannel&, std::int32_t*, std::int32_t, std::int32_t*,
                             CancelCheck&);
using PixelFn = std::int32_t (*)(const Supersampler::Plan&, int, RowChannel&, const Column&, std::int32_t, std::int32_t,
                                 std::int32_t*, CancelCheck&);
struct RowFns {
    CachedRowFn cached;
    PixelFn uncached;
};

template <Fold F, bool Table, bool Dither>
RowFns pickWidth(bool wide) {
    if (wide) return {cachedRow<F, Table, Dither, std::uint64_t>, uncachedPixel<F, Table, Dither, std::uint64_t>};
    return {cachedRow<F, Table, Dither, std::uint32_t>, uncachedPixel<F, Table, Dither, std::uint32_t>};
}

template <Fold F>
RowFns pickFold(bool table, bool dither, bool wide) {
    if (table) return dither ? pickWidth<F, true, true>(wide) : pickWidth<F, true, false>(wide);
    return dither ? pickWidth<F, false, true>(wide) : pickWidth<F, false, false>(wide);
}

RowFns pickRow(Fold f, bool table, bool dither, bool wide) {
    switch (f) {
        case Fold::Limit:
            return pickFold<Fold::Limit>(table, dither, wide);
        case Fold::TurnFast:
            return pickFold<Fold::TurnFast>(table, dither, wide);
        case Fold::TurnSlow:
            return pickFold<Fold::TurnSlow>(table, dither, wide);
        default:
            return pickFold<Fold::Loop>(table, dither, wide);
    }
}

}  // namespace

bool Supersampler::renderRow(Scratch& sc, std::int32_t y, std::int32_t* const values[3],
                             const std::atomic<bool>* cancel) const {
    const Plan& p = *plan_;
    const PatternSettings& s = *p.s;
    const std::int32_t n = p.n, width = p.width;
    const std::int32_t Y0 = i32::mul(i32::sub(y, s.basey), n);
    CancelCheck check(cancel);
    if (!p.groupRows(sc, Y0, check)) return false;
    RowFns fn[3];
    for (int c = 0; c < 3; ++c) {
        const ChannelPlan& ch = p.channel[c];
        const bool ok = ch.wide ? prepareRowChannel<std::uint64_t>(p, ch, sc.row[c], Y0, check)
                                : prepareRowChannel<std::uint32_t>(p, ch, sc.row[c], Y0, check);
        if (!ok) return false;
        fn[c] = pickRow(ch.fold, sc.row[c].table, ch.dither, ch.wide);
    }
    for (int c = 0; c < 3; ++c)
        if (!fn[c].cached(p, c, sc.row[c], values[c], Y0, sc.u[c].data(), check)) return false;
    std::uint32_t* const out[3] = {sc.entries[0].data(), sc.entries[1].data(), sc.entries[2].data()};
    for (std::int32_t x = p.cached; x < width; ++x) {
        std::uint32_t len[3];
        std::int32_t umin[3], umax[3];
        if (!p.encodeColumn(sc, x, out, len, umin, umax, check)) return false;
        for (int c = 0; c < 3; ++c) {
            // Short pixels: the whole column's waves are still at hand.
            const Column col{out[c], len[c], umin[c], umax[c], p.longPixels ? nullptr : sc.u[c].data()};
            values[c][x] = fn[c].uncached(p, c, sc.row[c], col, x, Y0, sc.u[c].data(), check);
        }
        if (check.stop(3u * static_cast<std::uint32_t>(n))) return false;
    }
    return true;
}

}  // namespace fast
