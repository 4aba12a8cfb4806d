// Renders a batch of pictures the size of a cell, the variations window's
// nine, on a worker thread: each cell's set is made there too (a generator
// may take a while), rendered as the desktop tiles it, cropped to the cell,
// and handed over as soon as it is finished. A newer batch stops an older
// one at its next row, and whatever the older one still had to hand over is
// dropped: newest wins, as with RenderScheduler, whose shape this shares.
// Free of Windows headers so that it is tested on any host.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "pattern_settings.h"

struct CellJob {
    int index = 0;
    // Makes the cell's set; runs on the worker.
    std::function<PatternSettings()> settings;
};

struct CellResult {
    std::uint64_t batch = 0;
    int index = 0;
    PatternSettings settings;
    std::vector<std::uint32_t> pixels;  // w x h, 0x00BBGGRR; empty when memory ran out
};

class CellRenderer {
public:
    // ready runs on the worker thread whenever a cell of the newest batch can
    // be taken; it must be quick and safe from any thread (posting a window
    // message is). threads: render threads per cell, 0 for all.
    explicit CellRenderer(std::function<void()> ready, int threads = 0);
    // Stops the worker, waiting a moment at most (see shutdown): a window
    // that closes is never kept waiting for a set still being made.
    ~CellRenderer();
    CellRenderer(const CellRenderer&) = delete;
    CellRenderer& operator=(const CellRenderer&) = delete;

    // A new batch of w x h cells, made and rendered in the jobs' order; it
    // replaces every older one. Returns its number.
    std::uint64_t start(std::int32_t w, std::int32_t h, std::vector<CellJob> jobs);
    // Moves the newest batch's next finished cell into out, in the order
    // they finished. False when there is none (yet).
    bool take(CellResult& out);
    // Stops everything and waits up to timeout for the worker, as
    // RenderScheduler::shutdown does; ready() does not run once it returns.
    bool shutdown(std::chrono::milliseconds timeout);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
