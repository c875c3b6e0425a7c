#include "frame_measures.h"

#include <cfloat>
#include <cmath>
#include <numbers>

namespace bextract {

double spectralCentroid(const Spectrum& power) {
  double weighted = 0.0;
  double total = 0.0;
  for (int k = 0; k < kSpectrumBins; ++k) {
    weighted += k * power[k];
    total += power[k];
  }
  if (total == 0.0) return 0.5;
  return weighted / total / kSpectrumBins;
}

double spectralRolloff(const Spectrum& power) {
  Spectrum cumulative;
  double running = 0.0;
  for (int k = 0; k < kSpectrumBins; ++k) {
    running += power[k];
    cumulative[k] = running;
  }
  const double threshold = 0.9 * running;
  for (int k = kSpectrumBins - 1; k >= 2; --k) {
    if (cumulative[k] < threshold) return static_cast<double>(k) / kSpectrumBins;
  }
  return 1.0;
}

void logSpectrum(const Spectrum& power, Spectrum& logPower) {
  for (int k = 0; k < kSpectrumBins; ++k) logPower[k] = std::log(power[k] + DBL_MIN);
}

double spectralFlux(const Spectrum& logPower, const Spectrum& previousLogPower) {
  double sum = 0.0;
  double largest = 0.0;
  for (int k = 1; k < kSpectrumBins; ++k) {
    const double diff = logPower[k] - previousLogPower[k];
    const double d = diff * diff;
    sum += d;
    if (d > largest) largest = d;
  }
  if (largest == 0.0) return 0.0;
  return sum / (largest * kSpectrumBins);
}

std::array<MelFilter, kMelFilters> makeMelFilterbank() {
  std::array<double, kMelFilters + 2> edges{};
  for (int i = 0; i <= 12; ++i) edges[i] = 133.3333 + 66.66666 * i;
  for (int i = 1; i <= 29; ++i) edges[12 + i] = edges[12] * std::pow(1.0711703, i);

  std::array<MelFilter, kMelFilters> filters;
  for (int c = 0; c < kMelFilters; ++c) {
    const double lower = edges[c];
    const double centre = edges[c + 1];
    const double upper = edges[c + 2];
    MelFilter& filter = filters[c];
    filter.height = 2.0 / (upper - lower);
    for (int k = 0; k < kSpectrumBins; ++k) {
      const double fk = k * kSampleRate / kFrameLength;
      double weight = 0.0;
      if (fk > lower && fk <= centre) {
        weight = filter.height * (fk - lower) / (centre - lower);
      } else if (fk > centre && fk <= upper) {
        weight = filter.height * (upper - fk) / (upper - centre);
      } else {
        continue;
      }
      if (filter.weights.empty()) filter.firstBin = k;
      filter.lastBin = k;
      filter.weights.push_back(weight);
    }
  }
  return filters;
}

DctMatrix makeMfccDct() {
  DctMatrix dct{};
  const double scale = 1.0 / std::sqrt(20.0);
  for (int j = 0; j < kMfccCount; ++j) {
    for (int c = 0; c < kMelFilters; ++c) {
      dct[j][c] = scale * std::cos(j * (2.0 * c + 1.0) * std::numbers::pi / 80.0);
    }
    dct[j][0] *= std::numbers::sqrt2 / 2.0;
  }
  return dct;
}

void computeMfcc(const Spectrum& power, const std::array<MelFilter, kMelFilters>& filters,
                 const DctMatrix& dct, double* mfccOut) {
  std::array<double, kMelFilters> logEnergy{};
  for (int c = 0; c < kMelFilters; ++c) {
    const MelFilter& filter = filters[c];
    double energy = 0.0;
    for (std::size_t i = 0; i < filter.weights.size(); ++i) {
      energy += filter.weights[i] * power[filter.firstBin + i];
    }
    logEnergy[c] = energy == 0.0 ? 0.0 : std::log10(energy);
  }
  for (int j = 0; j < kMfccCount; ++j) {
    double sum = 0.0;
    for (int c = 0; c < kMelFilters; ++c) sum += dct[j][c] * logEnergy[c];
    mfccOut[j] = sum;
  }
}

}  // namespace bextract
