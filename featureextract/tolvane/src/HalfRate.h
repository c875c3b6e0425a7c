// Halves the sample rate of a mono float stream (44.1 kHz to 22.05 kHz) with a fixed FIR
// filter and writes signed 16-bit samples: the common case of Tolvane's resampling, done in
// a vector kernel instead of libswresample's general one. The taps and edge rules are
// libswresample's own (measured by Resampler), so both give the same output to within one
// least significant bit.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tolvane {

class HalfRateFilter {
 public:
  // Output n weighs input samples 2n - 32 ... 2n + 33.
  static constexpr int kBefore = 32;
  static constexpr int kAfter = 33;
  static constexpr int kTaps = kBefore + kAfter + 1;
  using Taps = std::array<float, kTaps>;  // taps[o + kBefore] weighs x[2n + o]

  // True when this processor runs the vector kernel (AVX2 and FMA). Never throws.
  static bool available();

  explicit HalfRateFilter(const Taps& taps);

  // Feeds `count` input samples and writes at most `room` output samples to `out`; input
  // whose output did not fit stays buffered. Before the stream's first sample the input is
  // mirrored (x[-k] = x[k]). Returns the samples written. Throws only std::bad_alloc.
  int push(const float* in, int count, int16_t* out, int room);
  // Ends the stream: mirrors it past its last sample (x[N + k] = x[N - 1 - k]) and writes
  // what is still owed, up to half the input count rounded up in all. Returns the count.
  int flush(int16_t* out, int room);

 private:
  void start();
  int produce(int64_t wanted, int16_t* out, int room);

  std::array<float, kTaps / 2> even_{};  // taps of the even-offset inputs
  std::array<float, kTaps / 2> odd_{};
  std::vector<float> input_;  // input_[i] is stream sample origin_ + i
  int64_t origin_ = 0;
  int64_t received_ = 0;  // stream samples fed so far
  int64_t produced_ = 0;  // output samples written so far
  bool started_ = false;  // the mirror in front of the stream is in place
  bool flushed_ = false;
  bool vector_ = false;           // the processor runs filterVector
  std::vector<float> evenInput_;  // scratch: the inputs of one batch, split by parity
  std::vector<float> oddInput_;
};

}  // namespace tolvane
