// New parameter sets for exploring: a whole random wallpaper, or a small
// change of the current one. Both are pure functions of their input and a
// 64-bit seed, with the same result on every platform.
#pragma once

#include <cstdint>

#include "pattern_settings.h"

// The kinds of values a new set may replace: the colour values (base
// amounts, output ranges, posterise and dither steps, hue) and the shape
// values (waves, methods, edge modes, periods, origin).
enum MutateScope : unsigned { MutateColour = 1, MutateShape = 2, MutateAll = 3 };

// A random wallpaper for keep's image size and accuracy (bmpw, bmph and
// accuracy are copied from keep, every other field is replaced). The tile
// joins its own copies without a seam in both directions, is neither flat
// nor noise from 16 x 16 on, and every value fits the dialog's 9 characters.
// keep must be validated (sizes 1..2048, accuracy >= 1). With a narrower
// scope the values of the other kind are keep's too, and the new ones are
// drawn to suit them: neither noise nor flat, with a dither that repeats
// with the tile (as far as 16 draws find such a set).
PatternSettings randomSettings(const PatternSettings& keep, std::uint64_t seed, MutateScope scope = MutateAll);

// current with one to four parameters changed so that the picture visibly
// changes; bmpw, bmph and accuracy stay. The changes are of kinds that keep
// a tile that repeats by whole periods repeating, so a seamless set from
// randomSettings stays seamless. Only values of the scope's kinds change: a
// picture with none of them to vary (a flat one kept to shape changes) may
// come back unchanged.
PatternSettings mutateSettings(const PatternSettings& current, std::uint64_t seed, MutateScope scope = MutateAll);
