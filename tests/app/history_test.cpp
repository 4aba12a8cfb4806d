#include <gtest/gtest.h>

#include "history.h"

namespace {

// The n-th of a sequence of distinct states.
ViewState state(int n) {
    ViewState v;
    v.settings.basex = n;
    return v;
}

}  // namespace

TEST(History, UndoAndRedoWalkBackAndForthThroughTheSteps) {
    History h;
    EXPECT_FALSE(h.canUndo());
    EXPECT_FALSE(h.canRedo());
    for (int n = 0; n < 5; ++n) h.record(state(n), state(n + 1));
    ViewState now = state(5);
    for (int n = 4; n >= 0; --n) {
        ASSERT_TRUE(h.canUndo());
        now = h.undo(now);
        EXPECT_EQ(now, state(n));
    }
    EXPECT_FALSE(h.canUndo());
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(h.canRedo());
        now = h.redo(now);
        EXPECT_EQ(now, state(n));
    }
    EXPECT_FALSE(h.canRedo());
}

TEST(History, ANewChangeClearsTheRedoStepsAndNoChangeIsNoStep) {
    History h;
    h.record(state(0), state(1));
    h.record(state(1), state(2));
    ViewState now = h.undo(state(2));
    ASSERT_TRUE(h.canRedo());
    // Pressing a key that changes nothing (or OK on an untouched dialog)
    // neither adds a step nor loses the redo steps.
    h.record(now, now);
    EXPECT_TRUE(h.canRedo());
    h.record(now, state(7));
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(h.undo(state(7)), state(1));

    // The tile flag alone is a step too.
    ViewState tiled = state(3), single = state(3);
    single.tileView = 0;
    History t;
    t.record(tiled, single);
    ASSERT_TRUE(t.canUndo());
    EXPECT_EQ(t.undo(single).tileView, 1);
}

TEST(History, KeepsTheNewestStepsUpToItsLimit) {
    History h(300);
    for (int n = 0; n < 1000; ++n) h.record(state(n), state(n + 1));
    ViewState now = state(1000);
    while (h.canUndo()) now = h.undo(now);
    EXPECT_EQ(now, state(700));  // the oldest 700 steps are forgotten
    // Redoing everything never exceeds the limit either.
    while (h.canRedo()) now = h.redo(now);
    EXPECT_EQ(now, state(1000));
    while (h.canUndo()) now = h.undo(now);
    EXPECT_EQ(now, state(700));
    EXPECT_GE(History::kDefaultLimit, 256u);
}
