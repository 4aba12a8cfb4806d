// Undo and redo of what the user changes: the parameters and the tile flag.
// Free of Windows headers so that it is tested on any host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "pattern_settings.h"

// Everything one step can change.
struct ViewState {
    PatternSettings settings;
    std::int8_t tileView = 1;

    bool operator==(const ViewState& o) const { return settings == o.settings && tileView == o.tileView; }
    bool operator!=(const ViewState& o) const { return !(*this == o); }
};

class History {
public:
    // At least this many steps can be undone; older ones are forgotten.
    static constexpr std::size_t kDefaultLimit = 1000;

    explicit History(std::size_t limit = kDefaultLimit) : limit_(limit ? limit : 1) {}

    // A change replaced `before` with `after`. A change that changed nothing
    // is no step; any other clears the steps that could be redone.
    void record(const ViewState& before, const ViewState& after);

    bool canUndo() const { return !undo_.empty(); }
    // Changes with every step recorded, undone or redone: a gesture that
    // finds it as it left it may add to its own step.
    std::uint64_t revision() const { return revision_; }
    bool canRedo() const { return !redo_.empty(); }

    // Steps back from `current` (which becomes redoable) and returns the state
    // to show. Only valid when canUndo().
    ViewState undo(const ViewState& current);
    // The opposite; only valid when canRedo().
    ViewState redo(const ViewState& current);

private:
    std::size_t limit_;
    std::deque<ViewState> undo_, redo_;
    std::uint64_t revision_ = 0;
};
