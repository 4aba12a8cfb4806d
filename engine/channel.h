// Evaluation of one colour channel at one pixel: waves, edge folding,
// posterisation, ordered dither, range mapping and supersampling.
#pragma once

#include <atomic>
#include <cstdint>

#include "pattern_settings.h"

extern const double g_pi;

// Scaled periods beyond this would overflow 4 x period in 32 bits; they are
// clamped to it (see evaluateChannel).
constexpr std::int32_t kMaxScaledPeriod = 536870911;

std::int32_t waveValue(std::int32_t pos, std::int32_t amp, std::int8_t method, std::int32_t period);
// The three trigonometric methods (sine, sine half, sine absolute) compute a
// double that depends only on position and period and multiply it by the
// amplitude; this is that double, so that one sin/cos can serve all three
// channels. Other methods are not trigonometric: isTrigWave says which.
double trigWaveFactor(std::int32_t pos, std::int8_t method, std::int32_t period);
inline bool isTrigWave(std::int8_t method) {
    return method == WaveSine || method == WaveSineHalf || method == WaveSineAbsolute;
}
bool ditherTest(std::int32_t x, std::int32_t y, std::int32_t threshold, std::int8_t matrix);
// The 16x16 threshold matrix value that ditherTest compares against.
int ditherMatrixValue(std::int32_t x, std::int32_t y, std::int8_t matrix);

// The raw amount after which an edge mode's folding repeats; 0 for Limit,
// which never repeats. Unknown modes fold as Loop does.
constexpr std::int32_t edgeCycle(std::int8_t edgeMode) {
    return edgeMode == EdgeLimit ? 0 : edgeMode == EdgeTurnFast ? 510 : edgeMode == EdgeTurnSlow ? 512 : 256;
}

// Folds a raw sample into 0..255 by edge mode, then posterises and dithers it
// at supersample position (sx, sy). Shared by the reference and fast renderers.
std::int32_t foldEdge(std::int32_t v, std::int8_t edgeMode);
std::int32_t posterize(std::int32_t v, std::int32_t step);
std::int32_t dither(std::int32_t v, std::int32_t step, std::int32_t sx, std::int32_t sy);

// The channel's value at pixel (x, y), the mean over factor x factor samples.
// A raised cancel flag (looked at every few thousand samples) ends the sum
// early with a meaningless value.
std::int32_t evaluateChannel(std::int32_t x, std::int32_t y, const ChannelParams& channel, std::int8_t methodX,
                             std::int8_t methodY, std::int32_t periodX, std::int32_t periodY, std::int32_t factor,
                             const std::atomic<bool>* cancel = nullptr);

// Scaled period with the clamp applied: period x factor, at most kMaxScaledPeriod.
std::int32_t scaledPeriod(std::int32_t period, std::int32_t factor);
