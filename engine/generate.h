// New parameter sets for exploring: a whole random wallpaper, or a small
// change of the current one. Both are pure functions of their input and a
// 64-bit seed, with the same result on every platform.
#pragma once

#include <cstdint>

#include "pattern_settings.h"

// A random wallpaper for keep's image size and accuracy (bmpw, bmph and
// accuracy are copied from keep, every other field is replaced). The tile
// joins its own copies without a seam in both directions, is neither flat
// nor noise from 16 x 16 on, and every value fits the dialog's 9 characters.
// keep must be validated (sizes 1..2048, accuracy >= 1).
PatternSettings randomSettings(const PatternSettings& keep, std::uint64_t seed);

// current with one to four parameters changed so that the picture visibly
// changes; bmpw, bmph and accuracy stay. The changes are of kinds that keep
// a tile that repeats by whole periods repeating, so a seamless set from
// randomSettings stays seamless.
PatternSettings mutateSettings(const PatternSettings& current, std::uint64_t seed);
