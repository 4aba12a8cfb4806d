// Renders a PatternSettings into a plain pixel buffer: bmpw x bmph pixels,
// top row first, each 0x00BBGGRR (red in the low byte).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "pattern_settings.h"

inline std::uint32_t packPixel(std::int32_t r, std::int32_t g, std::int32_t b) {
    // Only the low byte of each channel is kept, as the RGB() macro does.
    return (static_cast<std::uint32_t>(r) & 0xFFu) | ((static_cast<std::uint32_t>(g) & 0xFFu) << 8) |
           ((static_cast<std::uint32_t>(b) & 0xFFu) << 16);
}

// The plain per-pixel definition: three evaluateChannel calls and one hue
// rotation per pixel. Slow; the executable definition of the image.
void renderReference(const PatternSettings& s, std::uint32_t* pixels);

struct RenderOptions {
    int threads = 0;                              // 0: every hardware thread
    std::atomic<int>* rowsDone = nullptr;         // advanced as rows complete
    const std::atomic<bool>* cancel = nullptr;    // set by another thread to stop the render early
};

// Fills pixels (s.bmpw x s.bmph entries) with the image of s; the same pixels
// as renderReference, for any thread count. Returns false when opt.cancel
// stopped it first; the pixels are then incomplete.
bool renderImage(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt = {});
std::vector<std::uint32_t> renderImage(const PatternSettings& s, const RenderOptions& opt = {});
