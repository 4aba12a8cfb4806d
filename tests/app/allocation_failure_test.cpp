// Out of memory on a render or encoder thread, at every allocation in turn:
// the process carries on, a render delivers either its correct image or the
// scheduler's image without pixels, and the PNG encoder either encodes or
// reports bad_alloc. Its own executable, as it replaces operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "png.h"
#include "render.h"
#include "render_scheduler.h"

namespace {

// Allocations made off the test's own thread while armed are numbered from
// 0; the one numbered failAt throws.
std::atomic<bool> g_armed{false};
std::atomic<long> g_count{0};
std::atomic<long> g_failAt{-1};
thread_local bool t_testThread = false;

void* allocate(std::size_t size) {
    if (g_armed.load(std::memory_order_relaxed) && !t_testThread &&
        g_count.fetch_add(1, std::memory_order_relaxed) == g_failAt.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
// zlib's allocations (through the PNG encoder's hook) come this way.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

class Delivery {
public:
    std::function<void()> callback() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_ = true;
            changed_.notify_all();
        };
    }
    // False after a generous time: a render that never delivers must fail
    // the test, not hang it.
    bool wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool ok = changed_.wait_for(lock, std::chrono::seconds(60), [&] { return ready_; });
        ready_ = false;
        return ok;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
};

}  // namespace

TEST(AllocationFailure, EveryAllocationOffTheCallingThreadFailsInTurnWithoutEndingTheProcess) {
    t_testThread = true;
    // One sample per pixel; supersampled with dither, Limit and Turn fast
    // (row tables and direct sums); pixels longer than a chunk of samples.
    std::vector<PatternSettings> renders(3);
    renders[0].bmpw = 40, renders[0].bmph = 9, renders[0].hue = 300, renders[0].dth_b = 5;
    renders[1].bmpw = 23, renders[1].bmph = 7, renders[1].accuracy = 6, renders[1].pat_x = WaveSine;
    renders[1].mode_r = EdgeLimit, renders[1].mode_g = EdgeTurnFast, renders[1].dth_g = 3, renders[1].hue = 77;
    renders[2].bmpw = 2, renders[2].bmph = 2, renders[2].accuracy = 70000, renders[2].dth_r = -4;
    renders[2].basew = renders[2].baseh = 3000;

    Delivery delivery;
    RenderScheduler scheduler(delivery.callback(), 2);
    for (const PatternSettings& s : renders) {
        const std::vector<std::uint32_t> expected = renderImage(s);
        bool failed = true;
        // Until an armed failure point lies beyond the render's last
        // allocation.
        for (long at = 0; failed; ++at) {
            g_count = 0;
            g_failAt = at;
            g_armed = true;
            scheduler.cancel();  // the next request is a new one
            scheduler.request(s);
            ASSERT_TRUE(delivery.wait()) << "no image delivered, allocation " << at << " failing, accuracy "
                                         << s.accuracy;
            RenderScheduler::Result result;
            ASSERT_TRUE(scheduler.take(result));
            g_armed = false;
            failed = g_count.load() > at;
            if (!result.pixels.empty()) {
                ASSERT_EQ(result.pixels, expected) << "allocation " << at << " failing, accuracy " << s.accuracy;
            }
        }
    }

    // The encoder's workers (the calling thread is one of them and is left
    // alone).
    std::vector<std::uint32_t> noisy(300 * 200);
    for (std::size_t i = 0; i < noisy.size(); ++i) noisy[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    PngOptions options;
    options.threads = 3;
    const std::vector<std::uint8_t> expected = encodePng(noisy.data(), 300, 200, options);
    bool failed = true;
    for (long at = 0; failed; ++at) {
        g_count = 0;
        g_failAt = at;
        g_armed = true;
        std::vector<std::uint8_t> png;
        bool threw = false;
        try {
            png = encodePng(noisy.data(), 300, 200, options);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        g_armed = false;
        failed = g_count.load() > at;
        if (!threw) {
            EXPECT_EQ(png, expected) << "allocation " << at << " failing";
        }
    }
}
