#include "timbre.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace bextract {

void TextureMemory::clear() {
  slots_ = {};
  position_ = 0;
}

void TextureMemory::push(const FrameVector& frame) {
  slots_[position_] = frame;
  position_ = (position_ + 1) % kTextureMemory;
}

// Called once per frame over all 40 slots. Two columns per vector and eight columns per
// pass, in named accumulators so they stay in registers at -O2; each column still adds its
// slots in order, so the result is the plain loop's to the bit.
void TextureMemory::statistics(double* out32) const {
  using Double2 = double __attribute__((vector_size(16)));
  auto load2 = [](const double* p) {
    Double2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  static_assert(kFrameValues == 16);
  for (int first = 0; first < kFrameValues; first += 8) {
    Double2 s0 = {}, s1 = {}, s2 = {}, s3 = {};
    Double2 q0 = {}, q1 = {}, q2 = {}, q3 = {};
    for (const FrameVector& slot : slots_) {
      const double* p = slot.data() + first;
      const Double2 v0 = load2(p), v1 = load2(p + 2), v2 = load2(p + 4), v3 = load2(p + 6);
      s0 += v0;
      s1 += v1;
      s2 += v2;
      s3 += v3;
      q0 += v0 * v0;
      q1 += v1 * v1;
      q2 += v2 * v2;
      q3 += v3 * v3;
    }
    const double sums[8] = {s0[0], s0[1], s1[0], s1[1], s2[0], s2[1], s3[0], s3[1]};
    const double squares[8] = {q0[0], q0[1], q1[0], q1[1], q2[0], q2[1], q3[0], q3[1]};
    for (int i = 0; i < 8; ++i) {
      const double mean = sums[i] / kTextureMemory;
      const double meanSquare = squares[i] / kTextureMemory;
      out32[first + i] = mean;
      out32[kFrameValues + first + i] = std::sqrt(std::max(meanSquare - mean * mean, 0.0));
    }
  }
}

TimbreAnalyzer::TimbreAnalyzer()
    : fft_(kFrameLength, kTimbreFrames),
      filters_(makeMelFilterbank()),
      dct_(makeMfccDct()),
      frames_(kTimbreFrames) {
  for (int n = 0; n < kFrameLength; ++n) {
    window_[n] = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * n / (kFrameLength - 1));
  }
}

void TimbreAnalyzer::analyse(const int16_t* samples, std::size_t count, double* out64) {
  windowFrames(samples, count);
  fft_.execute();
  frameVectors();
  accumulate(out64);
}

// Scales to x = 0.5 * s / 32767 (the mono mix-down halves the signal), applies the window
// and zero-fills past the end of the input.
void TimbreAnalyzer::windowFrames(const int16_t* samples, std::size_t count) {
  // Scaled and windowed in double and rounded once: the quietest bins of a clean tone sit
  // near the float rounding floor, and every extra rounding raises that floor.
  constexpr double kScale = 0.5 / 32767.0;
  float* input = fft_.input();
  const std::size_t total = static_cast<std::size_t>(kTimbreFrames) * kFrameLength;
  const std::size_t available = std::min(count, total);
  const std::size_t whole = available / kFrameLength * kFrameLength;
  for (std::size_t start = 0; start < whole; start += kFrameLength) {
    for (int n = 0; n < kFrameLength; ++n) {
      input[start + n] = static_cast<float>(samples[start + n] * kScale * window_[n]);
    }
  }
  for (std::size_t i = whole; i < available; ++i) {
    input[i] = static_cast<float>(samples[i] * kScale * window_[i - whole]);
  }
  std::fill(input + available, input + total, 0.0f);
}

// Per-frame values; frame 0's flux is taken against the last frame (the warm start).
void TimbreAnalyzer::frameVectors() {
  constexpr double kNorm = 1.0 / (double(kFrameLength) * kFrameLength);
  const float* spectra = fft_.output();
  Spectrum power;
  Spectrum logPower;
  Spectrum previousLog;
  Spectrum firstLog;
  for (int f = 0; f < kTimbreFrames; ++f) {
    const float* bins = spectra + static_cast<std::size_t>(f) * (kFrameLength + 2);
    for (int k = 0; k < kSpectrumBins; ++k) {
      const double re = bins[2 * k];
      const double im = bins[2 * k + 1];
      power[k] = (re * re + im * im) * kNorm;
    }
    FrameVector& frame = frames_[f];
    frame[0] = spectralCentroid(power);
    frame[1] = spectralRolloff(power);
    logSpectrum(power, logPower);
    if (f == 0) {
      firstLog = logPower;
    } else {
      frame[2] = spectralFlux(logPower, previousLog);
    }
    computeMfcc(power, filters_, dct_, frame.data() + 3);
    previousLog = logPower;
  }
  frames_[0][2] = spectralFlux(firstLog, previousLog);
}

void TimbreAnalyzer::accumulate(double* out64) {
  // The first pass leaves its last 40 frame vectors in the ring, next write at 1298 mod 40.
  memory_.clear();
  for (int f = kTimbreFrames - kTextureMemory; f < kTimbreFrames; ++f) {
    memory_.setPosition(f);
    memory_.push(frames_[f]);
  }
  memory_.setPosition(kTimbreFrames);

  constexpr int kTexture = 2 * kFrameValues;
  std::array<double, kTexture> sum{};
  std::array<double, kTexture> sumSquares{};
  std::array<double, kTexture> texture{};
  for (int f = 0; f < kTimbreFrames; ++f) {
    memory_.push(frames_[f]);
    memory_.statistics(texture.data());
    for (int v = 0; v < kTexture; ++v) {
      sum[v] += texture[v];
      sumSquares[v] += texture[v] * texture[v];
    }
  }
  for (int v = 0; v < kTexture; ++v) {
    const double mean = sum[v] / kTimbreFrames;
    const double meanSquare = sumSquares[v] / kTimbreFrames;
    out64[v] = mean;
    out64[kTexture + v] = std::sqrt(std::max(meanSquare - mean * mean, 0.0));
  }
}

}  // namespace bextract
