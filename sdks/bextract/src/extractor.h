// One feature extractor: the timbre statistics and the beat histogram of a PCM window,
// with every plan and work array made at construction and reused per song.
#pragma once

#include <cstddef>
#include <cstdint>

#include "beat_histogram.h"
#include "timbre.h"

namespace bextract {

inline constexpr int kFeatureCount = kTimbreOutputs + kBeatOutputs;  // 72

class Extractor {
 public:
  // Throws std::bad_alloc or std::runtime_error (FFTW planning).
  Extractor() = default;

  // Writes the 72 features of samples[0..count) to out72. Throws std::bad_alloc only when
  // an input longer than 30 s needs larger work arrays. Not thread safe.
  void compute(const int16_t* samples, std::size_t count, float* out72);

 private:
  TimbreAnalyzer timbre_;
  BeatAnalyzer beat_;
  BeatHistogram histogram_{};
};

}  // namespace bextract
