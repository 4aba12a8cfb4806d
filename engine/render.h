// Renders a PatternSettings into a plain pixel buffer: bmpw x bmph pixels,
// top row first, each 0x00BBGGRR (red in the low byte).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "pattern_settings.h"
#include "pixel.h"  // packPixel, swapRedBlue

struct RenderOptions {
    int threads = 0;                         // 0: every hardware thread
    std::atomic<int>* rowsDone = nullptr;    // advanced as rows complete
    // Raised (from any thread) to stop the render early; the pixels are then
    // partly rendered. Looked at between rows and, within a row, every few
    // thousand samples, so that even a row of hours stops promptly.
    const std::atomic<bool>* cancel = nullptr;
};

// Fills pixels (s.bmpw x s.bmph entries) with the image of s; the same
// pixels as renderReference (reference.h), for any thread count. Returns
// false when opt.cancel stopped it, true when every row is complete. Throws
// std::bad_alloc (and nothing else) when memory runs out while rows render;
// the pixels are then partly rendered.
bool renderImage(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt = {});
std::vector<std::uint32_t> renderImage(const PatternSettings& s, const RenderOptions& opt = {});

// The w x h pixels from (x0, y0) of the image of s (any rectangle of the
// plane it is cut from): the same pixels as that crop of renderImage, at the
// cost of the crop alone. Returns and throws as renderImage.
bool renderCrop(const PatternSettings& s, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
                std::uint32_t* pixels, const RenderOptions& opt = {});
// The w x h pixels from (x0, y0) of the plane tiled with the image of s, as
// the desktop tiles it (copies side by side from (0, 0)). Each image pixel
// the rectangle shows is rendered once, never more pixels than the image
// has, and repeated. Returns and throws as renderImage.
bool renderTiledCrop(const PatternSettings& s, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
                     std::uint32_t* pixels, const RenderOptions& opt = {});
