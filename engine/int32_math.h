// 32-bit two's-complement arithmetic with wrap-around, spelled out through
// unsigned arithmetic so that no overflow is ever undefined behaviour.
#pragma once

#include <cstdint>

namespace i32 {

inline std::int32_t fromBits(std::uint32_t u) {
    // Converting an unsigned value above INT32_MAX to int32 is implementation
    // defined before C++20. The branch converts only values that fit, so the
    // result is the two's-complement reading of u with any compiler.
    return u <= 0x7FFFFFFFu ? static_cast<std::int32_t>(u)
                            : static_cast<std::int32_t>(u - 0x80000000u) - 0x7FFFFFFF - 1;
}

inline std::int32_t add(std::int32_t a, std::int32_t b) {
    return fromBits(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t sub(std::int32_t a, std::int32_t b) {
    return fromBits(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t mul(std::int32_t a, std::int32_t b) {
    return fromBits(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
inline std::int32_t neg(std::int32_t a) {
    return fromBits(0u - static_cast<std::uint32_t>(a));
}
// |INT32_MIN| wraps back to INT32_MIN, as a 32-bit machine computes it.
inline std::int32_t abs(std::int32_t a) { return a < 0 ? neg(a) : a; }

// Truncating division; INT32_MIN / -1 wraps to INT32_MIN instead of trapping.
inline std::int32_t div(std::int32_t a, std::int32_t b) {
    return b == -1 ? neg(a) : a / b;
}
// "mod m, made non-negative" for m > 0.
inline std::int32_t modPos(std::int32_t a, std::int32_t m) {
    std::int32_t r = a % m;
    return r < 0 ? r + m : r;
}

// Conversion of a double to int32 by truncation toward zero. A value that does
// not fit (or NaN) gives INT32_MIN, the "integer indefinite" result of the x86
// truncating conversion, never undefined behaviour.
inline std::int32_t truncDouble(double d) {
    if (d > -2147483649.0 && d < 2147483648.0) return static_cast<std::int32_t>(d);
    return INT32_MIN;
}

}  // namespace i32
