#include "fresh_seed.h"

#include <atomic>
#include <chrono>
#include <random>

#include "random.h"

namespace {

// Bits from the system's entropy source, or none where it fails (some
// runtimes have none, or a fixed one: the clocks cover those).
std::uint64_t deviceBits() {
    try {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    } catch (...) {
        return 0;
    }
}

std::atomic<std::uint64_t> g_calls{0};

}  // namespace

std::uint64_t freshSeed() {
    std::uint64_t x = deviceBits();
    // The steady clock alone may count from boot, and a run at logon comes
    // at much the same moment after every boot: the calendar clock differs.
    x ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    x = mixBits(x) ^ static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    x += 0x9E3779B97F4A7C15ull * ++g_calls;
    return mixBits(x);
}
