// The pieces behind the feature library: filterbank and DCT against hand-computed values,
// the per-frame descriptors, the wavelet steps, and the beat histogram both against a
// straightforward per-window transform and through hand-made histograms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "beat_histogram.h"
#include "frame_measures.h"
#include "test_signals.h"
#include "timbre.h"
#include "wavelet.h"

namespace {

using namespace bextract;

// Hand-computed from the edge formula: f[c] = 133.3333 + 66.66666 c up to c = 12, then
// f[12] * 1.0711703^(c - 12); bins at k * 22050 / 512 Hz.
struct FilterCase {
  int filter;
  int firstBin;
  int lastBin;
  double height;
};

TEST(MelFilterbank, FiltersCoverTheHandComputedBins) {
  const auto filters = makeMelFilterbank();
  const FilterCase cases[] = {
      {0, 4, 6, 0.015},           // 133.33 .. 266.67 Hz
      {1, 5, 7, 0.015},           // 200 .. 333.33 Hz
      {11, 21, 23, 0.0150272},    // 866.67 .. 999.76 Hz: upper edge the first log-spaced one
      {12, 22, 24, 0.0145371},    // 933.33 .. 1070.91 Hz
      {39, 139, 159, 0.0022714},  // 5973.33 .. 6853.84 Hz
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.filter);
    const MelFilter& f = filters[c.filter];
    EXPECT_EQ(f.firstBin, c.firstBin);
    EXPECT_EQ(f.lastBin, c.lastBin);
    EXPECT_EQ(f.weights.size(), static_cast<std::size_t>(c.lastBin - c.firstBin + 1));
    EXPECT_NEAR(f.height, c.height, 1e-6);
    EXPECT_LE(*std::max_element(f.weights.begin(), f.weights.end()), f.height + 1e-12);
  }
  // Filter 0: bin 4 (172.27 Hz) rises, bin 5 (215.33 Hz) and 6 (258.40 Hz) fall.
  EXPECT_NEAR(filters[0].weights[0], 0.015 * (172.265625 - 133.3333) / 66.66667, 1e-6);
  EXPECT_NEAR(filters[0].weights[1], 0.015 * (266.66663 - 215.33203) / 66.66663, 1e-6);
  EXPECT_NEAR(filters[0].weights[2], 0.015 * (266.66663 - 258.39844) / 66.66663, 1e-6);
}

TEST(MfccDct, FirstRowAndFirstColumnQuirk) {
  const DctMatrix dct = makeMfccDct();
  EXPECT_NEAR(std::accumulate(dct[0].begin(), dct[0].end(), 0.0), 8.879, 5e-4);
  EXPECT_NEAR(dct[0][1], 1.0 / std::sqrt(20.0), 1e-12);
  EXPECT_NEAR(dct[0][0], std::sqrt(2.0) / 2.0 / std::sqrt(20.0), 1e-12);
  EXPECT_NEAR(dct[1][0], std::sqrt(2.0) / 2.0 / std::sqrt(20.0) * std::cos(M_PI / 80.0), 1e-12);
  EXPECT_NEAR(dct[2][3], std::cos(14.0 * M_PI / 80.0) / std::sqrt(20.0), 1e-12);
}

TEST(Mfcc, LogEnergiesThroughTheDct) {
  const auto filters = makeMelFilterbank();
  const DctMatrix dct = makeMfccDct();
  double mfcc[kMfccCount];
  Spectrum silent{};
  computeMfcc(silent, filters, dct, mfcc);
  for (double v : mfcc) EXPECT_EQ(v, 0.0);  // empty filters count as log 0

  // Power only in bin 5 (215.3 Hz) reaches filter 0 (falling edge) and filter 1 (rising).
  Spectrum single{};
  single[5] = 0.5;
  computeMfcc(single, filters, dct, mfcc);
  const double l0 = std::log10(0.5 * filters[0].weights[5 - filters[0].firstBin]);
  const double l1 = std::log10(0.5 * filters[1].weights[5 - filters[1].firstBin]);
  for (int j = 0; j < kMfccCount; ++j) {
    EXPECT_NEAR(mfcc[j], dct[j][0] * l0 + dct[j][1] * l1, 1e-12) << j;
  }
}

TEST(SpectralDescriptors, SingleBinAndEdgeCases) {
  Spectrum power{};
  power[10] = 2.0;
  EXPECT_DOUBLE_EQ(spectralCentroid(power), 10.0 / 257.0);
  EXPECT_DOUBLE_EQ(spectralRolloff(power), 9.0 / 257.0);  // C(9) = 0 < 0.9 T <= C(10)
  power[20] = 2.0;
  EXPECT_DOUBLE_EQ(spectralCentroid(power), 15.0 / 257.0);
  EXPECT_DOUBLE_EQ(spectralRolloff(power), 19.0 / 257.0);

  Spectrum zero{};
  EXPECT_EQ(spectralCentroid(zero), 0.5);
  EXPECT_EQ(spectralRolloff(zero), 1.0);
  Spectrum low{};
  low[1] = 1.0;  // all power below bin 2: no k in [2, 256] stays under 90 %
  EXPECT_EQ(spectralRolloff(low), 1.0);
}

TEST(SpectralDescriptors, FluxIsNormalisedSquaredLogDifference) {
  Spectrum a{};
  Spectrum b{};
  a.fill(1.0);
  b.fill(1.0);
  b[0] = 100.0;  // DC is skipped
  b[5] = std::exp(2.0);
  b[6] = std::exp(1.0);
  Spectrum la;
  Spectrum lb;
  logSpectrum(a, la);
  logSpectrum(b, lb);
  EXPECT_NEAR(spectralFlux(lb, la), (4.0 + 1.0) / (4.0 * 257.0), 1e-12);
  EXPECT_EQ(spectralFlux(la, la), 0.0);
  Spectrum silent{};
  Spectrum ls;
  logSpectrum(silent, ls);
  EXPECT_NEAR(ls[3], std::log(2.2250738585072014e-308), 1e-9);
}

TEST(TextureMemory, MeanAndPopulationStdOverAllFortySlots) {
  TextureMemory memory;
  FrameVector frame{};
  frame[0] = 4.0;
  memory.push(frame);  // one filled slot, 39 zeros
  double stats[32];
  memory.statistics(stats);
  EXPECT_DOUBLE_EQ(stats[0], 0.1);
  EXPECT_NEAR(stats[16], std::sqrt(16.0 / 40.0 - 0.01), 1e-12);
  EXPECT_EQ(stats[1], 0.0);
  EXPECT_EQ(stats[17], 0.0);
  for (int i = 0; i < 40; ++i) memory.push(frame);  // ring full of the same value
  memory.statistics(stats);
  EXPECT_DOUBLE_EQ(stats[0], 4.0);
  EXPECT_EQ(stats[16], 0.0);
}

TEST(Wavelet, PyramidReconstructsExactlyAndStepsAreTransposes) {
  const std::size_t n = 1024;
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = std::sin(0.37 * i) + 0.25f * ((i * 7919) % 13);
  std::vector<float> data = x;
  std::vector<float> scratch(n);
  daub4Forward(data.data(), n, scratch.data());
  // Orthogonal: energy kept.
  double before = 0.0, after = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    before += double(x[i]) * x[i];
    after += double(data[i]) * data[i];
  }
  EXPECT_NEAR(after / before, 1.0, 1e-5);
  daub4Inverse(data.data(), n, scratch.data());
  for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(data[i], x[i], 1e-4) << i;

  // A constant has no detail at the finest level (the detail filter kills constants).
  std::vector<float> flat(16, 1.0f);
  std::vector<float> smooth(8), detail(8);
  daub4ForwardStep(flat.data(), 16, smooth.data(), detail.data());
  for (float d : detail) EXPECT_NEAR(d, 0.0f, 1e-6);
  for (float s : smooth) EXPECT_NEAR(s, std::sqrt(2.0f), 1e-6);
  // The upsampling step is the inverse step with zero detail.
  std::vector<float> zeros(8, 0.0f), viaInverse(16), viaUpsample(16);
  for (std::size_t i = 0; i < 8; ++i) smooth[i] = float(i * i) - 3.0f;
  daub4InverseStep(smooth.data(), zeros.data(), 8, viaInverse.data());
  daub4UpsampleStep(smooth.data(), 8, viaUpsample.data());
  for (std::size_t i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(viaUpsample[i], viaInverse[i]);
}

// The steps run four outputs at a time with a scalar remainder; every length, whole blocks
// or not, must give the textbook formula at every position (the wrap-around included).
TEST(Wavelet, StepsMatchTheFormulaAtEveryLength) {
  auto value = [](std::size_t i, double phase) {  // both signs, so rectifying shows
    return static_cast<float>(std::sin(0.7 * i + phase) + 0.01 * i);
  };
  for (const std::size_t half : {2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 13u, 64u, 67u}) {
    SCOPED_TRACE(half);
    std::vector<float> s(half), w(half);
    for (std::size_t i = 0; i < half; ++i) {
      s[i] = value(i, 0.0);
      w[i] = value(i, 1.3);
    }
    std::vector<float> inverse(2 * half), upsampled(2 * half), rectified(2 * half);
    daub4InverseStep(s.data(), w.data(), half, inverse.data());
    daub4UpsampleStep(s.data(), half, upsampled.data());
    daub4UpsampleStepRectified(s.data(), half, rectified.data());
    for (std::size_t i = 0; i < 2 * half; ++i) EXPECT_EQ(rectified[i], std::fabs(upsampled[i]));
    for (std::size_t i = 0; i < half; ++i) {
      const std::size_t p = (i + half - 1) % half;  // the pair before, periodically
      EXPECT_FLOAT_EQ(inverse[2 * i],
                      kDaub4C2 * s[p] + kDaub4C1 * w[p] + kDaub4C0 * s[i] + kDaub4C3 * w[i]);
      EXPECT_FLOAT_EQ(inverse[2 * i + 1],
                      kDaub4C3 * s[p] - kDaub4C0 * w[p] + kDaub4C1 * s[i] - kDaub4C2 * w[i]);
      EXPECT_FLOAT_EQ(upsampled[2 * i], kDaub4C2 * s[p] + kDaub4C0 * s[i]);
      EXPECT_FLOAT_EQ(upsampled[2 * i + 1], kDaub4C3 * s[p] + kDaub4C1 * s[i]);
    }

    // Forward halves over count = half outputs read 2 * half + 2 inputs.
    std::vector<float> in(2 * half + 2);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = value(i, 2.1);
    std::vector<float> smooth(half + 1, -7.0f), detail(half + 1, -7.0f);
    daub4SmoothLinear(in.data(), half, smooth.data());
    daub4DetailLinear(in.data(), half, detail.data());
    for (std::size_t i = 0; i < half; ++i) {
      const float* a = in.data() + 2 * i;
      EXPECT_FLOAT_EQ(smooth[i], daub4SmoothAt(a[0], a[1], a[2], a[3]));
      EXPECT_FLOAT_EQ(detail[i], daub4DetailAt(a[0], a[1], a[2], a[3]));
    }
    EXPECT_EQ(smooth[half], -7.0f);  // nothing written past count
    EXPECT_EQ(detail[half], -7.0f);
  }
}

// A straightforward beat histogram: every window decimated, transformed, masked and
// inverted on its own, as the definition reads. BeatAnalyzer shares the forward pyramid
// between overlapping windows and must give the same histogram.
BeatHistogram straightforwardHistogram(const std::vector<int16_t>& s) {
  constexpr std::size_t kWin = 131072, kHop = 8192, kN = 16384;
  BeatHistogram h{};
  const std::size_t windows = (s.size() + kHop - 1) / kHop;
  std::vector<float> coeffs(kN), band(kN), scratch(kN);
  for (std::size_t k = 1; k <= windows; ++k) {
    const long start = long(kHop * k) - long(kWin);
    std::vector<float> x(kN);
    for (std::size_t i = 0; i < kN; ++i) {
      const long n = start + long(8 * i);
      x[i] = (n >= 0 && n < long(s.size())) ? s[n] / 32767.0f : 0.0f;
    }
    coeffs = x;
    daub4Forward(coeffs.data(), kN, scratch.data());
    std::vector<double> e(512, 0.0);
    bool usable = true;
    for (int b = 0; b < 4 && usable; ++b) {
      const std::size_t lo = 5u << (6 + b), hi = 5u << (7 + b);
      for (std::size_t i = 0; i < kN; ++i) band[i] = (i >= lo && i < hi) ? coeffs[i] : 0.0f;
      daub4Inverse(band.data(), kN, scratch.data());
      std::vector<double> y(kN);
      double sum = 0.0, sumSq = 0.0;
      for (std::size_t t = 0; t < kN; ++t) {
        y[t] = t == 0 ? 0.0 : 0.01 * std::fabs(band[t]) + 0.99 * y[t - 1];
        sum += y[t];
        sumSq += y[t] * y[t];
      }
      const double mean = sum / kN;
      const double var = sumSq / kN - mean * mean;
      if (var <= 0.0) usable = false;
      for (std::size_t i = 0; i < 512 && usable; ++i) {
        e[i] += 0.05 * (y[32 * i] - mean) / std::sqrt(var);
      }
    }
    if (!usable) continue;
    std::vector<double> r(103);
    for (int t = 0; t <= 102; ++t) {
      for (int n = 0; n < 512; ++n) r[t] += e[n] * e[(n + t) % 512];
      r[t] /= 512.0;
    }
    addAutocorrelationPeaks(r.data(), h);
  }
  return h;
}

TEST(BeatAnalyzer, SharedPyramidMatchesPerWindowTransform) {
  using bextract_test::clicks;
  const std::vector<std::vector<int16_t>> inputs = {clicks(120.0, 200000), clicks(97.0, 150001),
                                                    clicks(150.0, 70000)};
  BeatAnalyzer analyzer;
  for (const auto& s : inputs) {
    SCOPED_TRACE(s.size());
    BeatHistogram fast;
    analyzer.histogram(s.data(), s.size(), fast);
    const BeatHistogram slow = straightforwardHistogram(s);
    double total = 0.0;
    for (int b = 0; b < kHistogramBins; ++b) {
      EXPECT_NEAR(fast[b], slow[b], 1e-4 + 1e-3 * std::fabs(slow[b])) << "bin " << b;
      total += fast[b];
    }
    EXPECT_GT(total, 0.0);
  }
}

TEST(BeatPeaks, ScanRulesOnAHandMadeAutocorrelation) {
  std::vector<double> r(103, 0.01);
  // Three peaks and one weaker: lag 43 (0.9), lag 86 (0.5), lag 60 (0.7) rising to 62 (0.75),
  // lag 30 (0.2).
  r[43] = 0.9;
  r[86] = 0.5;
  r[60] = 0.7;
  r[61] = 0.6;
  r[62] = 0.75;
  r[30] = 0.2;
  BeatHistogram h{};
  addAutocorrelationPeaks(r.data(), h);
  EXPECT_DOUBLE_EQ(h[120], 0.9);  // 5167.97 / 43 = 120.2
  EXPECT_DOUBLE_EQ(h[83], 0.75);  // the recorded position moves to lag 62: 83.4
  EXPECT_DOUBLE_EQ(h[60], 0.5);   // 5167.97 / 86 = 60.09
  EXPECT_DOUBLE_EQ(h[172], 0.0);  // lag 30 is the fourth peak: dropped
  EXPECT_DOUBLE_EQ(std::accumulate(h.begin(), h.end(), 0.0), 2.15);

  // Nothing counts below half the rms of the lags or at a negative value.
  std::vector<double> flat(103, -0.2);
  flat[50] = -0.1;
  BeatHistogram none{};
  addAutocorrelationPeaks(flat.data(), none);
  EXPECT_EQ(std::accumulate(none.begin(), none.end(), 0.0), 0.0);
}

TEST(BeatFeatures, WinnerAndSums) {
  BeatHistogram h{};
  h[60] = 1.0;
  h[120] = 0.5;
  h[121] = 0.25;
  h[180] = 0.1;
  const auto f = beatFeatures(h);
  // Candidates: 60 then nothing else in 41..119. f=2: 1.5 * 1 + 1.0 * (0.5 + 0.25) = 2.25;
  // f=3: m = 180 > 150, K = 6: 1.5 + 0.1 = 1.6. Winner (60, 2).
  EXPECT_DOUBLE_EQ(f[0], 1.0);
  EXPECT_DOUBLE_EQ(f[1], 61.0);
  EXPECT_DOUBLE_EQ(f[2], 0.75);
  EXPECT_DOUBLE_EQ(f[3], 122.0);
  EXPECT_DOUBLE_EQ(f[4], 2.0);
  EXPECT_DOUBLE_EQ(f[5], 1.0);
  EXPECT_DOUBLE_EQ(f[6], 0.75);
  EXPECT_DOUBLE_EQ(f[7], 1.85);
}

TEST(BeatFeatures, FactorThreeAndAlphaOutsideTheMiddleRange) {
  BeatHistogram h{};
  h[45] = 1.0;   // alpha 0.75 (b <= 50)
  h[136] = 0.8;  // near 3 * 45 = 135, K = 3
  h[90] = 0.05;  // 2 * 45: gamma 0.75 for m <= 100
  h[110] = 0.3;  // second candidate: 2 * 110 = 220 (K = 6), 3 * 110 >= 250 scores 0
  const auto f = beatFeatures(h);
  // (45, 2): 0.75 + 0.75 * 0.05 = 0.7875; (45, 3): 0.75 + 1.0 * 0.8 = 1.55;
  // (110, 2): 0.225 + 0 = 0.225. Winner (45, 3).
  EXPECT_DOUBLE_EQ(f[1], 46.0);
  EXPECT_DOUBLE_EQ(f[3], 138.0);
  EXPECT_DOUBLE_EQ(f[4], 3.0);
  EXPECT_DOUBLE_EQ(f[2], 0.8);
}

TEST(BeatFeatures, NoCandidateGivesZeroPeaksButKeepsSums) {
  BeatHistogram h{};
  h[150] = 0.4;  // outside 41..119
  h[30] = 1.0;   // below every sum range
  const auto f = beatFeatures(h);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(f[i], 0.0) << i;
  EXPECT_EQ(f[5], 0.0);
  EXPECT_EQ(f[6], 0.0);
  EXPECT_DOUBLE_EQ(f[7], 0.4);
}

}  // namespace
