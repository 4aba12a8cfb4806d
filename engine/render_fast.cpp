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
// between them are tabulated per folded value. This file renders one sample
// per pixel; supersample.cpp sums n x n samples per pixel.
#include <algorithm>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "channel.h"
#include "fast_common.h"
#include "hue.h"
#include "int32_math.h"
#include "reference.h"
#include "render.h"
#include "render_fast.h"
#include "supersample.h"
#include "workers.h"

namespace {

using fast::Fold;
using fast::slotOf;

constexpr int kSlots = 512;
constexpr int kHueCacheBits = 12;
// The most samples the plain path takes over where the fast one has no memory.
constexpr double kPlainSamples = 4e9;

// Per-channel tables, indexed by slot: the channel value of a sample, the
// minimum included.
struct ChannelPlan {
    Fold fold = Fold::Loop;
    bool dither = false;
    int matrix = 0;
    std::int32_t base = 0, vx = 0, vy = 0;
    std::int32_t low[kSlots], high[kSlots], threshold[kSlots];
    // One sample per pixel, no dither: the low byte of `low`, already in its
    // place in a 0x00BBGGRR pixel.
    std::uint32_t packed[kSlots];
    bool lowInByteRange = true;  // every `low` within 0..255
};

void buildTables(ChannelPlan& t, const ChannelParams& ch) {
    t.fold = fast::foldOf(ch.mode);
    t.dither = fast::stepActive(ch.dither);
    t.matrix = ch.dither < 0 ? 1 : 0;
    t.base = ch.base;
    t.vx = ch.vx;
    t.vy = ch.vy;
    // Slots a fold never produces are filled too (harmlessly) so that the
    // tables need no per-mode size.
    for (std::int32_t slot = 0; slot < kSlots; ++slot) {
        const fast::SampleContribution c =
            fast::sampleContribution(foldEdge(slot, ch.mode), ch.posterize, ch.dither, ch.max, ch.min);
        t.low[slot] = i32::add(ch.min, c.low);
        t.high[slot] = i32::add(ch.min, c.high);
        t.threshold[slot] = c.threshold;
        if (static_cast<std::uint32_t>(t.low[slot]) > 255u) t.lowInByteRange = false;
    }
}

void buildPacked(ChannelPlan& t, int shift) {
    for (int slot = 0; slot < kSlots; ++slot)
        t.packed[slot] = (static_cast<std::uint32_t>(t.low[slot]) & 0xFFu) << shift;
}

// How a row's channel values leave the sample loop with one sample per pixel:
// as 32-bit values (a hue rotation follows), or packed straight into the row
// when the hue leaves colours alone and only the low byte counts.
enum Out { kValues, kPackFirst, kPackMore };

template <Fold F, bool Dither, int O>
void singleSampleRow(const ChannelPlan& t, const std::int32_t* u, std::int32_t width, std::uint32_t wb,
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

using SingleFn = void (*)(const ChannelPlan&, const std::int32_t*, std::int32_t, std::uint32_t,
                          const std::uint8_t*, std::uint32_t, std::int32_t*, std::uint32_t*, int);

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

// Everything a row needs that is the same for every row.
struct Plan {
    const PatternSettings* s = nullptr;
    std::int32_t width = 0, periodX = 1, periodY = 1;
    bool trigY = false;
    std::uint32_t column0 = 0;  // low bits of the first sample column, for the dither phase
    HueRotator hue{0};
    // One sample per pixel.
    ChannelPlan channel[3];
    std::vector<std::int32_t> u[3];  // horizontal wave per column
    bool packDirect = false;
    // No dither and edge modes that keep low bits (Loop, Turn slow): all
    // three channels of a pixel in one pass, each a masked index into its
    // packed table.
    bool fused = false;
    std::uint32_t fusedMask[3] = {255u, 255u, 255u};
    std::vector<std::uint16_t> fusedIndex[3];  // horizontal wave & mask, per column
    // Several samples per pixel.
    std::unique_ptr<fast::Supersampler> super;
};

// One thread's scratch space.
struct Scratch {
    std::vector<std::int32_t> values[3];
    std::uint32_t wb[3] = {0, 0, 0};   // vertical wave + base of the current row
    std::uint32_t rotated[3][kSlots];  // packed tables turned by the row's vertical wave
    // Recent hue rotations: colour 0x00BBGGRR -> rotated colour. No colour
    // has a set top byte, so ~0 marks an empty entry.
    std::vector<std::uint32_t> hueKeys, hueValues;
    fast::Supersampler::ScratchPtr super;
};

void buildSingleSamplePlan(Plan& p, const PatternSettings& s) {
    for (int c = 0; c < 3; ++c) buildTables(p.channel[c], channelOf(s, c));
    p.packDirect = p.hue.isIdentity();
    p.fused = true;
    for (int c = 0; c < 3; ++c) {
        const ChannelPlan& t = p.channel[c];
        const bool masked = t.fold == Fold::Loop || t.fold == Fold::TurnSlow;
        // With a hue rotation the packed bytes must be the whole channel values.
        p.fused = p.fused && masked && !t.dither && (p.hue.isIdentity() || t.lowInByteRange);
        p.fusedMask[c] = t.fold == Fold::TurnSlow ? 511u : 255u;
    }
    if (p.fused)
        for (int c = 0; c < 3; ++c) buildPacked(p.channel[c], 8 * c);

    const std::size_t width = static_cast<std::size_t>(p.width);
    for (auto& u : p.u) u.resize(width);
    const bool trigX = isTrigWave(s.pat_x);
    for (std::int32_t x = 0; x < p.width; ++x) {
        const std::int32_t sx = i32::sub(x, s.basex);
        if (trigX) {
            // One sin/cos for all three channels; waveValue multiplies the
            // same double by each amplitude.
            const double f = trigWaveFactor(sx, s.pat_x, p.periodX);
            for (int c = 0; c < 3; ++c) p.u[c][x] = i32::truncDouble(f * static_cast<double>(p.channel[c].vx));
        } else {
            for (int c = 0; c < 3; ++c) p.u[c][x] = waveValue(sx, p.channel[c].vx, s.pat_x, p.periodX);
        }
    }
    if (p.fused)
        for (int c = 0; c < 3; ++c) {
            p.fusedIndex[c].resize(width);
            for (std::size_t x = 0; x < width; ++x)
                p.fusedIndex[c][x] = static_cast<std::uint16_t>(static_cast<std::uint32_t>(p.u[c][x]) & p.fusedMask[c]);
        }
}

void buildPlan(Plan& p, const PatternSettings& s, const fast::SupersampleTuning& tuning) {
    p.s = &s;
    p.width = s.bmpw;
    p.periodX = scaledPeriod(s.periodX(), s.accuracy);
    p.periodY = scaledPeriod(s.periodY(), s.accuracy);
    p.trigY = isTrigWave(s.pat_y);
    // Pixel x is sample column x - basex.
    p.column0 = 0u - static_cast<std::uint32_t>(s.basex);
    p.hue = HueRotator(s.hue);
    if (s.accuracy == 1)
        buildSingleSamplePlan(p, s);
    else
        p.super.reset(new fast::Supersampler(s, tuning));
}

void prepareScratch(Scratch& sc, const Plan& p) {
    for (auto& v : sc.values) v.resize(static_cast<std::size_t>(p.width));
    if (!p.hue.isIdentity()) {
        sc.hueKeys.assign(std::size_t{1} << kHueCacheBits, ~0u);
        sc.hueValues.assign(std::size_t{1} << kHueCacheBits, 0u);
    }
    if (p.super) sc.super = p.super->makeScratch();
}

void fusedRow(const Plan& p, Scratch& sc, std::uint32_t* row) {
    // The row's vertical wave moves every slot by the same amount (mod the
    // mask), so each channel's table is rotated once per row instead of the
    // wave being added to every sample.
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t* table = p.channel[c].packed;
        const std::uint32_t size = p.fusedMask[c] + 1, shift = sc.wb[c] & p.fusedMask[c];
        std::uint32_t* rotated = sc.rotated[c];
        std::copy(table + shift, table + size, rotated);
        std::copy(table, table + shift, rotated + (size - shift));
    }
    const std::uint16_t *ir = p.fusedIndex[0].data(), *ig = p.fusedIndex[1].data(), *ib = p.fusedIndex[2].data();
    const std::uint32_t *tr = sc.rotated[0], *tg = sc.rotated[1], *tb = sc.rotated[2];
    // A local bound: the row's stores could otherwise alias p.width.
    const std::int32_t width = p.width;
    for (std::int32_t x = 0; x < width; ++x) row[x] = tr[ir[x]] | tg[ig[x]] | tb[ib[x]];
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

// Channel values of one row with one sample per pixel; false when the row
// is packed into `row` already.
bool singleSampleValues(const Plan& p, Scratch& sc, std::int32_t y, std::uint32_t* row) {
    const PatternSettings& s = *p.s;
    const std::int32_t sy = i32::sub(y, s.basey);
    if (p.trigY) {
        const double f = trigWaveFactor(sy, s.pat_y, p.periodY);
        for (int c = 0; c < 3; ++c)
            sc.wb[c] = static_cast<std::uint32_t>(
                i32::add(i32::truncDouble(f * static_cast<double>(p.channel[c].vy)), p.channel[c].base));
    } else {
        for (int c = 0; c < 3; ++c)
            sc.wb[c] = static_cast<std::uint32_t>(
                i32::add(waveValue(sy, p.channel[c].vy, s.pat_y, p.periodY), p.channel[c].base));
    }
    if (p.fused) {
        fusedRow(p, sc, row);
        if (!p.hue.isIdentity())
            for (std::int32_t x = 0; x < p.width; ++x) row[x] = rotateCached(p, sc, row[x]);
        return false;
    }
    const fast::DitherMatrices& dm = fast::ditherMatrices();
    for (int c = 0; c < 3; ++c) {
        const ChannelPlan& t = p.channel[c];
        const std::uint8_t* matrixRow = dm.value[t.matrix][static_cast<std::uint32_t>(sy) & 15u];
        SingleFn fn = !p.packDirect ? pickSingle<kValues>(t.fold, t.dither)
                      : c == 0      ? pickSingle<kPackFirst>(t.fold, t.dither)
                                    : pickSingle<kPackMore>(t.fold, t.dither);
        fn(t, p.u[c].data(), p.width, sc.wb[c], matrixRow, p.column0, sc.values[c].data(), row, 8 * c);
    }
    return !p.packDirect;
}

// False when cancelled.
bool renderRow(const Plan& p, Scratch& sc, std::int32_t y, std::uint32_t* row, const std::atomic<bool>* cancel) {
    const std::int32_t width = p.width;
    if (p.super) {
        std::int32_t* const values[3] = {sc.values[0].data(), sc.values[1].data(), sc.values[2].data()};
        if (!p.super->renderRow(*sc.super, y, values, cancel)) return false;
    } else if (!singleSampleValues(p, sc, y, row)) {
        return true;
    }
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
    return true;
}

int threadCount(int requested, std::int32_t height) {
    return static_cast<int>(std::min<std::int64_t>(workerCount(requested), std::max<std::int32_t>(height, 1)));
}

// Reports a finished row to the caller.
void rowFinished(const RenderOptions& opt) {
    if (opt.rowsDone) opt.rowsDone->fetch_add(1, std::memory_order_relaxed);
}

bool renderTuned(const PatternSettings& settings, std::uint32_t* pixels, const RenderOptions& opt,
                 const RenderTuning& tuning) {
    PatternSettings s = settings;
    s.accuracy = renderedAccuracy(settings);
    const std::int32_t height = s.bmph, width = s.bmpw;
    if (height <= 0) return true;
    const int threads = threadCount(opt.threads, height);
    auto rowOf = [&](std::int32_t y) { return pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); };

    // Accuracy below 1 never reaches a render (validate repairs it); it keeps
    // whatever the plain path does.
    bool fast = !tuning.plain && width > 0 && s.accuracy >= 1;
    Plan plan;
    std::vector<Scratch> scratch;
    if (fast) {
        try {
            buildPlan(plan, s, tuning.supersample);
            scratch.resize(static_cast<std::size_t>(threads));
            for (auto& sc : scratch) prepareScratch(sc, plan);
        } catch (const std::exception&) {
            // Out of memory (or sizes beyond what a vector can hold).
            // The plain path needs no memory, but takes some 3 n^2 samples
            // a pixel: beyond a few seconds' worth, memory ran out.
            const double samples = 3.0 * s.accuracy * s.accuracy * width * height;
            if (samples > kPlainSamples) throw std::bad_alloc();
            fast = false;
        }
    }
    if (!fast) {
        return forEachItem(threads, height, opt.cancel, [&](int, std::int32_t y) {
            for (std::int32_t x = 0; x < width; ++x) {
                renderReferencePixels(s, rowOf(y), y, x, x + 1, opt.cancel);
                if (opt.cancel && opt.cancel->load(std::memory_order_relaxed)) return false;
            }
            rowFinished(opt);
            return true;
        });
    }
    if (plan.super) {
        if (plan.super->countingNeeded()) {
            auto count = [&](int worker, std::int32_t x) {
                return plan.super->countColumn(*scratch[static_cast<std::size_t>(worker)].super, x, opt.cancel);
            };
            if (!forEachItem(threads, width, opt.cancel, count)) return false;
            plan.super->layOut();
        }
        auto prepare = [&](int worker, std::int32_t x) {
            return plan.super->prepareColumn(*scratch[static_cast<std::size_t>(worker)].super, x, opt.cancel);
        };
        if (!forEachItem(threads, plan.super->cachedColumns(), opt.cancel, prepare)) return false;
        plan.super->columnsReady();
    }
    return forEachItem(threads, height, opt.cancel, [&](int worker, std::int32_t y) {
        if (!renderRow(plan, scratch[static_cast<std::size_t>(worker)], y, rowOf(y), opt.cancel)) return false;
        rowFinished(opt);
        return true;
    });
}

}  // namespace

bool renderImageTuned(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt,
                      const RenderTuning& tuning) {
    try {
        return renderTuned(s, pixels, opt, tuning);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // Only a size beyond what a container can hold gets here.
        throw std::bad_alloc();
    }
}

bool renderImage(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt) {
    return renderImageTuned(s, pixels, opt, RenderTuning{});
}

std::vector<std::uint32_t> renderImage(const PatternSettings& s, const RenderOptions& opt) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph));
    renderImage(s, pixels.data(), opt);
    return pixels;
}

// Every pixel depends only on its position less the origin, the two periods
// and the samples per pixel; a copy with the crop's size, the same periods
// (given outright, not as shares of the size) and the origin moved by the
// crop's corner renders the crop as its whole image.
bool renderCrop(const PatternSettings& s, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
                std::uint32_t* pixels, const RenderOptions& opt) {
    PatternSettings c = s;
    c.bmpw = w;
    c.bmph = h;
    c.baserw = 0;
    c.basew = s.periodX();
    c.baserh = 0;
    c.baseh = s.periodY();
    c.basex = i32::sub(s.basex, x0);
    c.basey = i32::sub(s.basey, y0);
    return renderImage(c, pixels, opt);
}

bool renderTiledCrop(const PatternSettings& s, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
                     std::uint32_t* pixels, const RenderOptions& opt) {
    if (w <= 0 || h <= 0 || s.bmpw <= 0 || s.bmph <= 0) return true;
    // The distinct pixels: a block of the image from (ox, oy), no larger
    // than the image, wrapping round its right and bottom edges.
    const std::int32_t bw = std::min(w, s.bmpw), bh = std::min(h, s.bmph);
    const std::int32_t ox = i32::modPos(x0, s.bmpw), oy = i32::modPos(y0, s.bmph);
    const std::int32_t left = std::min(bw, s.bmpw - ox), top = std::min(bh, s.bmph - oy);
    if (bw == w && bh == h && left == bw && top == bh) return renderCrop(s, ox, oy, w, h, pixels, opt);
    std::vector<std::uint32_t> block(static_cast<std::size_t>(bw) * static_cast<std::size_t>(bh)), piece;
    for (std::int32_t by : {0, top})
        for (std::int32_t bx : {0, left}) {
            const std::int32_t pw = bx == 0 ? left : bw - left, ph = by == 0 ? top : bh - top;
            if (pw <= 0 || ph <= 0) continue;
            piece.resize(static_cast<std::size_t>(pw) * static_cast<std::size_t>(ph));
            if (!renderCrop(s, bx == 0 ? ox : 0, by == 0 ? oy : 0, pw, ph, piece.data(), opt)) return false;
            for (std::int32_t y = 0; y < ph; ++y)
                std::copy_n(piece.begin() + static_cast<std::ptrdiff_t>(y) * pw, pw,
                            block.begin() + static_cast<std::ptrdiff_t>(by + y) * bw + bx);
        }
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint32_t* from = block.data() + static_cast<std::size_t>(y % bh) * static_cast<std::size_t>(bw);
        std::uint32_t* to = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (std::int32_t x = 0; x < w; x += bw) std::copy_n(from, std::min(bw, w - x), to + x);
    }
    return true;
}
