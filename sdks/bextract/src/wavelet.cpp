#include "wavelet.h"

#include <algorithm>
#include <cmath>

#include "simd.h"

namespace bextract {

// The vector loops below produce four outputs per pass with the lane arithmetic of the
// scalar formula (same operations, same order); the scalar loops finish the remainder.

void daub4SmoothLinear(const float* in, std::size_t count, float* out) {
  using namespace simd;
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const float* p = in + 2 * i;
    const Float4 a0 = evenLanes(load(p), load(p + 4));
    const Float4 a1 = oddLanes(load(p), load(p + 4));
    const Float4 a2 = evenLanes(load(p + 2), load(p + 6));
    const Float4 a3 = oddLanes(load(p + 2), load(p + 6));
    store(out + i, kDaub4C0 * a0 + kDaub4C1 * a1 + kDaub4C2 * a2 + kDaub4C3 * a3);
  }
  for (; i < count; ++i) {
    out[i] = daub4SmoothAt(in[2 * i], in[2 * i + 1], in[2 * i + 2], in[2 * i + 3]);
  }
}

void daub4DetailLinear(const float* in, std::size_t count, float* out) {
  using namespace simd;
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const float* p = in + 2 * i;
    const Float4 a0 = evenLanes(load(p), load(p + 4));
    const Float4 a1 = oddLanes(load(p), load(p + 4));
    const Float4 a2 = evenLanes(load(p + 2), load(p + 6));
    const Float4 a3 = oddLanes(load(p + 2), load(p + 6));
    store(out + i, kDaub4C3 * a0 - kDaub4C2 * a1 + kDaub4C1 * a2 - kDaub4C0 * a3);
  }
  for (; i < count; ++i) {
    out[i] = daub4DetailAt(in[2 * i], in[2 * i + 1], in[2 * i + 2], in[2 * i + 3]);
  }
}

void daub4ForwardStep(const float* in, std::size_t n, float* smooth, float* detail) {
  const std::size_t half = n / 2;
  daub4SmoothLinear(in, half - 1, smooth);
  daub4DetailLinear(in, half - 1, detail);
  smooth[half - 1] = daub4SmoothAt(in[n - 2], in[n - 1], in[0], in[1]);
  detail[half - 1] = daub4DetailAt(in[n - 2], in[n - 1], in[0], in[1]);
}

void daub4InverseStep(const float* smooth, const float* detail, std::size_t half, float* out) {
  const float sLast = smooth[half - 1];
  const float wLast = detail[half - 1];
  out[0] = kDaub4C2 * sLast + kDaub4C1 * wLast + kDaub4C0 * smooth[0] + kDaub4C3 * detail[0];
  out[1] = kDaub4C3 * sLast - kDaub4C0 * wLast + kDaub4C1 * smooth[0] - kDaub4C2 * detail[0];
  using namespace simd;
  std::size_t i = 0;
  // Pairs i .. i+3 read smooth/detail up to i+4, the last pair is half-2.
  for (; i + 5 <= half; i += 4) {
    const Float4 s0 = load(smooth + i);
    const Float4 s1 = load(smooth + i + 1);
    const Float4 w0 = load(detail + i);
    const Float4 w1 = load(detail + i + 1);
    const Float4 even = kDaub4C2 * s0 + kDaub4C1 * w0 + kDaub4C0 * s1 + kDaub4C3 * w1;
    const Float4 odd = kDaub4C3 * s0 - kDaub4C0 * w0 + kDaub4C1 * s1 - kDaub4C2 * w1;
    store(out + 2 * i + 2, interleaveLow(even, odd));
    store(out + 2 * i + 6, interleaveHigh(even, odd));
  }
  for (; i + 1 < half; ++i) {
    const float s0 = smooth[i];
    const float s1 = smooth[i + 1];
    const float w0 = detail[i];
    const float w1 = detail[i + 1];
    out[2 * i + 2] = kDaub4C2 * s0 + kDaub4C1 * w0 + kDaub4C0 * s1 + kDaub4C3 * w1;
    out[2 * i + 3] = kDaub4C3 * s0 - kDaub4C0 * w0 + kDaub4C1 * s1 - kDaub4C2 * w1;
  }
}

namespace {

template <bool kRectify>
void upsample(const float* smooth, std::size_t half, float* out) {
  using namespace simd;
  auto finish = [](float v) { return kRectify ? std::fabs(v) : v; };
  auto finish4 = [](Float4 v) { return kRectify ? abs(v) : v; };
  const float sLast = smooth[half - 1];
  out[0] = finish(kDaub4C2 * sLast + kDaub4C0 * smooth[0]);
  out[1] = finish(kDaub4C3 * sLast + kDaub4C1 * smooth[0]);
  std::size_t i = 0;
  for (; i + 5 <= half; i += 4) {
    const Float4 s0 = load(smooth + i);
    const Float4 s1 = load(smooth + i + 1);
    const Float4 even = finish4(kDaub4C2 * s0 + kDaub4C0 * s1);
    const Float4 odd = finish4(kDaub4C3 * s0 + kDaub4C1 * s1);
    store(out + 2 * i + 2, interleaveLow(even, odd));
    store(out + 2 * i + 6, interleaveHigh(even, odd));
  }
  for (; i + 1 < half; ++i) {
    const float s0 = smooth[i];
    const float s1 = smooth[i + 1];
    out[2 * i + 2] = finish(kDaub4C2 * s0 + kDaub4C0 * s1);
    out[2 * i + 3] = finish(kDaub4C3 * s0 + kDaub4C1 * s1);
  }
}

}  // namespace

void daub4UpsampleStep(const float* smooth, std::size_t half, float* out) {
  upsample<false>(smooth, half, out);
}

void daub4UpsampleStepRectified(const float* smooth, std::size_t half, float* out) {
  upsample<true>(smooth, half, out);
}

void daub4Forward(float* data, std::size_t n, float* scratch) {
  for (std::size_t len = n; len >= 4; len /= 2) {
    daub4ForwardStep(data, len, scratch, scratch + len / 2);
    std::copy(scratch, scratch + len, data);
  }
}

void daub4Inverse(float* data, std::size_t n, float* scratch) {
  for (std::size_t len = 4; len <= n; len *= 2) {
    daub4InverseStep(data, data + len / 2, len / 2, scratch);
    std::copy(scratch, scratch + len, data);
  }
}

}  // namespace bextract
