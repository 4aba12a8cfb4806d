#include "fast_common.h"

namespace fast {

SampleContribution sampleContribution(std::int32_t folded, std::int32_t posterizeStep, std::int32_t ditherStep,
                                      std::int32_t max, std::int32_t min) {
    const std::int32_t range = i32::sub(max, min);
    auto mapped = [&](std::int32_t v) { return i32::mul(range, v) / 255; };
    const std::int32_t p = posterize(folded, posterizeStep);
    if (!stepActive(ditherStep)) return {mapped(p), mapped(p), 0};
    // dither() gives one value where the matrix value at the sample is below
    // a threshold and another elsewhere. The matrix holds each of 0..255
    // once, so the two values are those at matrix values 0 and 255, and the
    // threshold (as far as it matters) is the first matrix value that gives
    // the second one.
    const DitherMatrices& dm = ditherMatrices();
    const int matrix = ditherStep < 0 ? 1 : 0;
    auto at = [&](int m) {
        return dither(p, ditherStep, dm.column[matrix][m], dm.row[matrix][m]);
    };
    const std::int32_t high = at(0), low = at(255);
    if (high == low) return {mapped(low), mapped(low), 0};
    int below = 0, above = 255;  // at(below) is high, at(above) is low
    while (above - below > 1) {
        const int mid = (below + above) / 2;
        (at(mid) == high ? below : above) = mid;
    }
    return {mapped(low), mapped(high), above};
}

}  // namespace fast
