// Internals of the fast renderer, exposed for its tests and benchmarks.
#pragma once

#include <cstdint>

#include "render.h"
#include "supersample.h"

// Choices that change only the speed: the supersampling tuning, and the
// plain per-pixel path the renderer falls back to when memory is short.
struct RenderTuning {
    fast::SupersampleTuning supersample;
    bool plain = false;
};
bool renderImageTuned(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt,
                      const RenderTuning& tuning);

// What one sample contributes to its pixel, given its value after edge
// folding (0..255): `high` where the dither matrix value at the sample is
// below `threshold`, `low` elsewhere. Both include the range mapping but not
// the channel minimum. Without dithering, threshold is 0 and high == low.
struct SampleContribution {
    std::int32_t low, high, threshold;
};
SampleContribution sampleContribution(std::int32_t folded, std::int32_t posterizeStep, std::int32_t ditherStep,
                                      std::int32_t max, std::int32_t min);
