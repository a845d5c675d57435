#pragma once

#include <cstdint>

namespace tickscope {

// The recorded figures wrap like the 64-bit arithmetic of the runtime instead of
// overflowing, so a corrupt log cannot cause undefined behaviour.
inline std::int64_t WrappingAdd(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

inline std::int64_t WrappingSubtract(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

inline std::int64_t WrappingAbsolute(std::int64_t value) {
    return value < 0 ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(value)) : value;
}

} // namespace tickscope
