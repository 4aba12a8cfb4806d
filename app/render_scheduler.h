// Renders on a worker thread, one at a time, newest request first: a request
// made while another render runs stops that render at its next row and takes
// its place, so that a burst of changes never queues up renders nobody will
// see. The window thread asks, and later takes the finished image; it never
// waits for a render. Free of Windows headers so that it is tested on any host.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "pattern_settings.h"

struct RenderResult {
    std::uint64_t ticket = 0;
    PatternSettings settings;
    std::vector<std::uint32_t> pixels;  // bmpw x bmph, 0x00BBGGRR; empty when memory ran out
};

struct RenderStatus {
    bool busy = false;          // the newest request is waiting or rendering
    std::int32_t rowsDone = 0;  // of the newest request's render
    std::int32_t rows = 0;
    // Since when the worker has been busy without a break: a request that
    // replaces a busy one keeps the time, so a burst of changes does not
    // keep the progress out of sight.
    std::chrono::steady_clock::time_point since;
};

// What the editor asks of a renderer; RenderScheduler is the real one, the
// tests drive a fake whose renders end when the test says.
class Renderer {
public:
    virtual ~Renderer() = default;
    virtual std::uint64_t request(const PatternSettings& s) = 0;
    virtual void cancel() = 0;
    virtual bool take(RenderResult& out) = 0;
    virtual void recycle(std::vector<std::uint32_t>&& pixels) = 0;
    virtual RenderStatus status() const = 0;
    virtual bool shutdown(std::chrono::milliseconds timeout) = 0;
};

class RenderScheduler final : public Renderer {
public:
    using Result = RenderResult;
    using Status = RenderStatus;

    // finished runs on the worker thread whenever the newest request's image
    // is ready to be taken; it must be quick and safe to call from any thread
    // (posting a window message is). threads: render threads, 0 for all.
    explicit RenderScheduler(std::function<void()> finished, int threads = 0);
    // Stops the worker (see shutdown).
    ~RenderScheduler() override;
    RenderScheduler(const RenderScheduler&) = delete;
    RenderScheduler& operator=(const RenderScheduler&) = delete;

    // Asks for the image of s; returns the request's ticket. An older request
    // still waiting is dropped, an older render still running is stopped;
    // asking again for the image already waiting or rendering changes nothing.
    std::uint64_t request(const PatternSettings& s) override;
    // Drops the waiting request and stops the running render; nothing of
    // either will be delivered.
    void cancel() override;
    // Moves the newest request's finished image into out. False when there is
    // none: not finished yet, or superseded before it could be taken.
    bool take(Result& out) override;
    // Hands a taken image's buffer back for the next render to fill, which
    // then needs neither fresh memory nor zeroing it (whatever it holds is
    // overwritten).
    void recycle(std::vector<std::uint32_t>&& pixels) override;
    Status status() const override;

    // Cancels everything and waits up to timeout for the worker to end. A
    // worker still busy after that (a render that cannot stop in time) is
    // left to end on its own; it only touches state it shares ownership of.
    // Returns whether the worker ended. Either way, finished() is not running
    // and will not run once this returns (a call already under way is waited
    // for, so it must not call shutdown itself).
    bool shutdown(std::chrono::milliseconds timeout) override;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
