// Move-only owner of the conversion of decoded frames of any layout, sample format and rate
// into signed 16-bit mono samples at the decoder modules' output rate (SwrContext).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct SwrContext;

namespace tolvane {

class Frame;
class HalfRateFilter;

class Resampler {
 public:
  explicit Resampler(int outputRate);
  ~Resampler();
  Resampler(Resampler&& other) noexcept;
  Resampler& operator=(Resampler&& other) noexcept;
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // Converts samples [first, frame.sampleCount()) of `frame` and writes at most `room`
  // output samples to `out`; output beyond `room` is dropped. The converter is (re)configured
  // whenever the frame's format differs from the previous one. Returns the samples written,
  // or -1 when the frame's format cannot be converted. Throws only std::bad_alloc.
  int convert(const Frame& frame, int first, int16_t* out, int room);
  // Writes at most `room` of the samples still held back by the filter. Returns the count.
  int flush(int16_t* out, int room);

 private:
  bool configureFor(const Frame& frame);
  void reset();

  // General path: libswresample does the whole conversion.
  SwrContext* context_ = nullptr;
  // Float input at exactly twice the output rate (44.1 kHz): libswresample only down-mixes
  // (mixer_, for more than one channel) and halfRate_ filters.
  SwrContext* mixer_ = nullptr;
  std::unique_ptr<HalfRateFilter> halfRate_;
  std::vector<float> mixed_;

  int outputRate_;
  int inputRate_ = 0;
  int inputFormat_ = -1;
  int inputChannels_ = 0;
  uint64_t inputMask_ = 0;
};

}  // namespace tolvane
