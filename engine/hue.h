#pragma once

#include <cstdint>

#include "pixel.h"

// Rotates the colour (r, g, b), each 0..255, around a hue wheel of 1530 steps,
// keeping its smallest and largest channel value.
void rotateHue(std::int32_t& r, std::int32_t& g, std::int32_t& b, std::int32_t hue);

// rotateHue for one fixed hue applied to many colours, as the renderer needs
// it: the same results, with the division by the colour's span replaced by a
// multiplication with a precomputed reciprocal, and the rotated wheel
// position looked up instead of searched for.
class HueRotator {
public:
    explicit HueRotator(std::int32_t hue);
    // True when the hue is a whole number of turns: every colour stays.
    bool isIdentity() const { return h_ == 0; }

    // The rotated colour, packed by packPixel.
    std::uint32_t rotatePacked(std::int32_t r, std::int32_t g, std::int32_t b) const {
        if (static_cast<std::uint32_t>(r | g | b) > 255u) return rotateGeneral(r, g, b);
        const std::int32_t mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
        const std::int32_t mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
        const std::int32_t span = mx - mn;
        if (span == 0 || h_ == 0) return packPixel(r, g, b);
        // rotateHue normalises each channel to (c - mn) * 255 / span and
        // reads the wheel position off the normalised values. A channel
        // normalises to 255 exactly when it is the maximum and to 0 exactly
        // when it is the minimum (span <= 255), so the position needs only
        // one normalised channel, picked by comparisons.
        const std::uint64_t inv = reciprocal255_[span];
        auto normal = [&](std::int32_t c) {
            return static_cast<std::int32_t>((static_cast<std::uint64_t>(c - mn) * inv) >> 32);
        };
        // Written as selections rather than branches: with dithered or
        // noisy colours the cases follow no pattern a branch predictor
        // could learn.
        const bool rMax = r == mx, gMax = g == mx;
        const bool up = rMax ? b == mn : gMax ? r == mn : g == mn;
        const std::int32_t c = rMax ? (up ? g : b) : gMax ? (up ? b : r) : (up ? r : g);
        const std::int32_t start = rMax ? (up ? 0 : 1530) : gMax ? 510 : 1020;
        const std::int32_t n = normal(c);
        const std::int32_t H = up ? start + n : start - n;
        const std::uint32_t rotated = wheel_[H];
        const std::uint32_t uspan = static_cast<std::uint32_t>(span);
        return packPixel(mn + static_cast<std::int32_t>(uspan * (rotated & 255u) / 255u),
                    mn + static_cast<std::int32_t>(uspan * ((rotated >> 8) & 255u) / 255u),
                    mn + static_cast<std::int32_t>(uspan * (rotated >> 16) / 255u));
    }

private:
    // Channels outside 0..255 (only from unvalidated output ranges).
    std::uint32_t rotateGeneral(std::int32_t r, std::int32_t g, std::int32_t b) const;

    std::int32_t h_;                 // hue made non-negative, 0..1529
    std::uint64_t reciprocal255_[256];  // ceil(255 * 2^32 / span) for span 1..255
    std::uint32_t wheel_[1530];      // wheel position -> rotated normalised (R', G', B'), packed
};
