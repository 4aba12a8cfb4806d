// Pieces the fast renderer's single-sample and supersampling paths share:
// which part of a wrapped raw value each edge mode looks at, the dither
// matrices as a table, and what a sample contributes after folding.
#pragma once

#include <cstdint>

#include "channel.h"
#include "int32_math.h"
#include "pattern_settings.h"

namespace fast {

// Loop keeps the value mod 256 (its low 8 bits), Turn slow folds the value
// mod 512 (its low 9 bits, as 512 divides 2^32), Turn fast folds the value
// mod 510 and Limit clamps it to 0..255. foldEdge gives the same result for
// the raw value and for the slot number taken from it, so a table over slots
// is exact.
enum class Fold { Loop, Limit, TurnFast, TurnSlow };

inline Fold foldOf(std::int8_t edgeMode) {
    switch (edgeMode) {
        case EdgeLimit:
            return Fold::Limit;
        case EdgeTurnFast:
            return Fold::TurnFast;
        case EdgeTurnSlow:
            return Fold::TurnSlow;
        default:
            return Fold::Loop;  // unknown modes fold as Loop does
    }
}

// The slot of a raw sample value (u + w + base, wrapped to 32 bits).
template <Fold F>
inline std::uint32_t slotOf(std::uint32_t raw) {
    static_assert((edgeCycle(EdgeLoop) & (edgeCycle(EdgeLoop) - 1)) == 0 &&
                      (edgeCycle(EdgeTurnSlow) & (edgeCycle(EdgeTurnSlow) - 1)) == 0,
                  "the cycles taken as low bits must be powers of two");
    if constexpr (F == Fold::Loop) {
        return raw & static_cast<std::uint32_t>(edgeCycle(EdgeLoop) - 1);
    } else if constexpr (F == Fold::TurnSlow) {
        return raw & static_cast<std::uint32_t>(edgeCycle(EdgeTurnSlow) - 1);
    } else if constexpr (F == Fold::TurnFast) {
        return static_cast<std::uint32_t>(i32::modPos(i32::fromBits(raw), edgeCycle(EdgeTurnFast)));
    } else {
        const std::int32_t v = i32::fromBits(raw);
        return v < 0 ? 0u : v > 255 ? 255u : static_cast<std::uint32_t>(v);
    }
}

inline bool stepActive(std::int32_t step) { return step < -1 || step > 1; }

// The two 16x16 dither matrices, indexed [matrix][row & 15][column & 15],
// and where each value 0..255 sits in them.
struct DitherMatrices {
    std::uint8_t value[2][16][16];
    std::uint8_t row[2][256], column[2][256];
    DitherMatrices() {
        for (int m = 0; m < 2; ++m)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    const int v = ditherMatrixValue(x, y, static_cast<std::int8_t>(m));
                    value[m][y][x] = static_cast<std::uint8_t>(v);
                    row[m][v] = static_cast<std::uint8_t>(y);
                    column[m][v] = static_cast<std::uint8_t>(x);
                }
    }
};

inline const DitherMatrices& ditherMatrices() {
    static const DitherMatrices matrices;
    return matrices;
}

// What one sample contributes to its pixel, given its value after edge
// folding (0..255): `high` where the dither matrix value at the sample is
// below `threshold`, `low` elsewhere. Both include the range mapping but not
// the channel minimum. Without dithering, threshold is 0 and high == low.
struct SampleContribution {
    std::int32_t low, high, threshold;
};
SampleContribution sampleContribution(std::int32_t folded, std::int32_t posterizeStep, std::int32_t ditherStep,
                                      std::int32_t max, std::int32_t min);

}  // namespace fast
