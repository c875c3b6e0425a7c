// The outside feature library (bextractRaw) as one analysis worker uses it.
#pragma once

#include <cstdint>

namespace sonalyx {

// Per-worker "set up" state of the feature library: set up lazily by the first computation,
// torn down once when the worker ends. The library counts set-ups and serialises its calls,
// so workers of several contexts never tear down each other's extractor. Never throws.
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
  // Ends this worker's set-up, if it made one.
  void tearDown();
  bool isSetUp() const { return setUp_; }

 private:
  bool setUp_ = false;
};

}  // namespace sonalyx
