// Synthetic 22,050 Hz mono int16 test signals, generated in the tests themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bextract_test {

inline constexpr std::size_t kThirtySeconds = 661500;
inline constexpr double kRate = 22050.0;

std::vector<int16_t> sine(double frequency, double amplitude, std::size_t count = kThirtySeconds);
// Deterministic white noise in [-amplitude, amplitude] (full scale 1.0).
std::vector<int16_t> noise(double amplitude, std::size_t count = kThirtySeconds,
                           unsigned seed = 12345);
// 10 ms exponentially decaying 1 kHz bursts at `bpm`, first at sample 0, over faint noise.
std::vector<int16_t> clicks(double bpm, std::size_t count = kThirtySeconds);
std::vector<int16_t> silence(std::size_t count = kThirtySeconds);

}  // namespace bextract_test
