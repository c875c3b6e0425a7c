#include "fftw_handles.h"

#include <fftw3.h>

#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

namespace bextract {
namespace {

// FFTW keeps global planner state (wisdom, twiddle caches): plan creation and destruction
// must never run on two threads at once. This is the library's only FFTW-wide guard.
std::mutex& plannerMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

FftwFloatBuffer::FftwFloatBuffer(std::size_t count)
    : data_(static_cast<float*>(fftwf_malloc(count * sizeof(float)))), size_(count) {
  if (data_ == nullptr && count != 0) throw std::bad_alloc();
}

FftwFloatBuffer::~FftwFloatBuffer() {
  if (data_ != nullptr) fftwf_free(data_);
}

FftwFloatBuffer::FftwFloatBuffer(FftwFloatBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FftwFloatBuffer& FftwFloatBuffer::operator=(FftwFloatBuffer&& other) noexcept {
  if (this != &other) {
    if (data_ != nullptr) fftwf_free(data_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

RealFftBatch::RealFftBatch(int length, int count)
    : length_(length),
      count_(count),
      input_(static_cast<std::size_t>(length) * count),
      output_(static_cast<std::size_t>(length + 2) * count) {
  if (length <= 0 || length % 2 != 0 || count <= 0) {
    throw std::invalid_argument("RealFftBatch: length must be even and positive");
  }
  const int n[1] = {length};
  std::lock_guard<std::mutex> lock(plannerMutex());
  // FFTW_ESTIMATE leaves the buffers alone and plans in microseconds; for a 512-point
  // batch it picks the same codelets FFTW_MEASURE would within a few percent.
  plan_ = fftwf_plan_many_dft_r2c(1, n, count, input_.data(), nullptr, 1, length,
                                  reinterpret_cast<fftwf_complex*>(output_.data()), nullptr, 1,
                                  length / 2 + 1, FFTW_ESTIMATE);
  if (plan_ == nullptr) throw std::runtime_error("FFTW could not plan the frame transform");
}

RealFftBatch::~RealFftBatch() {
  release();
}

RealFftBatch::RealFftBatch(RealFftBatch&& other) noexcept
    : length_(other.length_),
      count_(other.count_),
      input_(std::move(other.input_)),
      output_(std::move(other.output_)),
      plan_(std::exchange(other.plan_, nullptr)) {}

RealFftBatch& RealFftBatch::operator=(RealFftBatch&& other) noexcept {
  if (this != &other) {
    release();
    length_ = other.length_;
    count_ = other.count_;
    input_ = std::move(other.input_);
    output_ = std::move(other.output_);
    plan_ = std::exchange(other.plan_, nullptr);
  }
  return *this;
}

void RealFftBatch::release() noexcept {
  if (plan_ != nullptr) {
    std::lock_guard<std::mutex> lock(plannerMutex());
    fftwf_destroy_plan(plan_);
    plan_ = nullptr;
  }
}

void RealFftBatch::execute() noexcept {
  if (plan_ != nullptr) fftwf_execute(plan_);
}

}  // namespace bextract
