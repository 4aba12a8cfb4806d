// The fast renderer behind renderImage, with the choices that change only
// its speed: tests reach every path through them on small images, and
// benchmarks compare them.
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
