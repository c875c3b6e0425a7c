#include "wavelet.h"

#include <algorithm>

namespace bextract {

void daub4SmoothLinear(const float* in, std::size_t count, float* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = daub4SmoothAt(in[2 * i], in[2 * i + 1], in[2 * i + 2], in[2 * i + 3]);
  }
}

void daub4DetailLinear(const float* in, std::size_t count, float* out) {
  for (std::size_t i = 0; i < count; ++i) {
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
  for (std::size_t i = 0; i + 1 < half; ++i) {
    const float s0 = smooth[i];
    const float s1 = smooth[i + 1];
    const float w0 = detail[i];
    const float w1 = detail[i + 1];
    out[2 * i + 2] = kDaub4C2 * s0 + kDaub4C1 * w0 + kDaub4C0 * s1 + kDaub4C3 * w1;
    out[2 * i + 3] = kDaub4C3 * s0 - kDaub4C0 * w0 + kDaub4C1 * s1 - kDaub4C2 * w1;
  }
}

void daub4UpsampleStep(const float* smooth, std::size_t half, float* out) {
  const float sLast = smooth[half - 1];
  out[0] = kDaub4C2 * sLast + kDaub4C0 * smooth[0];
  out[1] = kDaub4C3 * sLast + kDaub4C1 * smooth[0];
  for (std::size_t i = 0; i + 1 < half; ++i) {
    const float s0 = smooth[i];
    const float s1 = smooth[i + 1];
    out[2 * i + 2] = kDaub4C2 * s0 + kDaub4C0 * s1;
    out[2 * i + 3] = kDaub4C3 * s0 + kDaub4C1 * s1;
  }
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
