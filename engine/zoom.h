// The pattern taken in hand: a drag moves it, a wheel notch makes it larger
// or smaller around the point under the pointer, or turns its hue. Pure
// functions of their input, the same on every platform.
#pragma once

#include <cstdint>
#include <optional>

#include "pattern_settings.h"
#include "repeat.h"

// Hue steps per wheel notch: 30 notches turn the colours once round the
// wheel of 1530, five between a primary and the next secondary colour.
constexpr std::int32_t kHueNotch = 51;

// The repeat the waves along axis a (0 across, 1 down) make in the tile,
// when the tile holds a whole number of them plus 0, 1 or 2 pixels, as the
// random wallpapers are made: such a tile is seamless, and moving its origin
// by the repeat's length gives back the same picture. Nothing for any other
// axis (a ramp that does not close, a period the renderer clamps, a repeat
// the dither matrix does not share).
std::optional<tiling::Repeat> wholeRepeat(const PatternSettings& s, int a);

// s with its origin moved (dx, dy) pixels, so that the picture follows the
// hand: pixel (x, y) of s becomes pixel (x + dx, y + dy). An axis whose ramps
// close (proportional, each amount a whole number of its edge mode's
// cycles) keeps its origin within one repeat at or left of 0, where every
// position is >= 0 and the ramp closes exactly; a whole repeat further is
// the same picture.
PatternSettings shiftSettings(const PatternSettings& s, std::int32_t dx, std::int32_t dy);

// s with its pattern `notches` steps larger (> 0) or smaller (< 0), the
// pattern point at the centre of image pixel (x, y) staying where it is (to
// the nearest pixel). An axis along which the pattern repeats a whole number
// of times across the tile (side = k repeats + 0, 1 or 2 pixels, as the
// random wallpapers are made) steps to the nearest fewer or more repeats
// with the same remainder that the random wallpapers could have chosen, so
// a seamless tile stays seamless; an axis that cannot step stays. Any other
// axis changes its period by about 10 % a step. Periods change through
// basew and baseh; the renderer's bounds are kept.
PatternSettings zoomSettings(const PatternSettings& s, int notches, std::int32_t x, std::int32_t y);

// s with its hue turned `notches` times kHueNotch, kept within 0..1529.
PatternSettings turnHue(const PatternSettings& s, int notches);
