#include "tile_measure.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>
#include <vector>

namespace {

// sums[k] is the total difference across boundary k|k+1 (k = n-1 is the wrap).
EdgeProfile profile(const std::vector<double>& sums, int pairsPerBoundary) {
    EdgeProfile p;
    const int n = static_cast<int>(sums.size());
    p.wrap = sums[n - 1] / pairsPerBoundary;
    double total = 0;
    for (int k = 0; k + 1 < n; ++k) {
        const double v = sums[k] / pairsPerBoundary;
        p.sharpest = std::max(p.sharpest, v);
        total += v;
    }
    p.mean = n > 1 ? total / (n - 1) : 0;
    return p;
}

}  // namespace

int colourDifference(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d += std::abs(static_cast<int>((a >> shift) & 0xFFu) - static_cast<int>((b >> shift) & 0xFFu));
    return d;
}

bool EdgeProfile::seam() const { return wrap > std::max(1.25 * sharpest, 2 * mean + 3); }

TileMeasure measureTile(const std::uint32_t* px, int w, int h) {
    TileMeasure m;
    if (w <= 0 || h <= 0) return m;
    std::vector<double> colSums(static_cast<std::size_t>(w), 0.0), rowSums(static_cast<std::size_t>(h), 0.0);
    std::unordered_set<std::uint32_t> seen;
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* row = px + static_cast<std::size_t>(y) * w;
        const std::uint32_t* below = px + static_cast<std::size_t>((y + 1) % h) * w;
        for (int x = 0; x < w; ++x) {
            colSums[x] += colourDifference(row[x], row[(x + 1) % w]);
            rowSums[y] += colourDifference(row[x], below[x]);
            if (static_cast<int>(seen.size()) < TileMeasure::kEnoughColours) seen.insert(row[x] & 0xFFFFFFu);
        }
    }
    m.columns = profile(colSums, h);
    m.rows = profile(rowSums, w);
    m.colours = static_cast<int>(seen.size());
    m.neighbour = (m.columns.mean + m.rows.mean) / 2;
    return m;
}
