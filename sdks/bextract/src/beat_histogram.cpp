#include "beat_histogram.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "simd.h"
#include "wavelet.h"

namespace bextract {
namespace {

constexpr std::size_t kDecimation = 8;  // 22,050 Hz -> 2756.25 Hz
constexpr std::size_t kWindow = 16384;  // decimated window (131,072 input samples)
constexpr std::size_t kHop = 1024;      // decimated hop (8192 input samples)
constexpr std::size_t kInputHop = kHop * kDecimation;
constexpr std::size_t kLead = kWindow - kHop;  // zeros before the first window's end
constexpr std::size_t kPad = 8;                // zeros after each level for the filter taps
constexpr std::size_t kEnvelopeStep = 32;      // 2756.25 Hz -> 86.1328125 Hz
constexpr std::size_t kEnvelope = kWindow / kEnvelopeStep;  // 512
constexpr int kBands = 4;
constexpr int kFirstLag = 26;
constexpr int kLastLag = 101;
constexpr double kBpmPerLag = 5167.96875;  // 60 s * 86.1328125 Hz

constexpr std::size_t levelLength(std::size_t base, int level) {
  return base >> level;
}

}  // namespace

void addAutocorrelationPeaks(const double* r, BeatHistogram& histogram) {
  double energy = 0.0;
  for (int t = kFirstLag; t <= kLastLag; ++t) energy += r[t] * r[t];
  // The divisor 78 for 76 lags is the reference toolkit's own.
  const double rho = std::sqrt(energy / 78.0);

  struct Peak {
    int lag;
    double value;
  };
  std::array<Peak, (kLastLag - kFirstLag) / 4 + 2> peaks{};
  std::size_t found = 0;
  for (int t = kFirstLag; t <= kLastLag;) {
    const bool candidate = r[t] > r[t - 1] && r[t] > r[t + 1] && r[t] > 0.0 && r[t] > 0.5 * rho;
    if (!candidate) {
      ++t;
      continue;
    }
    int best = t;
    for (int p = t + 1; p <= std::min(t + 2, kLastLag); ++p) {
      if (r[p] > r[best]) best = p;
    }
    peaks[found++] = Peak{best, r[best]};
    t += 4;
  }
  // Strongest first; the stable sort keeps the lower lag first on ties.
  std::stable_sort(peaks.begin(), peaks.begin() + found,
                   [](const Peak& a, const Peak& b) { return a.value > b.value; });
  for (std::size_t i = 0; i < std::min<std::size_t>(found, 3); ++i) {
    const int bin = static_cast<int>(std::floor(kBpmPerLag / peaks[i].lag));
    if (bin > 0 && bin < kHistogramBins) histogram[bin] += peaks[i].value;
  }
}

std::array<double, kBeatOutputs> beatFeatures(const BeatHistogram& h) {
  std::array<double, kBeatOutputs> out{};
  auto sumAround = [&h](int centre, int radius) {
    double sum = 0.0;
    for (int k = std::max(centre - radius, 1); k <= std::min(centre + radius, 249); ++k) {
      sum += h[k];
    }
    return sum;
  };

  std::array<bool, kHistogramBins> used{};
  double bestScore = DBL_MIN;
  int bestBin = -1;
  int bestFactor = 0;
  for (int round = 0; round < 3; ++round) {
    int b = -1;
    for (int k = 41; k <= 119; ++k) {
      if (!used[k] && h[k] > 0.0 && (b < 0 || h[k] > h[b])) b = k;
    }
    if (b < 0) break;
    used[b] = true;
    for (int factor = 2; factor <= 3; ++factor) {
      const int m = factor * b;
      double score = 0.0;
      if (m < kHistogramBins) {
        const double alpha = (b > 50 && b < 100) ? 1.5 : 0.75;
        const double gamma = m > 100 ? 1.0 : 0.75;
        score = alpha * h[b] + gamma * sumAround(m, m <= 150 ? 3 : 6);
      }
      if (score > bestScore) {
        bestScore = score;
        bestBin = b;
        bestFactor = factor;
      }
    }
  }
  if (bestBin >= 0) {
    const int lowBpm = bestBin + 1;  // the reference reports the bin above the peak
    const int highBpm = bestFactor * lowBpm;
    out[0] = h[bestBin];
    out[1] = lowBpm;
    out[2] = sumAround(bestFactor * bestBin, 3);
    out[3] = highBpm;
    out[4] = highBpm / lowBpm;
  }
  auto sumRange = [&h](int first, int last) {
    double sum = 0.0;
    for (int k = first; k <= last; ++k) sum += h[k];
    return sum;
  };
  out[5] = sumRange(40, 89);
  out[6] = sumRange(90, 139);
  out[7] = sumRange(40, 249);
  return out;
}

BeatAnalyzer::BeatAnalyzer()
    : scratchA_(kWindow),
      scratchB_(kWindow),
      bandDetail_(kWindow),
      bands_(kBands * kBandStride),
      envelopes_(kBands * kWindow) {
  prepare((661500 + kInputHop - 1) / kInputHop);
}

void BeatAnalyzer::prepare(std::size_t windows) {
  const std::size_t base = kHop * windows + kLead;
  for (int level = 0; level <= kLevels; ++level) {
    const std::size_t length = levelLength(base, level) + kPad;
    if (smooth_[level].size() < length) smooth_[level].resize(length);
    if (detail_[level].size() < length) detail_[level].resize(length);
  }
}

// Decimates the input into smooth_[0] (after kLead zeros) and runs the non-periodic
// pyramid over the whole of it.
void BeatAnalyzer::transformInput(const int16_t* samples, std::size_t count, std::size_t windows) {
  const std::size_t base = kHop * windows + kLead;
  float* input = smooth_[0].data();
  std::fill(input, input + kLead, 0.0f);
  const std::size_t decimated = (count + kDecimation - 1) / kDecimation;
  for (std::size_t m = 0; m < decimated; ++m) {
    input[kLead + m] = static_cast<float>(samples[m * kDecimation]) / 32767.0f;
  }
  std::fill(input + kLead + decimated, input + base + kPad, 0.0f);

  for (int level = 1; level <= kLevels; ++level) {
    const std::size_t length = levelLength(base, level);
    const float* previous = smooth_[level - 1].data();
    if (level < kLevels) {
      daub4SmoothLinear(previous, length, smooth_[level].data());
      std::fill(smooth_[level].begin() + length, smooth_[level].begin() + length + kPad, 0.0f);
    }
    if (level >= 2) daub4DetailLinear(previous, length, detail_[level].data());
  }
}

// The last two coefficients of each level of the periodic window transform.
void BeatAnalyzer::patchWindowEnds(std::size_t window) {
  for (int level = 1; level <= kLevels; ++level) {
    const std::size_t n = kWindow >> (level - 1);
    const float* in = smooth_[level - 1].data() + ((window * kHop) >> (level - 1));
    // The window's own values: the first two and in[n-4], in[n-3] equal the whole-input
    // pyramid; in[n-2], in[n-1] are the previous level's patched ends.
    const float first0 = in[0];
    const float first1 = in[1];
    const float end4 = in[n - 4];
    const float end3 = in[n - 3];
    const float end2 = level > 1 ? smoothEnds_[level - 1][0] : in[n - 2];
    const float end1 = level > 1 ? smoothEnds_[level - 1][1] : in[n - 1];
    smoothEnds_[level] = {daub4SmoothAt(end4, end3, end2, end1),
                          daub4SmoothAt(end2, end1, first0, first1)};
    detailEnds_[level] = {daub4DetailAt(end4, end3, end2, end1),
                          daub4DetailAt(end2, end1, first0, first1)};
  }
}

// Band b keeps the pyramid coefficients [5 * 2^(6+b), 5 * 2^(7+b)): the upper three
// quarters of level 6-b's detail and the first quarter of level 5-b's. Every coarser level is
// zero, so the inverse starts there; every finer level is zero, so it ends in upsampling.
// Writes |band| (all the envelope needs) to out[0..16384).
void BeatAnalyzer::reconstructRectifiedBand(int band, std::size_t window, float* out) {
  const std::size_t lowerHalf = std::size_t{256} << band;
  const int lowerLevel = kLevels - band;
  const float* lowerDetail = detail_[lowerLevel].data() + ((window * kHop) >> lowerLevel);
  const std::size_t lowerStart = std::size_t{64} << band;
  float* detail = bandDetail_.data();
  std::fill(detail, detail + lowerStart, 0.0f);
  std::copy(lowerDetail + lowerStart, lowerDetail + lowerHalf - 2, detail + lowerStart);
  detail[lowerHalf - 2] = detailEnds_[lowerLevel][0];
  detail[lowerHalf - 1] = detailEnds_[lowerLevel][1];
  float* zeros = scratchB_.data();
  std::fill(zeros, zeros + lowerHalf, 0.0f);
  daub4InverseStep(zeros, detail, lowerHalf, scratchA_.data());

  const std::size_t upperHalf = 2 * lowerHalf;
  const int upperLevel = lowerLevel - 1;
  const float* upperDetail = detail_[upperLevel].data() + ((window * kHop) >> upperLevel);
  const std::size_t upperKept = std::size_t{128} << band;
  std::copy(upperDetail, upperDetail + upperKept, detail);
  std::fill(detail + upperKept, detail + upperHalf, 0.0f);

  std::size_t length = 2 * upperHalf;
  const int upsamplings = 4 - band;
  // Ping-pong so that the last upsampling lands in `out`.
  float* current = upsamplings % 2 == 0 ? out : scratchB_.data();
  float* other = upsamplings % 2 == 0 ? scratchB_.data() : out;
  daub4InverseStep(scratchA_.data(), detail, upperHalf, current);
  for (int step = 0; step + 1 < upsamplings; ++step) {
    daub4UpsampleStep(current, length, other);
    std::swap(current, other);
    length *= 2;
  }
  // Only the envelope reads the band, and it reads |band|: rectify in the last step.
  daub4UpsampleStepRectified(current, length, other);
}

namespace {

// Sums of y[0..kWindow) in double, vectorised: eight float lanes over blocks of 256 samples
// (short enough to keep float rounding near 1e-7), each block flushed into double lanes.
// `term` maps a vector of four samples to the vector to add.
template <typename Term>
double blockSum(const float* y, Term term) {
  using namespace simd;
  constexpr std::size_t kBlock = 256;
  double total[4] = {};
  for (std::size_t start = 0; start < kWindow; start += kBlock) {
    // Two accumulators, so the adds do not wait on each other.
    Float4 even = splat(0.0f);
    Float4 odd = splat(0.0f);
    for (std::size_t t = start; t < start + kBlock; t += 8) {
      even += term(load(y + t));
      odd += term(load(y + t + 4));
    }
    for (int j = 0; j < 4; ++j) total[j] += double(even[j]) + double(odd[j]);
  }
  return (total[0] + total[1]) + (total[2] + total[3]);
}

// Population variance of y[0..kWindow) around `mean` (their mean in double). Two passes, so
// the variance never suffers cancellation.
double centredVariance(const float* y, double mean) {
  using namespace simd;
  const float centre = static_cast<float>(mean);
  const Float4 c = splat(centre);
  const double sumSquares = blockSum(y, [c](Float4 v) {
    const Float4 d = v - c;
    return d * d;
  });
  // The float centre differs from the double mean by a rounding; remove its share exactly.
  const double offset = mean - centre;
  return sumSquares / kWindow - offset * offset;
}

}  // namespace

// Low-passes and normalises the four rectified bands in bands_ and sums them, every 32nd
// sample, into e[0..512). Returns false when a band has zero variance (the window then
// contributes nothing).
//
// The low-pass y[0] = 0, y[t] = 0.01 |x[t]| + 0.99 y[t-1] is a serial recurrence. Unrolled
// by four it reads y[t] = 0.99^4 y[t-4] + h[t] with the short FIR
// h[t] = 0.01 (|x[t]| + 0.99 |x[t-1]| + 0.99^2 |x[t-2]| + 0.99^3 |x[t-3]|), so four
// consecutive outputs form one vector recurrence, and the four bands run side by side as
// four independent chains. Each band has kBandLead zeros before it and x[0] is cleared
// (y[0] = 0 ignores it), so the FIR needs no start-up case. The same pass sums each band's
// envelope (float lanes per block of 256 samples, flushed into double) for its mean.
bool BeatAnalyzer::envelope(double* e) {
  using namespace simd;
  constexpr float kA = 0.99f;
  constexpr float kA2 = kA * kA;
  constexpr float kA3 = kA2 * kA;
  constexpr float kA4 = kA2 * kA2;
  constexpr std::size_t kBlock = 256;
  const float* band[kBands];
  float* out[kBands];
  for (int b = 0; b < kBands; ++b) {
    float* x = bandSignal(b);
    x[0] = 0.0f;
    band[b] = x;
    out[b] = envelopes_.data() + b * kWindow;
  }
  // One named chain per band: an array indexed in a loop over the bands stays in memory
  // at -O2 and puts a store-to-load round trip into every step of the recurrence.
  auto step = [](const float* x, float* y, Float4& state, Float4& sum) {
    const Float4 h = 0.01f * (load(x) + kA * load(x - 1) + kA2 * load(x - 2) + kA3 * load(x - 3));
    state = h + kA4 * state;
    store(y, state);
    sum += state;
  };
  Float4 y0 = {}, y1 = {}, y2 = {}, y3 = {};
  std::array<double, kBands> total{};
  for (std::size_t start = 0; start < kWindow; start += kBlock) {
    Float4 s0 = {}, s1 = {}, s2 = {}, s3 = {};
    for (std::size_t t = start; t < start + kBlock; t += 4) {
      step(band[0] + t, out[0] + t, y0, s0);
      step(band[1] + t, out[1] + t, y1, s1);
      step(band[2] + t, out[2] + t, y2, s2);
      step(band[3] + t, out[3] + t, y3, s3);
    }
    total[0] += (double(s0[0]) + s0[1]) + (double(s0[2]) + s0[3]);
    total[1] += (double(s1[0]) + s1[1]) + (double(s1[2]) + s1[3]);
    total[2] += (double(s2[0]) + s2[1]) + (double(s2[2]) + s2[3]);
    total[3] += (double(s3[0]) + s3[1]) + (double(s3[2]) + s3[3]);
  }
  static_assert(kBands == 4);

  std::array<double, kBands> mean{};
  std::array<double, kBands> scale{};
  for (int b = 0; b < kBands; ++b) {
    mean[b] = total[b] / kWindow;
    const double variance = centredVariance(out[b], mean[b]);
    if (!(variance > 0.0)) return false;
    scale[b] = 0.05 / std::sqrt(variance);
  }
  for (std::size_t i = 0; i < kEnvelope; ++i) {
    double sum = 0.0;
    for (int b = 0; b < kBands; ++b) sum += (out[b][i * kEnvelopeStep] - mean[b]) * scale[b];
    e[i] = sum;
  }
  return true;
}

namespace {

// r[t] = (1/512) sum_n e[n] e[(n + t) mod 512] for the lags the peak search reads,
// t = 25..102; e holds the envelope twice over (the periodic lags). Lags go in blocks of
// eight, so the last block also computes lags 103 and 104, which are dropped (they read
// at most e[511 + 104], well inside the two periods). Each lag's sum runs over n in order,
// in double. Two lags per vector and four named accumulators per pass over n, so they stay
// in registers at any optimisation level.
void autocorrelation(const double* e, double* r) {
  using Double2 = double __attribute__((vector_size(16)));
  auto load2 = [](const double* p) {
    Double2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  constexpr int kLow = kFirstLag - 1;
  constexpr int kHigh = kLastLag + 1;
  static_assert(kLow + ((kHigh - kLow) / 8 + 1) * 8 <= int(kEnvelope), "reads past two periods");
  for (int first = kLow; first <= kHigh; first += 8) {
    Double2 acc0 = {}, acc1 = {}, acc2 = {}, acc3 = {};
    for (std::size_t n = 0; n < kEnvelope; ++n) {
      const Double2 en = {e[n], e[n]};
      const double* lagged = e + n + first;
      acc0 += en * load2(lagged);
      acc1 += en * load2(lagged + 2);
      acc2 += en * load2(lagged + 4);
      acc3 += en * load2(lagged + 6);
    }
    const double sums[8] = {acc0[0], acc0[1], acc1[0], acc1[1], acc2[0], acc2[1], acc3[0], acc3[1]};
    for (int i = 0; i < 8 && first + i <= kHigh; ++i) r[first + i] = sums[i] / kEnvelope;
  }
}

}  // namespace

void BeatAnalyzer::histogram(const int16_t* samples, std::size_t count, BeatHistogram& out) {
  out.fill(0.0);
  const std::size_t windows = (count + kInputHop - 1) / kInputHop;
  if (windows == 0) return;
  prepare(windows);
  transformInput(samples, count, windows);

  std::array<double, 2 * kEnvelope> e{};
  std::array<double, kLastLag + 2> r{};
  for (std::size_t w = 0; w < windows; ++w) {
    patchWindowEnds(w);
    for (int b = 0; b < kBands; ++b) reconstructRectifiedBand(b, w, bandSignal(b));
    if (!envelope(e.data())) continue;
    std::copy(e.begin(), e.begin() + kEnvelope, e.begin() + kEnvelope);  // periodic lags
    autocorrelation(e.data(), r.data());
    addAutocorrelationPeaks(r.data(), out);
  }
}

}  // namespace bextract
