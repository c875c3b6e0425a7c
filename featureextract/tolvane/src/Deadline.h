// A wall-clock limit on one decode, so that a hostile or corrupt file cannot keep a decoder
// busy for ever.
#pragma once

#include <chrono>

namespace tolvane {

class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds budget)
      : end_(std::chrono::steady_clock::now() + budget) {}
  bool expired() const { return std::chrono::steady_clock::now() >= end_; }

 private:
  std::chrono::steady_clock::time_point end_;
};

}  // namespace tolvane
