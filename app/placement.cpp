#include "placement.h"

#include <algorithm>

long long overlapArea(const Box& a, const Box& b) {
    const long long w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const long long h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

void placeBeside(const Box& keep, int width, int height, const Box& work, int gap, int& x, int& y) {
    // Inside work wherever possible; a window larger than work keeps its
    // top-left corner (and so its caption) on it.
    auto clamp = [&](int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); };
    const int maxX = work.right - width, maxY = work.bottom - height;
    const int candidates[][2] = {
        {keep.right + gap, keep.top},           {keep.left, keep.bottom + gap},  {keep.left - gap - width, keep.top},
        {keep.left, keep.top - gap - height},   {work.right - width, work.top},  {work.left, work.bottom - height},
        {work.right - width, work.bottom - height}, {work.left, work.top},
    };
    long long least = -1;
    for (const auto& c : candidates) {
        const int cx = clamp(c[0], work.left, std::max(work.left, maxX));
        const int cy = clamp(c[1], work.top, std::max(work.top, maxY));
        const long long covered = overlapArea(keep, Box{cx, cy, cx + width, cy + height});
        if (least >= 0 && covered >= least) continue;
        least = covered, x = cx, y = cy;
        if (covered == 0) return;
    }
}
