// A loop rendered and written as a file: the work itself, shared by the
// program and pallodex-render, and the program's exporter that runs it
// beside the window with progress and a way to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "loop.h"
#include "loop_file.h"
#include "pattern_settings.h"

// How many copies of the tile each frame shows across and down, as the
// desktop tiles it.
struct LoopTiles {
    std::int32_t columns = 1, rows = 1;
};

// Renders the frames of the loop of s (as many at once as options.threads,
// sharing them) and writes the file to sink.
LoopFileResult writeLoop(const PatternSettings& s, const LoopChoice& choice, LoopFormat format, const ByteSink& sink,
                         const LoopFileOptions& options = {}, LoopFileInfo* info = nullptr, LoopTiles tiles = {});

struct LoopJob {
    PatternSettings settings;
    LoopChoice choice;
    LoopFormat format = LoopFormat::Gif;
    std::string path;
};

enum class LoopExportOutcome {
    Written,
    Cancelled,    // nothing was written; a file already there is as it was
    ReadOnly,     // the file is read-only and was left alone
    Failed,       // the file could not be written; one already there is as it was
    OutOfMemory,  // as Failed
};

// What the editor asks of an exporter; the tests drive a fake.
class LoopExporter {
public:
    virtual ~LoopExporter() = default;
    // Starts writing the job's file; one job at a time.
    virtual void start(const LoopJob& job) = 0;
    virtual void cancel() = 0;
    // Percent of the job done, while it runs.
    virtual int percent() const = 0;
    // The outcome of the finished job, once.
    virtual std::optional<LoopExportOutcome> take() = 0;
    // Cancels and waits up to timeout; whether the work ended.
    virtual bool shutdown(std::chrono::milliseconds timeout) = 0;
};

// Runs each job on a thread of its own, which calls finished (from that
// thread) when the outcome can be taken.
class BackgroundLoopExporter final : public LoopExporter {
public:
    explicit BackgroundLoopExporter(std::function<void()> finished);
    ~BackgroundLoopExporter() override;
    void start(const LoopJob& job) override;
    void cancel() override;
    int percent() const override;
    std::optional<LoopExportOutcome> take() override;
    bool shutdown(std::chrono::milliseconds timeout) override;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
