// Where a window goes so that it leaves a picture in view: the colour
// dialog beside the picture it previews. Plain rectangles in one coordinate
// system (the screen's pixels), free of Windows headers.
#pragma once

struct Box {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// The area two boxes share, 0 when they are apart.
long long overlapArea(const Box& a, const Box& b);

// The top-left corner for a window of width x height inside work (the
// screen's work area) that leaves keep uncovered: right of keep, else below
// it, else left of it, else above it, gap pixels away; where none of these
// fits, the place beside it or in a corner of work that covers least of it.
void placeBeside(const Box& keep, int width, int height, const Box& work, int gap, int& x, int& y);
