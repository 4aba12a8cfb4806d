// The image by its plain per-pixel definition: three evaluateChannel calls
// and one hue rotation per pixel. Slow; the fast renderer must give exactly
// these pixels, and a few pixels of it are a cheap look at a picture.
#pragma once

#include <atomic>
#include <cstdint>

#include "pattern_settings.h"

// The samples per pixel side a render takes: s.accuracy, lowered where a
// period scaled by it would pass kMaxScaledPeriod to the largest factor that
// keeps both scaled periods within it (at least 1). Every renderer draws with
// this factor, so that settings beyond the bound give one image everywhere.
std::int32_t renderedAccuracy(const PatternSettings& s);

// Fills pixels (s.bmpw x s.bmph entries, top row first, 0x00BBGGRR) at
// renderedAccuracy(s).
void renderReference(const PatternSettings& s, std::uint32_t* pixels);
// Pixels x0..x1-1 of row y of renderReference; `row` is that row's start.
// A raised cancel flag leaves them partly computed.
void renderReferencePixels(const PatternSettings& s, std::uint32_t* row, std::int32_t y, std::int32_t x0,
                           std::int32_t x1, const std::atomic<bool>* cancel = nullptr);
