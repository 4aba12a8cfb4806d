#include "loop_palette.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "workers.h"

namespace {

constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;  // pixels are masked to 24 bits
constexpr int kCellBits = 6;                      // of each channel, for the histogram and the grid
constexpr int kCells = 1 << (3 * kCellBits);

int channel(std::uint32_t c, int i) { return static_cast<int>((c >> (8 * i)) & 0xFFu); }

std::size_t cellOf(std::uint32_t c) {
    constexpr int drop = 8 - kCellBits;
    return (static_cast<std::size_t>(channel(c, 0) >> drop) << (2 * kCellBits)) |
           (static_cast<std::size_t>(channel(c, 1) >> drop) << kCellBits) | static_cast<std::size_t>(channel(c, 2) >> drop);
}

// Open addressing in a table four times the 256 colours it holds at most.
constexpr std::size_t kSlots = 1024;
std::size_t slotOf(const std::vector<std::uint32_t>& keys, std::uint32_t c) {
    std::size_t slot = (c * 0x9E3779B1u) >> 22;
    while (keys[slot] != kNoColour && keys[slot] != c) slot = (slot + 1) & (kSlots - 1);
    return slot;
}

// The 8 x 8 Bayer matrix, 0..63.
constexpr std::array<std::array<std::uint8_t, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

}  // namespace

struct ColourCensus::Data {
    std::vector<std::uint32_t> keys = std::vector<std::uint32_t>(kSlots, kNoColour);
    std::size_t distinct = 0;  // up to 257: more than 256
    // Per cell of the grid: how many pixels, and the sums of their channels,
    // so that a box of cells stands for the mean of its own pixels.
    std::vector<std::uint64_t> count = std::vector<std::uint64_t>(kCells, 0);
    std::vector<std::array<std::uint64_t, 3>> sum = std::vector<std::array<std::uint64_t, 3>>(kCells);

    void addDistinct(std::uint32_t c) {
        if (distinct > 256) return;
        const std::size_t slot = slotOf(keys, c);
        if (keys[slot] != kNoColour) return;
        if (distinct == 256) {
            distinct = 257;
            return;
        }
        keys[slot] = c;
        ++distinct;
    }
};

ColourCensus::ColourCensus() : d_(new Data) {}
ColourCensus::~ColourCensus() = default;
ColourCensus::ColourCensus(ColourCensus&&) noexcept = default;
ColourCensus& ColourCensus::operator=(ColourCensus&&) noexcept = default;

void ColourCensus::add(const std::uint32_t* pixels, std::size_t n) {
    Data& d = *d_;
    std::uint32_t last = kNoColour;
    std::size_t run = 0;
    auto flush = [&] {
        if (run == 0) return;
        d.addDistinct(last);
        const std::size_t cell = cellOf(last);
        d.count[cell] += run;
        for (int i = 0; i < 3; ++i) d.sum[cell][static_cast<std::size_t>(i)] += static_cast<std::uint64_t>(channel(last, i)) * run;
    };
    // Wallpapers repeat colours in runs: a run costs one look-up.
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t c = pixels[i] & 0xFFFFFFu;
        if (c == last) {
            ++run;
            continue;
        }
        flush();
        last = c;
        run = 1;
    }
    flush();
}

void ColourCensus::merge(const ColourCensus& other) {
    const Data& o = *other.d_;
    if (o.distinct > 256) d_->distinct = 257;
    for (const std::uint32_t c : o.keys)
        if (c != kNoColour) d_->addDistinct(c);
    for (std::size_t cell = 0; cell < kCells; ++cell) {
        d_->count[cell] += o.count[cell];
        for (std::size_t i = 0; i < 3; ++i) d_->sum[cell][i] += o.sum[cell][i];
    }
}

bool ColourCensus::fewColours() const { return d_->distinct <= 256; }

namespace {

// A box of grid cells, [lo, hi] in each channel.
struct Box {
    std::array<int, 3> lo, hi;
    std::uint64_t pixels = 0;
};

// Shrinks the box to the cells that hold pixels and counts them.
void fit(Box& b, const std::vector<std::uint64_t>& count) {
    std::array<int, 3> lo = {1 << kCellBits, 1 << kCellBits, 1 << kCellBits}, hi = {-1, -1, -1};
    std::uint64_t pixels = 0;
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int g = b.lo[1]; g <= b.hi[1]; ++g)
            for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                const std::uint64_t n = count[(static_cast<std::size_t>(r) << (2 * kCellBits)) |
                                              (static_cast<std::size_t>(g) << kCellBits) | static_cast<std::size_t>(bl)];
                if (n == 0) continue;
                pixels += n;
                const int at[3] = {r, g, bl};
                for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], at[i]), hi[i] = std::max(hi[i], at[i]);
            }
    b.pixels = pixels;
    if (pixels) b.lo = lo, b.hi = hi;
}

// Median cut: the box with the most pixels times its longest side is
// split at the median of its pixels along that side, until there are 256
// boxes or no box can be split (each is one cell).
std::vector<Box> medianCut(const std::vector<std::uint64_t>& count) {
    std::vector<Box> boxes(1, Box{{0, 0, 0}, {(1 << kCellBits) - 1, (1 << kCellBits) - 1, (1 << kCellBits) - 1}});
    fit(boxes[0], count);
    if (boxes[0].pixels == 0) return {};
    while (boxes.size() < 256) {
        std::size_t pick = boxes.size();
        std::uint64_t best = 0;
        int axis = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const Box& b = boxes[i];
            int side = 0, longest = 0;
            for (int a = 0; a < 3; ++a)
                if (b.hi[a] - b.lo[a] > side) side = b.hi[a] - b.lo[a], longest = a;
            const std::uint64_t score = b.pixels * static_cast<std::uint64_t>(side);
            if (side > 0 && score >= best) best = score, pick = i, axis = longest;
        }
        if (pick == boxes.size()) break;
        Box& b = boxes[pick];
        // Pixels per slice along the axis, then the slice where half are passed.
        std::vector<std::uint64_t> slice(static_cast<std::size_t>(b.hi[axis] - b.lo[axis] + 1), 0);
        for (int r = b.lo[0]; r <= b.hi[0]; ++r)
            for (int g = b.lo[1]; g <= b.hi[1]; ++g)
                for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                    const int at[3] = {r, g, bl};
                    slice[static_cast<std::size_t>(at[axis] - b.lo[axis])] +=
                        count[(static_cast<std::size_t>(r) << (2 * kCellBits)) |
                              (static_cast<std::size_t>(g) << kCellBits) | static_cast<std::size_t>(bl)];
                }
        std::uint64_t passed = 0;
        int cut = b.lo[axis];
        for (std::size_t i = 0; i + 1 < slice.size(); ++i) {
            passed += slice[i];
            cut = b.lo[axis] + static_cast<int>(i);
            if (2 * passed >= b.pixels) break;
        }
        Box upper = b;
        b.hi[axis] = cut;
        upper.lo[axis] = cut + 1;
        fit(b, count);
        fit(upper, count);
        boxes.push_back(upper);
    }
    return boxes;
}

}  // namespace

LoopPalette::LoopPalette(const ColourCensus& census) {
    const ColourCensus::Data& d = *census.d_;
    if (d.distinct <= 256) {
        exact_ = true;
        for (const std::uint32_t c : d.keys)
            if (c != kNoColour) colours_.push_back(c);
        std::sort(colours_.begin(), colours_.end());
        keys_.assign(kSlots, kNoColour);
        index_.assign(kSlots, 0);
        for (std::size_t i = 0; i < colours_.size(); ++i) {
            const std::size_t slot = slotOf(keys_, colours_[i]);
            keys_[slot] = colours_[i];
            index_[slot] = static_cast<std::uint8_t>(i);
        }
        if (colours_.empty()) colours_.push_back(0);
        return;
    }
    // Each box stands for the mean colour of its pixels.
    for (const Box& b : medianCut(d.count)) {
        std::array<std::uint64_t, 3> s = {0, 0, 0};
        for (int r = b.lo[0]; r <= b.hi[0]; ++r)
            for (int g = b.lo[1]; g <= b.hi[1]; ++g)
                for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                    const std::size_t cell = (static_cast<std::size_t>(r) << (2 * kCellBits)) |
                                             (static_cast<std::size_t>(g) << kCellBits) | static_cast<std::size_t>(bl);
                    for (std::size_t i = 0; i < 3; ++i) s[i] += d.sum[cell][i];
                }
        std::uint32_t c = 0;
        for (int i = 0; i < 3; ++i)
            c |= static_cast<std::uint32_t>((s[static_cast<std::size_t>(i)] + b.pixels / 2) / b.pixels) << (8 * i);
        colours_.push_back(c);
    }
    std::sort(colours_.begin(), colours_.end());
    colours_.erase(std::unique(colours_.begin(), colours_.end()), colours_.end());
    // The dither reaches about as far as colours lie apart: the median over
    // the colours of the distance to the nearest other one.
    std::vector<int> gaps;
    for (std::size_t i = 0; i < colours_.size(); ++i) {
        int gap = 256;
        for (std::size_t j = 0; j < colours_.size(); ++j) {
            if (i == j) continue;
            int far = 0;
            for (int a = 0; a < 3; ++a) far = std::max(far, std::abs(channel(colours_[i], a) - channel(colours_[j], a)));
            gap = std::min(gap, far);
        }
        gaps.push_back(gap);
    }
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
    spread_ = std::min(std::max(gaps[gaps.size() / 2], 2), 64);
    // The nearest colour of every cell's centre, in slices on every thread.
    grid_.assign(kCells, 0);
    constexpr int side = 1 << kCellBits, half = 1 << (7 - kCellBits);
    forEachItem(workerCount(0), side, nullptr, [&](int, std::int32_t r) {
        for (int g = 0; g < side; ++g)
            for (int b = 0; b < side; ++b)
                grid_[(static_cast<std::size_t>(r) << (2 * kCellBits)) | (static_cast<std::size_t>(g) << kCellBits) |
                      static_cast<std::size_t>(b)] =
                    nearest((r << (8 - kCellBits)) + half, (g << (8 - kCellBits)) + half, (b << (8 - kCellBits)) + half);
        return true;
    });
}

LoopPalette::~LoopPalette() = default;

int LoopPalette::bits() const {
    int bits = 1;
    while ((std::size_t{1} << bits) < colours_.size()) ++bits;
    return bits;
}

std::uint8_t LoopPalette::nearest(std::int32_t r, std::int32_t g, std::int32_t b) const {
    std::size_t best = 0;
    std::int32_t bestDistance = INT32_MAX;
    for (std::size_t i = 0; i < colours_.size(); ++i) {
        const std::int32_t dr = channel(colours_[i], 0) - r, dg = channel(colours_[i], 1) - g,
                           db = channel(colours_[i], 2) - b;
        // Green weighs most and blue least, as the eye sees them.
        const std::int32_t distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) bestDistance = distance, best = i;
    }
    return static_cast<std::uint8_t>(best);
}

void LoopPalette::map(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                      std::uint8_t* indices) const {
    const std::size_t w = static_cast<std::size_t>(width);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * w;
        std::uint8_t* out = indices + static_cast<std::size_t>(y) * w;
        if (exact_) {
            std::uint32_t last = kNoColour;
            std::uint8_t lastIndex = 0;
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint32_t c = row[x] & 0xFFFFFFu;
                if (c != last) {
                    const std::size_t slot = slotOf(keys_, c);
                    last = c;
                    lastIndex = keys_[slot] == c ? index_[slot] : nearest(channel(c, 0), channel(c, 1), channel(c, 2));
                }
                out[x] = lastIndex;
            }
            continue;
        }
        const auto& bayer = kBayer[static_cast<std::size_t>(y & 7)];
        for (std::size_t x = 0; x < w; ++x) {
            // Threshold -1/2 .. 1/2 of the spread, the same on every channel.
            const std::int32_t offset = ((2 * bayer[x & 7] - 63) * spread_) / 128;
            std::int32_t at[3];
            for (int i = 0; i < 3; ++i)
                at[i] = std::min(std::max(channel(row[x], i) + offset, 0), 255) >> (8 - kCellBits);
            out[x] = grid_[(static_cast<std::size_t>(at[0]) << (2 * kCellBits)) |
                           (static_cast<std::size_t>(at[1]) << kCellBits) | static_cast<std::size_t>(at[2])];
        }
    }
}
