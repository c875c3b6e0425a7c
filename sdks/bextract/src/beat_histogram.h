// The wavelet beat histogram and its eight summary values (positions 64-71).
//
// Every 8192 samples a 131,072-sample window (zeros outside the input) is decimated by 8
// (phase 0) to 16,384 samples, split by a Daubechies-4 pyramid into four bands, each band
// rectified, low-passed and normalised; the summed envelope's autocorrelation contributes its
// three strongest peaks (in BPM bins) to the histogram H[0..249].
//
// The windows overlap by 15/16, and their pyramids up to the finest level the bands use
// are shifted copies of one pyramid of the whole decimated input, except for the last two
// coefficients of each level, which wrap around the window. BeatAnalyzer therefore
// transforms the whole input once and patches those two coefficients per window: the same
// arithmetic, without the fifteen-fold repeated forward transform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bextract {

inline constexpr int kHistogramBins = 250;
inline constexpr int kBeatOutputs = 8;

using BeatHistogram = std::array<double, kHistogramBins>;

// The eight values from a histogram: BH_LowPeakAmp, BH_LowPeakBPM, BH_HighPeakAmp,
// BH_HighPeakBPM, BH_HighLowRatio, BHSUM1, BHSUM2, BHSUM3. Pure; never throws.
std::array<double, kBeatOutputs> beatFeatures(const BeatHistogram& histogram);

// Adds the up to three strongest autocorrelation peaks of one window to `histogram`.
// `r` holds the autocorrelation at lags 0..102 at least. Pure apart from the histogram.
void addAutocorrelationPeaks(const double* r, BeatHistogram& histogram);

// Computes the histogram of a whole input. Holds the work arrays between songs; they are
// sized for 30 s at construction and grow for longer inputs (std::bad_alloc may then be
// thrown). Otherwise never throws. Not thread safe.
class BeatAnalyzer {
 public:
  BeatAnalyzer();

  void histogram(const int16_t* samples, std::size_t count, BeatHistogram& out);

 private:
  static constexpr int kLevels = 6;  // the pyramid steps n = 16384 .. 512

  void prepare(std::size_t windows);
  void transformInput(const int16_t* samples, std::size_t count, std::size_t windows);
  void patchWindowEnds(std::size_t window);
  void reconstructRectifiedBand(int band, std::size_t window, float* out);
  bool envelope(double* e);

  // smooth_[0] is the decimated input with leading zeros; smooth_[l], detail_[l] are the
  // level-l coefficients of the whole input (l = 1..6; smooth_[6] is not needed).
  std::array<std::vector<float>, kLevels + 1> smooth_;
  std::array<std::vector<float>, kLevels + 1> detail_;
  // Per window: the last two smooth / detail coefficients of each level as the periodic
  // window transform computes them.
  std::array<std::array<float, 2>, kLevels + 1> smoothEnds_{};
  std::array<std::array<float, 2>, kLevels + 1> detailEnds_{};
  std::vector<float> scratchA_;
  std::vector<float> scratchB_;
  std::vector<float> bandDetail_;
  // The four rectified band signals, each after kBandLead zeros (the low-pass reads x[t-3] at t =
  // 0).
  static constexpr std::size_t kBandLead = 4;
  static constexpr std::size_t kBandStride = kBandLead + 16384;
  float* bandSignal(int band) { return bands_.data() + band * kBandStride + kBandLead; }

  std::vector<float> bands_;      // 4 x (kBandLead zeros, 16384 band samples)
  std::vector<float> envelopes_;  // 4 x 16384 low-passed envelopes
};

}  // namespace bextract
