#include "render.h"

#include "channel.h"
#include "hue.h"
#include "int32_math.h"
#include "render_fast.h"

void renderReferenceRows(const PatternSettings& s, std::uint32_t* pixels, std::int32_t y0, std::int32_t y1,
                         std::atomic<int>* rowsDone) {
    const std::int32_t px = s.periodX(), py = s.periodY();
    for (std::int32_t y = y0; y < y1; ++y) {
        const std::int32_t ry = i32::sub(y, s.basey);
        std::uint32_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.bmpw);
        for (std::int32_t x = 0; x < s.bmpw; ++x) {
            const std::int32_t rx = i32::sub(x, s.basex);
            std::int32_t r = evaluateChannel(rx, ry, s.base_r, s.vx_r, s.vy_r, s.mode_r, s.dg_r, s.dth_r,
                                             s.max_r, s.min_r, s.pat_x, s.pat_y, px, py, s.accuracy);
            std::int32_t g = evaluateChannel(rx, ry, s.base_g, s.vx_g, s.vy_g, s.mode_g, s.dg_g, s.dth_g,
                                             s.max_g, s.min_g, s.pat_x, s.pat_y, px, py, s.accuracy);
            std::int32_t b = evaluateChannel(rx, ry, s.base_b, s.vx_b, s.vy_b, s.mode_b, s.dg_b, s.dth_b,
                                             s.max_b, s.min_b, s.pat_x, s.pat_y, px, py, s.accuracy);
            rotateHue(r, g, b, s.hue);
            row[x] = packPixel(r, g, b);
        }
        if (rowsDone) rowsDone->fetch_add(1, std::memory_order_relaxed);
    }
}

void renderReference(const PatternSettings& s, std::uint32_t* pixels) {
    renderReferenceRows(s, pixels, 0, s.bmph, nullptr);
}

std::vector<std::uint32_t> renderImage(const PatternSettings& s, const RenderOptions& opt) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph));
    renderImage(s, pixels.data(), opt);
    return pixels;
}
