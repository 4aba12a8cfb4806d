// How the waves along one axis repeat, and which repeat lengths tile a side
// without a seam. The random wallpapers choose their periods from these, and
// the wheel steps between them, so both keep the same bounds.
#pragma once

#include <cstdint>
#include <vector>

namespace tiling {

bool isProportional(std::int8_t method);
// Periods per repeat of the wave: a proportional ramp closes after one.
std::int32_t periodsPerRepeat(std::int8_t method);
std::int8_t effectiveMode(std::int8_t mode);
// Whether a ramp of this amount ends where it began once folded: a whole
// number of the mode's cycles (never under Limit, which clamps).
bool rampCloses(std::int32_t amount, std::int8_t mode);
// Pixels after which the dither matrix (16 supersamples) repeats.
std::int32_t ditherRepeat(std::int64_t accuracy);

struct Repeat {
    std::int32_t length;  // lambda, pixels
    std::int32_t count;   // k
    std::int32_t rest;    // r: side = k * lambda + r
};

// The repeat lengths that tile a side, fewest repeats first. Each is a
// multiple of `step` and keeps its period (lambda / periods) times the
// accuracy within the renderer's bound.
std::vector<Repeat> repeatsFor(std::int32_t side, std::int32_t step, std::int32_t periods, std::int64_t accuracy);

}  // namespace tiling
