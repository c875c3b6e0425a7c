// Daubechies-4 wavelet steps over contiguous float arrays, written as plain loops the
// compiler vectorises. The forward step maps n values to [n/2 smooth | n/2 detail] with the
// smoothing filter (c0, c1, c2, c3) and the detail filter (c3, -c2, c1, -c0); the inverse
// step is its exact transpose. "Periodic" steps wrap around the end of the n values.
// None of these functions allocate or throw; callers own every array.
#pragma once

#include <cstddef>

namespace bextract {

inline constexpr float kDaub4C0 = 0.4829629131f;
inline constexpr float kDaub4C1 = 0.8365163037f;
inline constexpr float kDaub4C2 = 0.2241438680f;
inline constexpr float kDaub4C3 = -0.1294095226f;

// The smoothing filter at one position: c0 a[0] + c1 a[1] + c2 a[2] + c3 a[3].
inline float daub4SmoothAt(float a0, float a1, float a2, float a3) {
  return kDaub4C0 * a0 + kDaub4C1 * a1 + kDaub4C2 * a2 + kDaub4C3 * a3;
}
// The detail filter at one position: c3 a[0] - c2 a[1] + c1 a[2] - c0 a[3].
inline float daub4DetailAt(float a0, float a1, float a2, float a3) {
  return kDaub4C3 * a0 - kDaub4C2 * a1 + kDaub4C1 * a2 - kDaub4C0 * a3;
}

// Non-periodic forward halves: out[i] for i < count reads in[2i .. 2i+3], so `in` must hold
// 2 * count + 2 values.
void daub4SmoothLinear(const float* in, std::size_t count, float* out);
void daub4DetailLinear(const float* in, std::size_t count, float* out);

// One periodic forward step over n (even, >= 4) values: smooth[0..n/2), detail[0..n/2).
void daub4ForwardStep(const float* in, std::size_t n, float* smooth, float* detail);

// One periodic inverse step: n = 2 * half outputs from half smooth and half detail values.
// `out` must not alias the inputs.
void daub4InverseStep(const float* smooth, const float* detail, std::size_t half, float* out);

// The inverse step with an all-zero detail half (the upsampling through a level whose
// coefficients were all masked out).
void daub4UpsampleStep(const float* smooth, std::size_t half, float* out);
// The same step with every output rectified (|out|), for a band headed for its envelope.
void daub4UpsampleStepRectified(const float* smooth, std::size_t half, float* out);

// Full periodic pyramids in place over n (a power of two >= 4) values, down to / up from a
// length of 4; `scratch` holds n floats.
void daub4Forward(float* data, std::size_t n, float* scratch);
void daub4Inverse(float* data, std::size_t n, float* scratch);

}  // namespace bextract
