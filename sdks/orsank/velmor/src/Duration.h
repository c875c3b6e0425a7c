// Windows Media lengths are counts of 100-nanosecond units.
#pragma once

#include <cstdint>

namespace velmor {

// Whole seconds of a count of 100 ns units, truncated (2,345,670,000 gives 234); lengths
// beyond the int32_t range saturate. Never throws.
constexpr std::int32_t secondsFrom100ns(std::uint64_t units) noexcept {
  const std::uint64_t seconds = units / 10'000'000u;
  return seconds > 0x7fffffffu ? 0x7fffffff : static_cast<std::int32_t>(seconds);
}

}  // namespace velmor
