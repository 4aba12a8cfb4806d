#include "cell_renderer.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "render.h"

namespace {

struct Batch {
    std::uint64_t number = 0;
    std::int32_t w = 0, h = 0;
    std::vector<CellJob> jobs;
};

}  // namespace

struct CellRenderer::Shared {
    std::function<void()> ready;
    int threads = 0;

    std::mutex mutex;
    std::condition_variable wake;     // the worker waits here for work or for quit
    std::condition_variable stopped;  // shutdown waits here for the worker and for ready()

    // Guarded by mutex.
    std::uint64_t latest = 0;
    std::optional<Batch> pending;
    std::deque<CellResult> done;
    bool quit = false;
    bool ended = false;
    bool inReady = false;

    std::atomic<bool> stop{false};  // read by the render threads without the lock

    void work();
    // One cell on the worker, without the lock; false when stopped.
    bool renderCell(const Batch& batch, CellJob& job, CellResult& out);
};

bool CellRenderer::Shared::renderCell(const Batch& batch, CellJob& job, CellResult& out) {
    out.batch = batch.number;
    out.index = job.index;
    try {
        out.settings = job.settings();
    } catch (const std::exception&) {
        return false;  // no memory even to make the set: the cell stays empty
    }
    if (stop.load(std::memory_order_relaxed)) return false;
    try {
        out.pixels.resize(static_cast<std::size_t>(batch.w) * static_cast<std::size_t>(batch.h));
        RenderOptions options;
        options.threads = threads;
        options.cancel = &stop;
        return renderTiledCrop(out.settings, 0, 0, batch.w, batch.h, out.pixels.data(), options);
    } catch (const std::exception&) {
        // Memory ran out: the cell keeps its set, without a picture.
        out.pixels = std::vector<std::uint32_t>();
        return true;
    }
}

void CellRenderer::Shared::work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return quit || pending; });
        if (quit) break;
        Batch batch = std::move(*pending);
        pending.reset();
        stop.store(false, std::memory_order_relaxed);
        for (CellJob& job : batch.jobs) {
            lock.unlock();
            CellResult result;
            const bool complete = renderCell(batch, job, result);
            lock.lock();
            if (!complete || batch.number != latest) break;
            done.push_back(std::move(result));
            inReady = true;
            lock.unlock();
            ready();
            lock.lock();
            inReady = false;
            stopped.notify_all();
        }
    }
    ended = true;
    stopped.notify_all();
}

CellRenderer::CellRenderer(std::function<void()> ready, int threads) : shared_(std::make_shared<Shared>()) {
    shared_->ready = std::move(ready);
    shared_->threads = threads;
    std::thread([s = shared_] { s->work(); }).detach();
}

CellRenderer::~CellRenderer() { shutdown(std::chrono::milliseconds(100)); }

std::uint64_t CellRenderer::start(std::int32_t w, std::int32_t h, std::vector<CellJob> jobs) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    Batch batch;
    batch.number = ++shared_->latest;
    batch.w = w;
    batch.h = h;
    batch.jobs = std::move(jobs);
    shared_->pending = std::move(batch);
    shared_->done.clear();
    shared_->stop.store(true, std::memory_order_relaxed);
    shared_->wake.notify_one();
    return shared_->latest;
}

bool CellRenderer::take(CellResult& out) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    while (!shared_->done.empty() && shared_->done.front().batch != shared_->latest) shared_->done.pop_front();
    if (shared_->done.empty()) return false;
    out = std::move(shared_->done.front());
    shared_->done.pop_front();
    return true;
}

bool CellRenderer::shutdown(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->quit = true;
    ++shared_->latest;
    shared_->pending.reset();
    shared_->done.clear();
    shared_->stop.store(true, std::memory_order_relaxed);
    shared_->wake.notify_one();
    const bool ended = shared_->stopped.wait_for(lock, timeout, [&] { return shared_->ended; });
    shared_->stopped.wait(lock, [&] { return !shared_->inReady; });
    return ended;
}
