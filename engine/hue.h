#pragma once

#include <cstdint>

// Rotates the colour (r, g, b), each 0..255, around a hue wheel of 1530 steps,
// keeping its smallest and largest channel value.
void rotateHue(std::int32_t& r, std::int32_t& g, std::int32_t& b, std::int32_t hue);

// rotateHue for one fixed hue applied to many colours, as the renderer needs
// it: the same results, with the division by the colour's span replaced by a
// multiplication with a precomputed reciprocal.
class HueRotator {
public:
    explicit HueRotator(std::int32_t hue);
    // True when the hue is a whole number of turns: every colour stays.
    bool isIdentity() const { return h_ == 0; }
    void apply(std::int32_t& r, std::int32_t& g, std::int32_t& b) const;

private:
    std::int32_t h_;                // hue made non-negative, 0..1529
    std::uint64_t reciprocal_[256];  // ceil(2^32 / span) for span 1..255
};
