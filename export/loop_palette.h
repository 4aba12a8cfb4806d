// One palette of at most 256 colours for every frame of a loop, as a GIF
// needs it: the loop's own colours when it has at most 256, else 256 chosen
// for it and an ordered dither between them. The dither is keyed to the
// pixel's place alone, so a pixel whose colour stays keeps its index from
// frame to frame and still areas do not shimmer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// What the frames' colours are, gathered frame by frame (on as many
// censuses as there are threads, merged at the end): the distinct colours
// while there are at most 256, and a histogram of all of them.
class ColourCensus {
public:
    ColourCensus();
    ~ColourCensus();
    ColourCensus(ColourCensus&&) noexcept;
    ColourCensus& operator=(ColourCensus&&) noexcept;

    // count 0x00BBGGRR pixels (the top byte is ignored).
    void add(const std::uint32_t* pixels, std::size_t count);
    void merge(const ColourCensus& other);

    bool fewColours() const;  // at most 256 distinct colours so far

private:
    friend class LoopPalette;
    struct Data;
    std::unique_ptr<Data> d_;
};

class LoopPalette {
public:
    // The census's own colours, ascending, when there are at most 256 of
    // them; else 256 colours by median cut over its histogram. Throws
    // std::bad_alloc when memory runs out.
    explicit LoopPalette(const ColourCensus& census);
    ~LoopPalette();

    bool exact() const { return exact_; }
    const std::vector<std::uint32_t>& colours() const { return colours_; }
    // Bits a palette index needs (1..8).
    int bits() const;

    // The palette indices of a width x height frame, top row first. Exact:
    // each colour's own index (a colour the census never saw takes the
    // nearest). Otherwise ordered dither at each pixel's place.
    void map(const std::uint32_t* pixels, std::int32_t width, std::int32_t height, std::uint8_t* indices) const;

private:
    std::uint8_t nearest(std::int32_t r, std::int32_t g, std::int32_t b) const;

    bool exact_ = false;
    std::vector<std::uint32_t> colours_;
    // Exact: an open-addressing table from colour to index.
    std::vector<std::uint32_t> keys_;
    std::vector<std::uint8_t> index_;
    // Otherwise: the nearest colour of each cell of a 64 x 64 x 64 grid, and
    // the dither's reach in levels.
    std::vector<std::uint8_t> grid_;
    std::int32_t spread_ = 0;
};
