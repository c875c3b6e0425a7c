// The 64 timbre texture statistics (positions 0-63 of the feature vector).
//
// 1298 frames of 512 samples (hop 512, Hamming window) give 16 per-frame values (Centroid,
// Rolloff, Flux, MFCC_0..12). A ring of the last 40 frame vectors ("Mem40") yields a
// 32-value texture vector per frame (16 means, 16 population stds); the mean and std of the
// texture vectors over all 1298 frames ("Acc1298") are the 64 outputs.
//
// The reported pass is the second of two identical passes through one persistent
// extractor ("warm start"): the ring starts with the first pass's last 40 frame vectors and
// the flux of frame 0 compares with the first pass's last frame. Both passes see the same
// frames, so one pass of frame analysis is enough to reproduce it exactly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fftw_handles.h"
#include "frame_measures.h"

namespace bextract {

inline constexpr int kTimbreFrames = 1298;
inline constexpr int kTextureMemory = 40;
inline constexpr int kFrameValues = 3 + kMfccCount;      // 16
inline constexpr int kTimbreOutputs = 4 * kFrameValues;  // 64

using FrameVector = std::array<double, kFrameValues>;

// Mean and population std over a 40-slot ring, per column, written as 16 means then 16
// stds. Empty slots count (as zeros). Never throws.
class TextureMemory {
 public:
  void clear();
  // Writes `frame` at the current position, then advances it (mod 40).
  void push(const FrameVector& frame);
  void setPosition(int position) { position_ = position % kTextureMemory; }
  void statistics(double* out32) const;

 private:
  std::array<FrameVector, kTextureMemory> slots_{};
  int position_ = 0;
};

// Owns the FFT plan for all 1298 frames and the per-song work arrays; analyse() reuses them.
// Construction throws (std::bad_alloc, std::runtime_error from FFTW); analyse() never throws.
class TimbreAnalyzer {
 public:
  TimbreAnalyzer();

  // Computes the 64 statistics of samples[0..count) (missing samples are silence, samples
  // past 1298 * 512 are ignored) into out64.
  void analyse(const int16_t* samples, std::size_t count, double* out64);

 private:
  void windowFrames(const int16_t* samples, std::size_t count);
  void frameVectors();
  void accumulate(double* out64);

  RealFftBatch fft_;
  std::array<double, kFrameLength> window_{};
  std::array<MelFilter, kMelFilters> filters_;
  DctMatrix dct_{};
  std::vector<FrameVector> frames_;
  TextureMemory memory_;
};

}  // namespace bextract
