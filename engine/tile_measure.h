// How a rendered tile looks where it meets its own copy, and whether it is a
// picture at all: the yardstick for generated and shipped parameter sets.
#pragma once

#include <cstdint>

struct EdgeProfile {
    double wrap = 0;       // mean difference across the tile's own border
    double sharpest = 0;   // the largest mean difference across an inner boundary
    double mean = 0;       // the mean over the inner boundaries
    // A seam is a wrap edge clearly sharper than anything inside the tile.
    bool seam() const;
};

struct TileMeasure {
    EdgeProfile columns;   // boundaries x|x+1, and W-1|0
    EdgeProfile rows;      // boundaries y|y+1, and H-1|0
    int colours = 0;       // distinct pixel values, counted up to kEnoughColours
    double neighbour = 0;  // the inner means of both directions, averaged

    static constexpr int kEnoughColours = 8;
    bool seamless() const { return !columns.seam() && !rows.seam(); }
    bool flat() const { return colours < kEnoughColours; }
    bool noise() const { return neighbour > 60; }
};

// How far apart two 0x00BBGGRR colours look: |dr| + |dg| + |db|.
int colourDifference(std::uint32_t a, std::uint32_t b);

// A boundary's value is the mean colourDifference over the pixel pairs along
// it. pixels holds w x h 0x00BBGGRR values.
TileMeasure measureTile(const std::uint32_t* pixels, int w, int h);
