#include "HalfRate.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tolvane {
namespace {

int16_t toS16(float y) {
  const float scaled = std::clamp(y * 32768.0f, -32768.0f, 32767.0f);
  return static_cast<int16_t>(std::lrintf(scaled));
}

// out[j] = sum over q of even[q] * e[j + q] + odd[q] * o[j + q], for j in [0, n).
void filterScalar(const float* even, const float* odd, const float* e, const float* o, int n,
                  int16_t* out) {
  for (int j = 0; j < n; ++j) {
    float acc = 0.0f;
    for (int q = 0; q < HalfRateFilter::kTaps / 2; ++q) {
      acc += even[q] * e[j + q];
      acc += odd[q] * o[j + q];
    }
    out[j] = toS16(acc);
  }
}

// The same, 32 outputs at a time in four independent accumulators (so that the fused
// multiply-adds do not wait on each other), converted with rounding to nearest and
// saturation as libswresample's own vector conversion does.
__attribute__((target("avx2,fma"))) void filterVector(const float* even, const float* odd,
                                                      const float* e, const float* o, int n,
                                                      int16_t* out) {
  const __m256 low = _mm256_set1_ps(-32768.0f);
  const __m256 high = _mm256_set1_ps(32767.0f);
  const __m256 scale = _mm256_set1_ps(32768.0f);
  int j = 0;
  for (; j + 32 <= n; j += 32) {
    __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
    for (int q = 0; q < HalfRateFilter::kTaps / 2; ++q) {
      const __m256 he = _mm256_set1_ps(even[q]);
      const __m256 ho = _mm256_set1_ps(odd[q]);
      const float* pe = e + j + q;
      const float* po = o + j + q;
      a0 = _mm256_fmadd_ps(he, _mm256_loadu_ps(pe), a0);
      a1 = _mm256_fmadd_ps(he, _mm256_loadu_ps(pe + 8), a1);
      a2 = _mm256_fmadd_ps(he, _mm256_loadu_ps(pe + 16), a2);
      a3 = _mm256_fmadd_ps(he, _mm256_loadu_ps(pe + 24), a3);
      a0 = _mm256_fmadd_ps(ho, _mm256_loadu_ps(po), a0);
      a1 = _mm256_fmadd_ps(ho, _mm256_loadu_ps(po + 8), a1);
      a2 = _mm256_fmadd_ps(ho, _mm256_loadu_ps(po + 16), a2);
      a3 = _mm256_fmadd_ps(ho, _mm256_loadu_ps(po + 24), a3);
    }
    const __m256 acc[4] = {a0, a1, a2, a3};
    for (int b = 0; b < 4; ++b) {
      const __m256 y = _mm256_min_ps(_mm256_max_ps(_mm256_mul_ps(acc[b], scale), low), high);
      const __m256i i32 = _mm256_cvtps_epi32(y);
      const __m128i s16 =
          _mm_packs_epi32(_mm256_castsi256_si128(i32), _mm256_extracti128_si256(i32, 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j + 8 * b), s16);
    }
  }
  filterScalar(even, odd, e + j, o + j, n - j, out + j);
}

}  // namespace

bool HalfRateFilter::available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

HalfRateFilter::HalfRateFilter(const Taps& taps) : vector_(available()) {
  // Offset o = 2q - 32 falls on even inputs, o = 2q - 31 on odd ones.
  for (int q = 0; q < kTaps / 2; ++q) {
    even_[q] = taps[2 * q];
    odd_[q] = taps[2 * q + 1];
  }
}

int HalfRateFilter::push(const float* in, int count, int16_t* out, int room) {
  if (flushed_ || count <= 0) return 0;
  input_.insert(input_.end(), in, in + count);
  received_ += count;
  // The mirror in front needs the first kBefore + 1 samples.
  if (!started_ && received_ > kBefore) start();
  if (!started_) return 0;
  // Output n is complete once input 2n + kAfter has arrived.
  const int64_t ready = received_ - kAfter > 0 ? (received_ - kAfter - 1) / 2 + 1 : 0;
  return produce(ready, out, room);
}

int HalfRateFilter::flush(int16_t* out, int room) {
  if (received_ == 0) return 0;
  if (!flushed_) {
    if (!started_) start();
    // Mirror past the end: x[N + k] = x[N - 1 - k].
    const int64_t last = received_ - 1 - origin_;
    for (int64_t k = 0; k <= kAfter; ++k) {
      input_.push_back(input_[static_cast<size_t>(std::max<int64_t>(last - k, 0))]);
    }
    flushed_ = true;
  }
  return produce((received_ + 1) / 2, out, room);
}

void HalfRateFilter::start() {
  // x[-k] = x[k]; a stream shorter than the mirror repeats its last sample instead.
  std::vector<float> front(kBefore);
  for (int k = 1; k <= kBefore; ++k) {
    const int64_t at = std::min<int64_t>(k, received_ - 1);
    front[kBefore - k] = input_[static_cast<size_t>(at)];
  }
  input_.insert(input_.begin(), front.begin(), front.end());
  origin_ = -kBefore;
  started_ = true;
}

int HalfRateFilter::produce(int64_t wanted, int16_t* out, int room) {
  const int n = static_cast<int>(std::min<int64_t>(wanted - produced_, room));
  if (n <= 0) return 0;
  // Inputs of outputs produced_ .. produced_ + n - 1, from 2 * produced_ - kBefore on.
  const int64_t from = 2 * produced_ - kBefore - origin_;
  const int pairs = n + kTaps / 2 - 1;
  evenInput_.resize(static_cast<size_t>(pairs));
  oddInput_.resize(static_cast<size_t>(pairs));
  const float* x = input_.data() + from;
  for (int m = 0; m < pairs; ++m) {
    evenInput_[m] = x[2 * m];
    oddInput_[m] = x[2 * m + 1];
  }
  if (vector_) {
    filterVector(even_.data(), odd_.data(), evenInput_.data(), oddInput_.data(), n, out);
  } else {
    filterScalar(even_.data(), odd_.data(), evenInput_.data(), oddInput_.data(), n, out);
  }
  produced_ += n;
  // Keep only what later outputs still read.
  const int64_t keep = 2 * produced_ - kBefore - origin_;
  input_.erase(input_.begin(), input_.begin() + keep);
  origin_ += keep;
  return n;
}

}  // namespace tolvane
