#include "loop_export.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "file_system.h"
#include "render.h"

LoopFileResult writeLoop(const PatternSettings& s, const LoopChoice& choice, LoopFormat format, const ByteSink& sink,
                         const LoopFileOptions& options, LoopFileInfo* info, LoopTiles tiles) {
    PatternSettings still = s;
    still.validate();
    const FrameSource source = [&](std::int32_t k, std::uint32_t* pixels, int threads) {
        RenderOptions render;
        render.threads = threads;
        render.cancel = options.cancel;
        const PatternSettings frame = loopFrame(still, choice.kind, choice.frames, k);
        if (tiles.columns == 1 && tiles.rows == 1) return renderImage(frame, pixels, render);
        return renderTiledCrop(frame, 0, 0, frame.bmpw * tiles.columns, frame.bmph * tiles.rows, pixels, render);
    };
    return writeLoopFile(format, still.bmpw * tiles.columns, still.bmph * tiles.rows, choice.frames, choice.delayMs,
                         source, sink, options, info);
}

struct BackgroundLoopExporter::Shared {
    std::function<void()> finished;
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;
    bool inFinished = false;
    std::optional<LoopExportOutcome> outcome;
    std::atomic<bool> cancel{false};
    std::atomic<std::int32_t> steps{0};
    std::int32_t totalSteps = 1;

    LoopExportOutcome run(const LoopJob& job) {
        LoopFileOptions options;
        options.cancel = &cancel;
        options.stepsDone = &steps;
        LoopFileResult result = LoopFileResult::Cancelled;
        bool outOfMemory = false;
        const fsys::WriteResult written = fsys::writeFile(job.path, [&](std::FILE* f) {
            try {
                result = writeLoop(job.settings, job.choice, job.format,
                                   [&](const std::uint8_t* p, std::size_t n) { return std::fwrite(p, 1, n, f) == n; },
                                   options);
            } catch (const std::bad_alloc&) {
                outOfMemory = true;
                return false;
            }
            return result == LoopFileResult::Written;
        });
        if (written == fsys::WriteResult::Written) return LoopExportOutcome::Written;
        if (outOfMemory) return LoopExportOutcome::OutOfMemory;
        if (written == fsys::WriteResult::ReadOnly) return LoopExportOutcome::ReadOnly;
        return result == LoopFileResult::Cancelled && cancel.load() ? LoopExportOutcome::Cancelled
                                                                    : LoopExportOutcome::Failed;
    }
};

BackgroundLoopExporter::BackgroundLoopExporter(std::function<void()> finished) : shared_(std::make_shared<Shared>()) {
    shared_->finished = std::move(finished);
}

BackgroundLoopExporter::~BackgroundLoopExporter() { shutdown(std::chrono::milliseconds(100)); }

void BackgroundLoopExporter::start(const LoopJob& job) {
    std::shared_ptr<Shared> shared = shared_;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->running) return;
        shared->running = true;
        shared->outcome.reset();
        shared->cancel = false;
        shared->steps = 0;
        shared->totalSteps = std::max<std::int32_t>(1, loopFileSteps(job.format, job.choice.frames));
    }
    auto work = [shared, job] {
        const LoopExportOutcome outcome = shared->run(job);
        std::unique_lock<std::mutex> lock(shared->mutex);
        shared->outcome = outcome;
        // shutdown waits for a call of finished under way, and none starts
        // after it.
        const std::function<void()> finished = shared->finished;
        shared->inFinished = true;
        shared->running = false;
        lock.unlock();
        if (finished) finished();
        lock.lock();
        shared->inFinished = false;
        shared->ended.notify_all();
    };
    try {
        std::thread(work).detach();
        return;
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->running = false;
        shared->outcome = LoopExportOutcome::OutOfMemory;
    }
    if (shared->finished) shared->finished();
}

void BackgroundLoopExporter::cancel() { shared_->cancel = true; }

int BackgroundLoopExporter::percent() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->running) return -1;
    return static_cast<int>(100LL * shared_->steps.load() / shared_->totalSteps);
}

std::optional<LoopExportOutcome> BackgroundLoopExporter::take() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    std::optional<LoopExportOutcome> out = shared_->outcome;
    shared_->outcome.reset();
    return out;
}

bool BackgroundLoopExporter::shutdown(std::chrono::milliseconds timeout) {
    shared_->cancel = true;
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->finished = nullptr;
    return shared_->ended.wait_for(lock, timeout, [&] { return !shared_->running && !shared_->inFinished; });
}
