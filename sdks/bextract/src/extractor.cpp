#include "extractor.h"

#include <array>

namespace bextract {

void Extractor::compute(const int16_t* samples, std::size_t count, float* out72) {
  std::array<double, kFeatureCount> values{};
  timbre_.analyse(samples, count, values.data());
  beat_.histogram(samples, count, histogram_);
  const std::array<double, kBeatOutputs> beat = beatFeatures(histogram_);
  for (int i = 0; i < kBeatOutputs; ++i) values[kTimbreOutputs + i] = beat[i];
  for (int i = 0; i < kFeatureCount; ++i) out72[i] = static_cast<float>(values[i]);
}

}  // namespace bextract
