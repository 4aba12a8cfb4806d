#pragma once

#include <cstdint>

// Rotates the colour (r, g, b), each 0..255, around a hue wheel of 1530 steps,
// keeping its smallest and largest channel value.
void rotateHue(std::int32_t& r, std::int32_t& g, std::int32_t& b, std::int32_t hue);
