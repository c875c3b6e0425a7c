// Move-only owners of the FFTW (single precision) resources the feature library uses.
//
// Only fftw_handles.cpp includes <fftw3.h>; everything else sees opaque pointers. Plans are
// made once, at set-up, never per analysed song. FFTW's planner is not thread safe, so every
// plan creation and destruction goes through one process-wide mutex inside the .cpp file.
#pragma once

#include <cstddef>

struct fftwf_plan_s;

namespace bextract {

// A float array from fftwf_malloc (SIMD aligned). Constructors throw std::bad_alloc when
// FFTW cannot allocate; the destructor frees.
class FftwFloatBuffer {
 public:
  FftwFloatBuffer() = default;
  explicit FftwFloatBuffer(std::size_t count);
  ~FftwFloatBuffer();
  FftwFloatBuffer(FftwFloatBuffer&& other) noexcept;
  FftwFloatBuffer& operator=(FftwFloatBuffer&& other) noexcept;
  FftwFloatBuffer(const FftwFloatBuffer&) = delete;
  FftwFloatBuffer& operator=(const FftwFloatBuffer&) = delete;

  float* data() noexcept { return data_; }
  const float* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }

 private:
  float* data_ = nullptr;
  std::size_t size_ = 0;
};

// A batch of `count` real-to-complex forward transforms of length `length` (even), laid out
// contiguously: frame f reads input()[f * length ...] and writes length / 2 + 1 complex
// values, interleaved re/im, to output()[f * (length + 2) ...]. The plan owns its buffers;
// execute() runs it on them. Construction throws std::bad_alloc or std::runtime_error when
// FFTW cannot plan; execute() never throws.
class RealFftBatch {
 public:
  RealFftBatch(int length, int count);
  ~RealFftBatch();
  RealFftBatch(RealFftBatch&& other) noexcept;
  RealFftBatch& operator=(RealFftBatch&& other) noexcept;
  RealFftBatch(const RealFftBatch&) = delete;
  RealFftBatch& operator=(const RealFftBatch&) = delete;

  float* input() noexcept { return input_.data(); }
  const float* output() const noexcept { return output_.data(); }
  int length() const noexcept { return length_; }
  int count() const noexcept { return count_; }
  void execute() noexcept;

 private:
  void release() noexcept;

  int length_ = 0;
  int count_ = 0;
  FftwFloatBuffer input_;
  FftwFloatBuffer output_;
  fftwf_plan_s* plan_ = nullptr;
};

}  // namespace bextract
