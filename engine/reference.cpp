#include "reference.h"

#include <algorithm>

#include "channel.h"
#include "hue.h"
#include "int32_math.h"
#include "pixel.h"

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
    const ChannelParams red = channelOf(s, 0), green = channelOf(s, 1), blue = channelOf(s, 2);
    for (std::int32_t x = x0; x < x1; ++x) {
        const std::int32_t rx = i32::sub(x, s.basex);
        std::int32_t r = evaluateChannel(rx, ry, red, s.pat_x, s.pat_y, px, py, n, cancel);
        std::int32_t g = evaluateChannel(rx, ry, green, s.pat_x, s.pat_y, px, py, n, cancel);
        std::int32_t b = evaluateChannel(rx, ry, blue, s.pat_x, s.pat_y, px, py, n, cancel);
        rotateHue(r, g, b, s.hue);
        row[x] = packPixel(r, g, b);
    }
}

void renderReference(const PatternSettings& s, std::uint32_t* pixels) {
    for (std::int32_t y = 0; y < s.bmph; ++y)
        renderReferencePixels(s, pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(s.bmpw), y, 0,
                              s.bmpw);
}
