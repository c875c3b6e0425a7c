// One 30 s window through the feature library: the whole call through the exported entry
// point (the figure that matters: at most 20 ms), and the timbre and beat-histogram halves
// through the internal classes to show where the time goes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "beat_histogram.h"
#include "bextract/bextractRaw.h"
#include "timbre.h"

namespace {

// Music-like input: a chord, a 120 BPM kick of decaying bursts and a little noise.
std::vector<int16_t> thirtySeconds() {
  constexpr std::size_t kCount = 661500;
  constexpr double kRate = 22050.0;
  std::vector<int16_t> s(kCount);
  unsigned state = 1;
  for (std::size_t n = 0; n < kCount; ++n) {
    const double t = n / kRate;
    const double beat = std::fmod(t, 0.5);
    double x = 0.15 * std::sin(2 * std::numbers::pi * 220.0 * t) +
               0.1 * std::sin(2 * std::numbers::pi * 277.2 * t) +
               0.1 * std::sin(2 * std::numbers::pi * 329.6 * t) +
               0.4 * std::exp(-beat / 0.02) * std::sin(2 * std::numbers::pi * 60.0 * t);
    state = state * 1664525u + 1013904223u;
    x += 0.02 * ((state >> 8) / double(1u << 24) - 0.5);
    s[n] = static_cast<int16_t>(std::lround(x * 32767.0));
  }
  return s;
}

void BM_BextractRaw(benchmark::State& state) {
  const std::vector<int16_t> samples = thirtySeconds();
  constructMarSystems();
  float out[BEXTRACT_FEATURE_COUNT];
  for (auto _ : state) {
    int produced = 0;
    bextractRaw(samples.data(), static_cast<int>(samples.size()), out, BEXTRACT_FEATURE_COUNT,
                &produced);
    benchmark::DoNotOptimize(out);
    if (produced != BEXTRACT_FEATURE_COUNT) state.SkipWithError("bextractRaw failed");
  }
  destroyMarSystems();
}
BENCHMARK(BM_BextractRaw)->Unit(benchmark::kMillisecond);

void BM_Timbre(benchmark::State& state) {
  const std::vector<int16_t> samples = thirtySeconds();
  bextract::TimbreAnalyzer timbre;
  double out[bextract::kTimbreOutputs];
  for (auto _ : state) {
    timbre.analyse(samples.data(), samples.size(), out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_Timbre)->Unit(benchmark::kMillisecond);

void BM_BeatHistogram(benchmark::State& state) {
  const std::vector<int16_t> samples = thirtySeconds();
  bextract::BeatAnalyzer beat;
  bextract::BeatHistogram histogram;
  for (auto _ : state) {
    beat.histogram(samples.data(), samples.size(), histogram);
    benchmark::DoNotOptimize(histogram);
  }
}
BENCHMARK(BM_BeatHistogram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
