// Up-down arrows beside each number box of the colour dialog. They step the
// box by the key table's amount for its field (1 where no key steps it), as
// do Up and Down in the box and the mouse wheel over it while it has the
// focus; the box's change notice then schedules the preview as typing does.
// The arrows' own position is never used: the box is read as the dialog
// reads it and the step wraps round 32 bits like the keys', so every value
// steps, negative or beyond what an up-down control's range holds.
#pragma once

#include <windows.h>

// A spin control's id is its box's id plus this.
constexpr int kSpinIdOffset = 100;
inline bool isSpinBox(int id) { return id >= 1000 + kSpinIdOffset && id < 1100 + kSpinIdOffset; }
inline int spinBuddyId(int spinId) { return spinId - kSpinIdOffset; }

// Creates the arrows inside the right edge of every number box of dlg.
void createSpinBoxes(HWND dlg);
// A WM_NOTIFY of dlg: true when it was an arrow's, which is then taken care of.
bool onSpinNotify(HWND dlg, const NMHDR& header);
