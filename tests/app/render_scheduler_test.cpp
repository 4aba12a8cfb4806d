#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "render.h"
#include "render_scheduler.h"

namespace {

using namespace std::chrono_literals;

// Counts the scheduler's "finished" calls and lets a test wait for the next.
class Finished {
public:
    std::function<void()> callback() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            ++count_;
            changed_.notify_all();
        };
    }
    // Waits until there have been at least n calls; false after a generous
    // time (a broken scheduler must fail, not hang).
    bool waitFor(int n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 60s, [&] { return count_ >= n; });
    }
    int count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

PatternSettings small(int basex) {
    PatternSettings s;
    s.bmpw = 61;
    s.bmph = 37;
    s.pat_x = WaveSine;
    s.dth_g = 5;
    s.hue = 300;
    s.basex = basex;
    return s;
}

// A render of many seconds (minutes under the sanitizers), in rows of a few
// milliseconds, so that it is surely still running when a test acts on it.
PatternSettings slow() {
    PatternSettings s;
    s.bmpw = 2048;
    s.bmph = 2048;
    s.pat_x = WaveSine;
    s.pat_y = WaveTriangle;
    s.dth_r = 5;
    s.dth_b = -7;
    s.hue = 100;
    s.accuracy = 3000;
    return s;
}

// A small picture of many rows.
PatternSettings slowRows(int basey) {
    PatternSettings s = small(0);
    s.bmpw = 7;
    s.bmph = 300;
    s.basey = basey;
    return s;
}

bool waitUntilRendering(const RenderScheduler& r) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        const RenderScheduler::Status st = r.status();
        if (st.busy && st.rowsDone > 0) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

}  // namespace

TEST(RenderScheduler, DeliversTheSameImageAsASynchronousRender) {
    Finished finished;
    RenderScheduler r(finished.callback(), 2);
    const PatternSettings s = small(3);
    const std::uint64_t ticket = r.request(s);
    ASSERT_TRUE(finished.waitFor(1));
    RenderScheduler::Result result;
    ASSERT_TRUE(r.take(result));
    EXPECT_EQ(result.ticket, ticket);
    EXPECT_EQ(result.settings, s);
    EXPECT_EQ(result.pixels, renderImage(s));
    EXPECT_FALSE(r.status().busy);
    EXPECT_FALSE(r.take(result)) << "an image is taken once";

    // A buffer handed back, full of an old picture (here junk), of another
    // size: the next image is still exactly the synchronous one.
    for (const PatternSettings& next : {small(4), slowRows(8), small(5)}) {
        result.pixels.assign(result.pixels.size() + 13, 0xDEADBEEFu);
        r.recycle(std::move(result.pixels));
        const int before = finished.count();
        r.request(next);
        ASSERT_TRUE(finished.waitFor(before + 1));
        ASSERT_TRUE(r.take(result));
        EXPECT_EQ(result.pixels, renderImage(next));
    }
}

TEST(RenderScheduler, ASupersededRenderNeverReachesTheWindow) {
    Finished finished;
    RenderScheduler r(finished.callback(), 2);
    // A long render is running when the next request comes: it stops, and
    // only the newest request's image is ever handed out.
    const std::uint64_t first = r.request(slow());
    ASSERT_TRUE(waitUntilRendering(r));
    std::uint64_t last = 0;
    for (int n = 0; n < 20; ++n) last = r.request(small(n));
    EXPECT_GT(last, first);
    ASSERT_TRUE(finished.waitFor(1));
    RenderScheduler::Result result;
    ASSERT_TRUE(r.take(result));
    EXPECT_EQ(result.ticket, last);
    EXPECT_EQ(result.settings, small(19));
    EXPECT_EQ(result.pixels, renderImage(small(19)));

    // An image finished before a newer request came, but not yet taken, is
    // no longer handed out.
    const int before = finished.count();
    r.request(small(40));
    ASSERT_TRUE(finished.waitFor(before + 1));
    r.request(small(41));
    RenderScheduler::Result stale;
    if (r.take(stale)) {
        EXPECT_EQ(stale.settings, small(41)) << "only the newest request's image may be taken";
    }
}

TEST(RenderScheduler, AskingAgainForTheImageOnItsWayDoesNotRestartIt) {
    Finished finished;
    RenderScheduler r(finished.callback(), 2);
    const std::uint64_t ticket = r.request(slow());
    ASSERT_TRUE(waitUntilRendering(r));
    const std::int32_t progress = r.status().rowsDone;
    EXPECT_EQ(r.request(slow()), ticket);
    std::this_thread::sleep_for(20ms);
    EXPECT_GE(r.status().rowsDone, progress) << "the render started over";
    r.cancel();
}

TEST(RenderScheduler, CancelStopsTheRenderAndDeliversNothing) {
    Finished finished;
    RenderScheduler r(finished.callback(), 2);
    r.request(slow());
    ASSERT_TRUE(waitUntilRendering(r));
    const RenderScheduler::Status running = r.status();
    EXPECT_EQ(running.rows, 2048);
    EXPECT_LT(running.rowsDone, 2048);
    r.cancel();
    EXPECT_FALSE(r.status().busy);
    // The worker is free again at once: the next request is served.
    const PatternSettings s = small(9);
    r.request(s);
    ASSERT_TRUE(finished.waitFor(1));
    RenderScheduler::Result result;
    ASSERT_TRUE(r.take(result));
    EXPECT_EQ(result.settings, s);
    EXPECT_EQ(finished.count(), 1) << "the cancelled render was delivered";
}

TEST(RenderScheduler, ShutdownStopsARunningRenderPromptly) {
    Finished finished;
    RenderScheduler r(finished.callback(), 2);
    r.request(slow());
    ASSERT_TRUE(waitUntilRendering(r));
    EXPECT_TRUE(r.shutdown(10s));
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(r.status().busy);
}
