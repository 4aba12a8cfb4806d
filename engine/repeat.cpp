#include "repeat.h"

#include <algorithm>
#include <utility>

#include "channel.h"
#include "pattern_settings.h"

namespace tiling {

bool isProportional(std::int8_t method) { return method < WaveTriangle || method > WaveSineAbsolute; }

std::int32_t periodsPerRepeat(std::int8_t method) {
    if (isProportional(method)) return 1;
    return method == WaveTriangle || method == WaveSine ? 4 : 2;
}

std::int8_t effectiveMode(std::int8_t mode) {
    return mode >= EdgeLimit && mode <= EdgeTurnSlow ? mode : static_cast<std::int8_t>(EdgeLoop);
}

bool rampCloses(std::int32_t amount, std::int8_t mode) {
    const std::int32_t cycle = edgeCycle(mode);
    return amount == 0 || (cycle != 0 && amount % cycle == 0);
}

std::int32_t ditherRepeat(std::int64_t accuracy) {
    const std::int32_t n = static_cast<std::int32_t>(accuracy % 16 == 0 ? 16 : accuracy % 16);
    std::int32_t a = 16, b = n;
    while (b != 0) a = std::exchange(b, a % b);
    return 16 / a;
}

std::vector<Repeat> repeatsFor(std::int32_t side, std::int32_t step, std::int32_t periods, std::int64_t accuracy) {
    std::vector<Repeat> out;
    // A ramp costs a whole mode cycle per repeat, affordable only on long
    // repeats; a wave needs two pixels per period to be more than stripes.
    const std::int32_t minLength = std::max(step, periods == 1 ? 32 : 2 * periods);
    for (std::int32_t k = 1; k * minLength <= side; ++k)
        for (std::int32_t r = 0; r <= 2; ++r) {
            const std::int32_t rest = side - r;
            if ((r == 0 && k < 2) || rest % k != 0) continue;
            const std::int32_t length = rest / k;
            if (length < minLength || length % step != 0) continue;
            if (static_cast<std::int64_t>(length / periods) * accuracy > kMaxScaledPeriod) continue;
            out.push_back({length, k, r});
        }
    return out;
}

}  // namespace tiling
