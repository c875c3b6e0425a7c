// One 30 s window through the feature library: the whole call through the exported entry
// point (the figure that matters: at most 20 ms), and the timbre and beat-histogram halves
// through the internal classes to show where the time goes.
//
// Input: BEXTRACT_BENCH_INPUT may name a raw file of signed 16-bit little-endian mono PCM at
// 22,050 Hz (for example a 30 s window decoded from a real song with
// "ffmpeg -ss 60 -t 30 -i SONG -ac 1 -ar 22050 -f s16le FILE"); otherwise the benchmark
// synthesises a song like those scripts/bench-sonalyx.sh generates, so both benchmarks time
// the same kind of signal.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <vector>

#include "beat_histogram.h"
#include "bextract/bextractRaw.h"
#include "timbre.h"

namespace {

constexpr std::size_t kThirtySeconds = 661500;

// Two partials, pink noise and a 2 Hz tremolo of depth 0.6, mixed as the pipeline
// benchmark's songs are (amplitudes 0.4, 0.2, 0.08, divided by the three inputs).
std::vector<int16_t> songLike() {
  constexpr double kRate = 22050.0;
  std::vector<int16_t> s(kThirtySeconds);
  unsigned state = 12345;
  auto white = [&state] {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / double(1u << 24) * 2.0 - 1.0;
  };
  // Pink noise: white noise through three one-pole filters (Paul Kellet's economy filter).
  double p0 = 0, p1 = 0, p2 = 0;
  for (std::size_t n = 0; n < s.size(); ++n) {
    const double t = n / kRate;
    const double w = white();
    p0 = 0.99765 * p0 + w * 0.0990460;
    p1 = 0.96300 * p1 + w * 0.2965164;
    p2 = 0.57000 * p2 + w * 1.0526913;
    const double pink = (p0 + p1 + p2 + w * 0.1848) * 0.25;
    const double mix = 0.4 * std::sin(2 * std::numbers::pi * 257.0 * t) +
                       0.2 * std::sin(2 * std::numbers::pi * 1189.0 * t) + 0.08 * pink;
    const double tremolo = 1.0 - 0.6 * 0.5 * (1.0 + std::sin(2 * std::numbers::pi * 2.0 * t));
    s[n] = static_cast<int16_t>(std::lround(std::clamp(mix / 3.0 * tremolo, -1.0, 1.0) * 32767));
  }
  return s;
}

std::vector<int16_t> readRaw(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<int16_t> s;
  unsigned char pair[2];
  while (s.size() < kThirtySeconds && in.read(reinterpret_cast<char*>(pair), 2)) {
    s.push_back(static_cast<int16_t>(static_cast<uint16_t>(pair[0] | (pair[1] << 8))));
  }
  return s;
}

const std::vector<int16_t>& thirtySeconds() {
  static const std::vector<int16_t> samples = [] {
    const char* path = std::getenv("BEXTRACT_BENCH_INPUT");
    if (path == nullptr || *path == '\0') return songLike();
    std::vector<int16_t> s = readRaw(path);
    if (s.empty()) {
      std::fprintf(stderr, "bench_bextract: cannot read samples from %s\n", path);
      std::exit(2);
    }
    return s;
  }();
  return samples;
}

void BM_BextractRaw(benchmark::State& state) {
  const std::vector<int16_t>& samples = thirtySeconds();
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
  const std::vector<int16_t>& samples = thirtySeconds();
  bextract::TimbreAnalyzer timbre;
  double out[bextract::kTimbreOutputs];
  for (auto _ : state) {
    timbre.analyse(samples.data(), samples.size(), out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_Timbre)->Unit(benchmark::kMillisecond);

void BM_BeatHistogram(benchmark::State& state) {
  const std::vector<int16_t>& samples = thirtySeconds();
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
