// EngineClock: the wall clock of the taboo list and of learning (seconds on the C time()
// scale). The product reads time(); tests and console scripts may fix the time so that
// taboo proportions and learning windows can be checked exactly.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace qorn {

class EngineClock {
 public:
  int32_t now() const { return fixed_ ? *fixed_ : static_cast<int32_t>(std::time(nullptr)); }
  // From now on now() returns `seconds` until changed again.
  void set(int32_t seconds) { fixed_ = seconds; }
  void advance(int32_t seconds) { fixed_ = now() + seconds; }
  // Back to the system clock.
  void useSystemTime() { fixed_.reset(); }

 private:
  std::optional<int32_t> fixed_;
};

}  // namespace qorn
