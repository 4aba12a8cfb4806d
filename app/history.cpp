#include "history.h"

void History::record(const ViewState& before, const ViewState& after) {
    if (before == after) return;
    ++revision_;
    undo_.push_back(before);
    if (undo_.size() > limit_) undo_.pop_front();
    redo_.clear();
}

ViewState History::undo(const ViewState& current) {
    ViewState previous = undo_.back();
    undo_.pop_back();
    redo_.push_back(current);
    ++revision_;
    return previous;
}

ViewState History::redo(const ViewState& current) {
    ViewState next = redo_.back();
    redo_.pop_back();
    undo_.push_back(current);
    ++revision_;
    // Redo steps were once undo steps, so there are never more than the limit.
    return next;
}
