// Supersampling for the fast renderer (accuracy n >= 2): a pixel's sum over
// its n x n samples from tables that a whole row of pixels shares, so that a
// pixel costs about n table reads instead of n x n sample evaluations.
// Internal to the engine; render_fast.cpp drives it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "pattern_settings.h"

namespace fast {

// Choices that do not change the image, for tests that must reach every path
// with small images, and for benchmarks.
struct SupersampleTuning {
    // The horizontal sample data kept for the whole render, in 4-byte
    // entries over all three channels (2^23: 32 MB). Columns beyond it are
    // recomputed for every row instead.
    std::size_t cacheEntries = std::size_t{1} << 23;
    // How a row's sums are formed: per-row tables, direct sums over the
    // distinct sample rows, or whichever costs less.
    enum class Sums { Auto, Tables, Direct };
    Sums sums = Sums::Auto;
    // Samples of one pixel side held at once. A longer side is taken a piece
    // at a time, so that scratch space stays small at any accuracy; where a
    // sum needs every sample's own value (Limit, Turn fast near the 32-bit
    // wrap), such pixels then sum their samples one by one.
    std::int32_t chunkSamples = 1 << 16;
};

class Supersampler {
public:
    // May throw std::bad_alloc; the column cache shrinks (to nothing, if need
    // be) before that happens.
    Supersampler(const PatternSettings& s, const SupersampleTuning& tuning);
    ~Supersampler();
    Supersampler(const Supersampler&) = delete;
    Supersampler& operator=(const Supersampler&) = delete;

    // What every row shares (opaque).
    struct Plan;
    // One thread's scratch space: O(chunkSamples) plus a few tables of at
    // most 2 MB.
    struct Scratch;
    struct ScratchDeleter {
        void operator()(Scratch* sc) const;
    };
    using ScratchPtr = std::unique_ptr<Scratch, ScratchDeleter>;
    ScratchPtr makeScratch() const;

    // Before the cache can be filled: when countingNeeded(), countColumn
    // must run for every column 0..bmpw-1 (from any thread, in any order),
    // then layOut once.
    bool countingNeeded() const;
    // False when `cancel` was raised, and the column is then left unfinished.
    bool countColumn(Scratch& sc, std::int32_t x, const std::atomic<bool>* cancel);
    void layOut();
    // Columns 0..cachedColumns()-1 are cached; prepareColumn must have run
    // for each of them (from any thread, in any order) before renderRow.
    std::int32_t cachedColumns() const;
    bool prepareColumn(Scratch& sc, std::int32_t x, const std::atomic<bool>* cancel);
    // After every prepareColumn: lets the cost estimates see the cache.
    void columnsReady();

    // The three channel values of every pixel of row y (before the hue
    // rotation). False when `cancel` was raised; the values are then partial.
    bool renderRow(Scratch& sc, std::int32_t y, std::int32_t* const values[3], const std::atomic<bool>* cancel) const;

private:
    std::unique_ptr<Plan> plan_;
};

}  // namespace fast
