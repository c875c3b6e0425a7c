#include "test_signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bextract_test {
namespace {

int16_t toSample(double x) {
  return static_cast<int16_t>(std::lround(std::clamp(x, -1.0, 1.0) * 32767.0));
}

// A small LCG so the signals are the same on every platform and standard library.
double uniform(unsigned& state) {
  state = state * 1664525u + 1013904223u;
  return (state >> 8) / double(1u << 24) * 2.0 - 1.0;
}

}  // namespace

std::vector<int16_t> sine(double frequency, double amplitude, std::size_t count) {
  std::vector<int16_t> s(count);
  for (std::size_t n = 0; n < count; ++n) {
    s[n] = toSample(amplitude * std::sin(2.0 * std::numbers::pi * frequency * n / kRate));
  }
  return s;
}

std::vector<int16_t> noise(double amplitude, std::size_t count, unsigned seed) {
  std::vector<int16_t> s(count);
  for (auto& v : s) v = toSample(amplitude * uniform(seed));
  return s;
}

std::vector<int16_t> clicks(double bpm, std::size_t count) {
  std::vector<double> x(count);
  unsigned seed = 777;
  for (auto& v : x) v = 0.001 * uniform(seed);
  const double period = 60.0 * kRate / bpm;
  const std::size_t burst = static_cast<std::size_t>(0.010 * kRate);
  for (double start = 0.0; start < count; start += period) {
    const std::size_t first = static_cast<std::size_t>(std::lround(start));
    for (std::size_t i = 0; i < burst && first + i < count; ++i) {
      const double t = i / kRate;
      x[first + i] += 0.8 * std::exp(-t / 0.003) * std::sin(2.0 * std::numbers::pi * 1000.0 * t);
    }
  }
  std::vector<int16_t> s(count);
  for (std::size_t n = 0; n < count; ++n) s[n] = toSample(x[n]);
  return s;
}

std::vector<int16_t> silence(std::size_t count) {
  return std::vector<int16_t>(count, 0);
}

}  // namespace bextract_test
