// Internals of the fast renderer, exposed for its tests.
#pragma once

#include <atomic>
#include <cstdint>

#include "render.h"

// Rows y0..y1-1 of renderReference, advancing rowsDone after each row.
void renderReferenceRows(const PatternSettings& s, std::uint32_t* pixels, std::int32_t y0, std::int32_t y1,
                         std::atomic<int>* rowsDone);

// The fast renderer keeps one horizontal wave table of bmpw x accuracy entries
// per channel. Beyond this many entries (accuracy above 512 at the largest
// width, where a render takes hours anyway) it renders rows the plain
// per-pixel way instead, which needs no tables at all.
constexpr std::int64_t kMaxFastTableSamples = std::int64_t{1} << 20;

// renderImage with a chosen table limit, so that tests can reach the plain
// path with small images.
bool renderImageWithTableLimit(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt,
                               std::int64_t maxTableSamples);

// What one sample contributes to its pixel, given its value after edge
// folding (0..255): `high` where the dither matrix value at the sample is
// below `threshold`, `low` elsewhere. Both include the range mapping but not
// the channel minimum. Without dithering, threshold is 0 and high == low.
struct SampleContribution {
    std::int32_t low, high, threshold;
};
SampleContribution sampleContribution(std::int32_t folded, std::int32_t posterizeStep, std::int32_t ditherStep,
                                      std::int32_t max, std::int32_t min);
