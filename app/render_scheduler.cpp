#include "render_scheduler.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "render.h"

struct RenderScheduler::Shared {
    std::function<void()> finished;
    int threads = 0;

    mutable std::mutex mutex;
    std::condition_variable wake;     // the worker waits here for work or for quit
    std::condition_variable stopped;  // shutdown waits here for the worker to end, and for finished() to return

    // Guarded by mutex.
    std::uint64_t latest = 0;  // newest ticket handed out (or voided by cancel)
    std::optional<Result> pending;
    std::optional<Result> done;
    std::vector<std::uint32_t> spare;  // a buffer to render into, from recycle
    std::uint64_t running = 0;  // ticket being rendered, 0 when idle
    PatternSettings runningSettings;
    std::int32_t runningRows = 0;
    std::chrono::steady_clock::time_point since;
    bool quit = false;
    bool ended = false;
    bool inFinished = false;  // the worker is in finished()

    // Read by the render threads without the lock.
    std::atomic<bool> stop{false};
    std::atomic<int> rowsDone{0};

    void work();
};

void RenderScheduler::Shared::work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return quit || pending; });
        if (quit) break;
        Result job = std::move(*pending);
        pending.reset();
        running = job.ticket;
        runningSettings = job.settings;
        runningRows = job.settings.bmph;
        rowsDone.store(0, std::memory_order_relaxed);
        stop.store(false, std::memory_order_relaxed);
        job.pixels.swap(spare);
        lock.unlock();

        bool complete = false;
        try {
            job.pixels.resize(static_cast<std::size_t>(job.settings.bmpw) *
                              static_cast<std::size_t>(job.settings.bmph));
            RenderOptions options;
            options.threads = threads;
            options.rowsDone = &rowsDone;
            options.cancel = &stop;
            complete = renderImage(job.settings, job.pixels.data(), options);
        } catch (const std::exception&) {
            // Memory ran out: reported as an image without pixels, and the
            // window keeps the old one.
            job.pixels = std::vector<std::uint32_t>();
            complete = true;
        }

        lock.lock();
        running = 0;
        if (!complete || job.ticket != latest) {
            if (spare.empty()) spare.swap(job.pixels);
            continue;
        }
        // Not after shutdown: it made every ticket old before it waited.
        done = std::move(job);
        inFinished = true;
        lock.unlock();
        finished();
        lock.lock();
        inFinished = false;
        stopped.notify_all();
    }
    ended = true;
    stopped.notify_all();
}

RenderScheduler::RenderScheduler(std::function<void()> finished, int threads) : shared_(std::make_shared<Shared>()) {
    shared_->finished = std::move(finished);
    shared_->threads = threads;
    // The thread owns a reference of its own, so that a worker abandoned by
    // shutdown never outlives what it uses.
    std::thread([s = shared_] { s->work(); }).detach();
}

RenderScheduler::~RenderScheduler() { shutdown(std::chrono::seconds(10)); }

std::uint64_t RenderScheduler::request(const PatternSettings& s) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    // Asked again for what is already on its way: nothing to restart.
    if (shared_->pending ? shared_->pending->settings == s
                         : shared_->running && shared_->running == shared_->latest && shared_->runningSettings == s)
        return shared_->latest;
    const bool busy = shared_->pending || (shared_->running && shared_->running == shared_->latest);
    if (!busy) shared_->since = std::chrono::steady_clock::now();
    Result job;
    job.ticket = ++shared_->latest;
    job.settings = s;
    shared_->pending = std::move(job);
    shared_->done.reset();
    if (shared_->running) shared_->stop.store(true, std::memory_order_relaxed);
    shared_->wake.notify_one();
    return shared_->latest;
}

void RenderScheduler::cancel() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    ++shared_->latest;  // whatever is still running can no longer be the newest
    shared_->pending.reset();
    shared_->done.reset();
    if (shared_->running) shared_->stop.store(true, std::memory_order_relaxed);
}

bool RenderScheduler::take(Result& out) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->done) return false;
    const bool newest = shared_->done->ticket == shared_->latest;
    if (newest) out = std::move(*shared_->done);
    shared_->done.reset();
    return newest;
}

void RenderScheduler::recycle(std::vector<std::uint32_t>&& pixels) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->spare = std::move(pixels);
}

RenderScheduler::Status RenderScheduler::status() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    Status st;
    st.since = shared_->since;
    if (shared_->pending) {
        st.busy = true;
        st.rows = shared_->pending->settings.bmph;
    } else if (shared_->running && shared_->running == shared_->latest) {
        st.busy = true;
        st.rows = shared_->runningRows;
        st.rowsDone = shared_->rowsDone.load(std::memory_order_relaxed);
    }
    return st;
}

bool RenderScheduler::shutdown(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->quit = true;
    ++shared_->latest;
    shared_->pending.reset();
    shared_->done.reset();
    shared_->stop.store(true, std::memory_order_relaxed);
    shared_->wake.notify_one();
    const bool ended = shared_->stopped.wait_for(lock, timeout, [&] { return shared_->ended; });
    // A finished() that began before quit was set is waited for, however
    // long the timeout; none begins after it.
    shared_->stopped.wait(lock, [&] { return !shared_->inFinished; });
    return ended;
}
