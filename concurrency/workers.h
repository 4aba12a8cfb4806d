// Running one piece of work on several threads, the calling thread among
// them; shared by the renderer and the image encoders.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// The number of workers for a request: 0 (or less) means every hardware
// thread; never fewer than 1.
inline int workerCount(int requested) {
    const int t = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    return t > 0 ? t : 1;
}

// Runs work(worker) on `threads` workers, the calling thread being worker 0,
// and returns when all have returned. If the system refuses to start a
// thread, fewer workers run: work must take its items from a shared counter
// rather than count on a share per worker. An exception that leaves work on
// any worker is rethrown here once every worker has returned (the first one
// caught, if several); work that should stop the others when one fails must
// tell them itself.
template <class Work>
void runWorkers(int threads, const Work& work) {
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto guarded = [&](int worker) {
        try {
            work(worker);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    try {
        pool.reserve(static_cast<std::size_t>(threads > 1 ? threads - 1 : 0));
        for (int w = 1; w < threads; ++w) pool.emplace_back(guarded, w);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the ones running share all the work.
    } catch (const std::bad_alloc&) {
    }
    guarded(0);
    for (auto& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}

// Hands out items 0..count-1 one at a time to `threads` workers (see
// runWorkers); item(worker, k) does item k and returns whether to go on.
// Stops handing out once the cancel flag (if any) is up or an item returns
// false, and returns false then: false means some item was left undone,
// never that the flag came up after the last one. An item that throws stops
// the others too; the exception comes out here once they have stopped.
template <class ItemFn>
bool forEachItem(int threads, std::int32_t count, const std::atomic<bool>* cancel, const ItemFn& item) {
    std::atomic<std::int32_t> next{0};
    std::atomic<bool> stopped{false};
    runWorkers(threads, [&](int worker) {
        for (;;) {
            if (stopped.load(std::memory_order_relaxed)) return;
            const std::int32_t k = next.fetch_add(1, std::memory_order_relaxed);
            if (k >= count) return;
            bool carryOn = false;
            try {
                carryOn = !(cancel && cancel->load(std::memory_order_relaxed)) && item(worker, k);
            } catch (...) {
                stopped.store(true, std::memory_order_relaxed);
                throw;
            }
            if (!carryOn) {
                stopped.store(true, std::memory_order_relaxed);
                return;
            }
        }
    });
    return !stopped.load();
}
