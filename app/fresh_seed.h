// Seeds for new random wallpapers, for the window's keys and for
// pallodex.exe /wallpaper alike.
#pragma once

#include <cstdint>

// A seed no other call of this run, nor any other run, starts from: the
// system's entropy, both clocks and a counter, mixed so that every input bit
// reaches every seed bit. Thread-safe.
std::uint64_t freshSeed();
