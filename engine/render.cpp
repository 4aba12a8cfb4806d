#include "render.h"

#include <algorithm>

#include "channel.h"
#include "hue.h"
#include "int32_math.h"
#include "render_fast.h"

std::int32_t renderedAccuracy(const PatternSettings& s) {
    // Accuracy below 1 never reaches a render (validate repairs it).
    if (s.accuracy <= 1) return s.accuracy;
    const std::int32_t within = kMaxScaledPeriod / std::max(s.periodX(), s.periodY());
    return std::max<std::int32_t>(1, std::min(s.accuracy, within));
}

void renderReferencePixels(const PatternSettings& s, std::uint32_t* row, std::int32_t y, std::int32_t x0,
                           std::int32_t x1, const std::atomic<bool>* cancel) {
    const std::int32_t px = s.periodX(), py = s.periodY(), n = renderedAccuracy(s);
    const std::int32_t ry = i32::sub(y, s.basey);
    for (std::int32_t x = x0; x < x1; ++x) {
        const std::int32_t rx = i32::sub(x, s.basex);
        std::int32_t r = evaluateChannel(rx, ry, s.base_r, s.vx_r, s.vy_r, s.mode_r, s.dg_r, s.dth_r, s.max_r,
                                         s.min_r, s.pat_x, s.pat_y, px, py, n, cancel);
        std::int32_t g = evaluateChannel(rx, ry, s.base_g, s.vx_g, s.vy_g, s.mode_g, s.dg_g, s.dth_g, s.max_g,
                                         s.min_g, s.pat_x, s.pat_y, px, py, n, cancel);
        std::int32_t b = evaluateChannel(rx, ry, s.base_b, s.vx_b, s.vy_b, s.mode_b, s.dg_b, s.dth_b, s.max_b,
                                         s.min_b, s.pat_x, s.pat_y, px, py, n, cancel);
        rotateHue(r, g, b, s.hue);
        row[x] = packPixel(r, g, b);
    }
}

void renderReference(const PatternSettings& s, std::uint32_t* pixels) {
    for (std::int32_t y = 0; y < s.bmph; ++y)
        renderReferencePixels(s, pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.bmpw), y, 0,
                              s.bmpw);
}

bool renderImage(const PatternSettings& s, std::uint32_t* pixels, const RenderOptions& opt) {
    return renderImageTuned(s, pixels, opt, RenderTuning{});
}

std::vector<std::uint32_t> renderImage(const PatternSettings& s, const RenderOptions& opt) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(s.bmpw) * static_cast<std::size_t>(s.bmph));
    renderImage(s, pixels.data(), opt);
    return pixels;
}

// Every pixel depends only on its position less the origin, the two periods
// and the samples per pixel; a copy with the crop's size, the same periods
// (given outright, not as shares of the size) and the origin moved by the
// crop's corner renders the crop as its whole image.
bool renderCrop(const PatternSettings& s, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
                std::uint32_t* pixels, const RenderOptions& opt) {
    PatternSettings c = s;
    c.bmpw = w;
    c.bmph = h;
    c.baserw = 0;
    c.basew = s.periodX();
    c.baserh = 0;
    c.baseh = s.periodY();
    c.basex = i32::sub(s.basex, x0);
    c.basey = i32::sub(s.basey, y0);
    return renderImage(c, pixels, opt);
}

bool renderTiledCrop(const PatternSettings& s, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h,
                     std::uint32_t* pixels, const RenderOptions& opt) {
    if (w <= 0 || h <= 0 || s.bmpw <= 0 || s.bmph <= 0) return true;
    // The distinct pixels: a block of the image from (ox, oy), no larger
    // than the image, wrapping round its right and bottom edges.
    const std::int32_t bw = std::min(w, s.bmpw), bh = std::min(h, s.bmph);
    const std::int32_t ox = i32::modPos(x0, s.bmpw), oy = i32::modPos(y0, s.bmph);
    const std::int32_t left = std::min(bw, s.bmpw - ox), top = std::min(bh, s.bmph - oy);
    if (bw == w && bh == h && left == bw && top == bh) return renderCrop(s, ox, oy, w, h, pixels, opt);
    std::vector<std::uint32_t> block(static_cast<std::size_t>(bw) * static_cast<std::size_t>(bh)), piece;
    for (std::int32_t by : {0, top})
        for (std::int32_t bx : {0, left}) {
            const std::int32_t pw = bx == 0 ? left : bw - left, ph = by == 0 ? top : bh - top;
            if (pw <= 0 || ph <= 0) continue;
            piece.resize(static_cast<std::size_t>(pw) * static_cast<std::size_t>(ph));
            if (!renderCrop(s, bx == 0 ? ox : 0, by == 0 ? oy : 0, pw, ph, piece.data(), opt)) return false;
            for (std::int32_t y = 0; y < ph; ++y)
                std::copy_n(piece.begin() + static_cast<std::ptrdiff_t>(y) * pw, pw,
                            block.begin() + static_cast<std::ptrdiff_t>(by + y) * bw + bx);
        }
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint32_t* from = block.data() + static_cast<std::size_t>(y % bh) * static_cast<std::size_t>(bw);
        std::uint32_t* to = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (std::int32_t x = 0; x < w; x += bw) std::copy_n(from, std::min(bw, w - x), to + x);
    }
    return true;
}
