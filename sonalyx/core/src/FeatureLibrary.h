// The outside feature library (bextractRaw) as one analysis worker uses it.
#pragma once

#include <cstdint>

namespace sonalyx {

// Per-worker "set up" state of the feature library. The library itself is process-wide and
// must be called from one thread at a time, so every use goes through one process-wide
// lock, and set-up / tear-down are reference counted across the workers of the process
// (one worker tearing down must not pull the library from under another's computation).
// Never throws.
class FeatureLibrary {
 public:
  static constexpr int kFeatureCount = 72;

  FeatureLibrary() = default;
  ~FeatureLibrary() { tearDown(); }
  FeatureLibrary(const FeatureLibrary&) = delete;
  FeatureLibrary& operator=(const FeatureLibrary&) = delete;

  // Sets the library up on first use, then computes the features of `count` samples into
  // output (kFeatureCount floats). True when the library succeeded and produced exactly
  // kFeatureCount values.
  bool compute(const std::int16_t* samples, std::int32_t count, float* output);
  // Tears the library down if this worker set it up.
  void tearDown();
  bool isSetUp() const { return setUp_; }

 private:
  bool setUp_ = false;
};

}  // namespace sonalyx
