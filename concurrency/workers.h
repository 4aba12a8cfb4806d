// Running one piece of work on several threads, the calling thread among
// them; shared by the renderer and the image encoders.
#pragma once

#include <atomic>
#include <condition_variable>
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

// Items 0..count-1 made on `threads` workers (see runWorkers) and handed
// over strictly in order: make(worker, k, slot) fills a slot, take(k, slot)
// uses it, one take at a time, on whichever worker finished the item that
// was next. At most `window` items are made and not yet taken, so that a
// long run holds only those in memory; the slots are reused, each
// make(.., k, ..) getting the one item k - window had. make and take return
// whether to go on. Returns true when every item was taken; false when the
// cancel flag came up or a call returned false. An exception from either
// stops the others and comes out here once they have stopped.
template <class Slot, class MakeFn, class TakeFn>
bool forEachInOrder(int threads, std::int32_t count, std::int32_t window, const std::atomic<bool>* cancel,
                    const MakeFn& make, const TakeFn& take) {
    if (window < 1) window = 1;
    std::vector<Slot> slots(static_cast<std::size_t>(window));
    std::vector<char> ready(static_cast<std::size_t>(window), 0);
    std::mutex m;
    std::condition_variable cv;
    std::int32_t next = 0, taken = 0;
    bool stopped = false, taking = false;
    auto stop = [&] {
        std::lock_guard<std::mutex> lock(m);
        stopped = true;
        cv.notify_all();
    };
    runWorkers(threads, [&](int worker) {
        try {
            for (;;) {
                std::int32_t k;
                {
                    std::unique_lock<std::mutex> lock(m);
                    cv.wait(lock, [&] { return stopped || next >= count || next < taken + window; });
                    if (stopped || next >= count) return;
                    k = next++;
                }
                Slot& slot = slots[static_cast<std::size_t>(k % window)];
                if ((cancel && cancel->load(std::memory_order_relaxed)) || !make(worker, k, slot)) return stop();
                std::unique_lock<std::mutex> lock(m);
                ready[static_cast<std::size_t>(k % window)] = 1;
                // One worker hands over whatever is ready in order; the
                // others go on making meanwhile.
                if (taking) continue;
                taking = true;
                while (!stopped && taken < count && ready[static_cast<std::size_t>(taken % window)]) {
                    const std::int32_t t = taken;
                    lock.unlock();
                    bool goOn = false;
                    try {
                        goOn = take(t, slots[static_cast<std::size_t>(t % window)]);
                    } catch (...) {
                        lock.lock();
                        taking = false;
                        throw;
                    }
                    lock.lock();
                    if (!goOn) stopped = true;
                    ready[static_cast<std::size_t>(t % window)] = 0;
                    ++taken;
                    cv.notify_all();
                }
                taking = false;
            }
        } catch (...) {
            stop();
            throw;
        }
    });
    return !stopped && taken == count;
}
