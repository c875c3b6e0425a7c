// Four-float vectors for the beat histogram's inner loops (GCC/Clang vector extension).
//
// Written with explicit vectors rather than left to the auto-vectoriser: GCC's -O2 cost
// model leaves loops of unknown length scalar, so the same source ran twice as slowly in
// the RelWithDebInfo build the program ships as in a -O3 build. These types lower to plain
// SSE2 on x86-64 (and to NEON or scalar code elsewhere) at every optimisation level, and
// each lane does exactly the float operations, in the same order, that the scalar formula
// does, so results do not depend on the build. Loads and stores go through memcpy and need
// no alignment. Nothing here throws or allocates.
#pragma once

#include <cstdint>
#include <cstring>

namespace bextract::simd {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));

inline Float4 load(const float* p) {
  Float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store(float* p, Float4 v) {
  std::memcpy(p, &v, sizeof v);
}

inline Float4 splat(float x) {
  return Float4{x, x, x, x};
}

// |v| by clearing the sign bits (what std::fabs does per lane).
inline Float4 abs(Float4 v) {
  const Int4 bits =
      reinterpret_cast<Int4>(v) & Int4{0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
  return reinterpret_cast<Float4>(bits);
}

// (a0, b0, a1, b1) and (a2, b2, a3, b3): two vectors of even and odd outputs interleaved.
inline Float4 interleaveLow(Float4 a, Float4 b) {
  return __builtin_shufflevector(a, b, 0, 4, 1, 5);
}
inline Float4 interleaveHigh(Float4 a, Float4 b) {
  return __builtin_shufflevector(a, b, 2, 6, 3, 7);
}

// Lanes 0 and 2 of each of a, b: (a0, a2, b0, b2); lanes 1 and 3: (a1, a3, b1, b3).
inline Float4 evenLanes(Float4 a, Float4 b) {
  return __builtin_shufflevector(a, b, 0, 2, 4, 6);
}
inline Float4 oddLanes(Float4 a, Float4 b) {
  return __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

}  // namespace bextract::simd
