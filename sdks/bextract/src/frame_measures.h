// Per-frame spectral descriptors over a 257-bin power spectrum of a 512-sample frame.
//
// All functions are pure, never throw, and work in double precision. The definitions are
// those the classic genre-classification timbre features use (see features.md).
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace bextract {

inline constexpr int kFrameLength = 512;
inline constexpr int kSpectrumBins = kFrameLength / 2 + 1;  // 257: DC to Nyquist
inline constexpr int kMelFilters = 40;
inline constexpr int kMfccCount = 13;
inline constexpr double kSampleRate = 22050.0;

using Spectrum = std::array<double, kSpectrumBins>;

// Centroid of the power spectrum in units of the bin count: (sum k P / sum P) / 257, or 0.5
// for an all-zero spectrum.
double spectralCentroid(const Spectrum& power);

// 90 % rolloff: the largest k in [2, 256] whose cumulative power stays below 0.9 of the
// total, divided by 257; 1.0 when no k qualifies (an all-zero spectrum included).
double spectralRolloff(const Spectrum& power);

// Fills logPower[k] = ln(power[k] + DBL_MIN).
void logSpectrum(const Spectrum& power, Spectrum& logPower);

// Flux between two log spectra: the squared differences over bins 1..256, summed and divided
// by (their maximum * 257); 0 when all differences are 0.
double spectralFlux(const Spectrum& logPower, const Spectrum& previousLogPower);

// One triangular filter: weights[i] applies to bin firstBin + i.
struct MelFilter {
  int firstBin = 0;
  int lastBin = -1;  // inclusive; lastBin < firstBin means the filter covers no bin
  double height = 0.0;
  std::vector<double> weights;
};

// The 40 filters: edges 133.33 Hz + 66.67 Hz steps (13 edges), then 29 log-spaced edges of
// ratio 1.0711703; filter c spans edges c..c+2 with peak height 2 / (upper - lower).
std::array<MelFilter, kMelFilters> makeMelFilterbank();

// The 13 x 40 DCT (scale 1/sqrt(20)) with column 0 (the first filter, not the usual row 0)
// scaled by sqrt(2)/2: the feature values the community exchanges depend on this matrix.
using DctMatrix = std::array<std::array<double, kMelFilters>, kMfccCount>;
DctMatrix makeMfccDct();

// MFCC_0..12 of a power spectrum: log10 filter energies (0 for an energy of exactly 0)
// through the DCT.
void computeMfcc(const Spectrum& power, const std::array<MelFilter, kMelFilters>& filters,
                 const DctMatrix& dct, double* mfccOut);

}  // namespace bextract
