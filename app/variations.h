// The variations window's nine cells, free of Windows: the centre, which is
// the main window's set, and eight sets made from it (as Shift+Space makes
// them, or as Space, keeping what the scope keeps out), each made and
// rendered at the cells' size off the window's thread and taken as soon as
// it is finished. Every call comes on the window's thread and returns at
// once; so does the destructor, after which ready() is not called again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "cell_renderer.h"
#include "generate.h"
#include "pattern_settings.h"

class Variations {
public:
    static constexpr int kCells = 9;
    static constexpr int kCentre = 4;

    // ready: as CellRenderer's. seed: a fresh seed on every call.
    Variations(std::function<void()> ready, std::function<std::uint64_t()> seed, int threads = 0);

    // The cells' size in pixels: every cell is rendered again at it, its
    // set kept.
    void resize(std::int32_t w, std::int32_t h);
    // The main window's set, which a new centre brings eight new variations
    // around. Returns the cell that held that set with its picture (the
    // one picked), whose picture is now the centre's; -1 when none did.
    int follow(const PatternSettings& centre);
    // Eight new variations of the centre.
    void refill();
    // Eight random sets.
    void refillRandom();
    // The kinds of values the eight may change; a new scope refills them.
    void setScope(MutateScope scope);
    MutateScope scope() const { return scope_; }

    // A cell's set, once it has been made.
    const std::optional<PatternSettings>& settings(int cell) const { return cells_[static_cast<std::size_t>(cell)].settings; }
    // After ready(): the next finished cell, whose set is now the cell's.
    bool take(CellResult& out);

private:
    struct Cell {
        std::optional<PatternSettings> settings;
        std::function<PatternSettings()> make;  // while settings is unknown
        bool pictured = false;                  // a finished picture at the current size
    };
    void fill(bool random);
    void start();

    CellRenderer renderer_;
    std::function<std::uint64_t()> seed_;
    std::array<Cell, kCells> cells_;
    std::optional<PatternSettings> centre_;
    MutateScope scope_ = MutateAll;
    std::int32_t w_ = 0, h_ = 0;
};
