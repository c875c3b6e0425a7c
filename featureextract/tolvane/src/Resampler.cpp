#include "Resampler.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "Frame.h"
#include "HalfRate.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace tolvane {
namespace {

uint64_t layoutKey(const AVChannelLayout& layout) {
  return layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
}

// A mono converter from `inRate` to `outRate`, libswresample's defaults; null on failure.
SwrContext* monoConverter(AVSampleFormat inFormat, AVSampleFormat outFormat, int inRate,
                          int outRate) {
  SwrContext* context = nullptr;
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  if (swr_alloc_set_opts2(&context, &mono, outFormat, outRate, &mono, inFormat, inRate, 0,
                          nullptr) < 0 ||
      context == nullptr || swr_init(context) < 0) {
    swr_free(&context);
  }
  return context;
}

// All output of `context` for `input`, flushed; empty on failure.
template <typename Out>
std::vector<Out> convertAll(SwrContext* context, const std::vector<float>& input) {
  std::vector<Out> output(input.size() / 2 + 256);
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(input.data())};
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(output.data())};
  const int n = swr_convert(context, out, static_cast<int>(output.size()), in,
                            static_cast<int>(input.size()));
  if (n < 0) return {};
  out[0] = reinterpret_cast<uint8_t*>(output.data() + n);
  const int rest = swr_convert(context, out, static_cast<int>(output.size()) - n, nullptr, 0);
  if (rest < 0) return {};
  output.resize(static_cast<size_t>(n + rest));
  return output;
}

// libswresample's filter for halving `inRate`, read off its answer to two unit impulses (one
// on an even, one on an odd input), then checked against libswresample itself on a short
// signal, edges included. Nothing when the filter is not of HalfRateFilter's shape or the
// two disagree by more than one step, so that the general path is used. Throws only
// std::bad_alloc.
std::optional<HalfRateFilter::Taps> measureTaps(int inRate) {
  HalfRateFilter::Taps taps{};
  for (int at : {400, 401}) {
    std::vector<float> impulse(1000, 0.0f);
    impulse[at] = 1.0f;
    SwrContext* context = monoConverter(AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLT, inRate, inRate / 2);
    if (context == nullptr) return std::nullopt;
    const std::vector<float> response = convertAll<float>(context, impulse);
    swr_free(&context);
    if (response.size() != 500) return std::nullopt;
    for (int n = 0; n < 500; ++n) {
      const int offset = at - 2 * n;
      if (offset >= -HalfRateFilter::kBefore && offset <= HalfRateFilter::kAfter) {
        taps[offset + HalfRateFilter::kBefore] = response[n];
      } else if (response[n] != 0.0f) {
        return std::nullopt;
      }
    }
  }
  std::vector<float> signal(2001);
  uint32_t seed = 12345;
  for (float& s : signal) {
    seed = seed * 1103515245u + 12345u;
    s = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
  }
  SwrContext* context = monoConverter(AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16, inRate, inRate / 2);
  if (context == nullptr) return std::nullopt;
  const std::vector<int16_t> expected = convertAll<int16_t>(context, signal);
  swr_free(&context);
  HalfRateFilter filter(taps);
  std::vector<int16_t> got(signal.size());
  int n = filter.push(signal.data(), 700, got.data(), static_cast<int>(got.size()));
  n += filter.push(signal.data() + 700, static_cast<int>(signal.size()) - 700, got.data() + n,
                   static_cast<int>(got.size()) - n);
  n += filter.flush(got.data() + n, static_cast<int>(got.size()) - n);
  if (static_cast<size_t>(n) != expected.size()) return std::nullopt;
  for (int i = 0; i < n; ++i) {
    if (std::abs(got[i] - expected[i]) > 1) return std::nullopt;
  }
  return taps;
}

// The measured filter for halving 44.1 kHz, the only rate pair Tolvane's output rate makes
// common; measured once per process and never changed.
const std::optional<HalfRateFilter::Taps>& halfRateTaps() {
  static const std::optional<HalfRateFilter::Taps> taps = measureTaps(44100);
  return taps;
}

bool isFloat(int format) {
  return format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_FLTP;
}

}  // namespace

Resampler::Resampler(int outputRate) : outputRate_(outputRate) {}

Resampler::~Resampler() {
  reset();
}

Resampler::Resampler(Resampler&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)),
      mixer_(std::exchange(other.mixer_, nullptr)),
      halfRate_(std::move(other.halfRate_)),
      mixed_(std::move(other.mixed_)),
      outputRate_(other.outputRate_),
      inputRate_(other.inputRate_),
      inputFormat_(other.inputFormat_),
      inputChannels_(other.inputChannels_),
      inputMask_(other.inputMask_) {}

Resampler& Resampler::operator=(Resampler&& other) noexcept {
  if (this != &other) {
    reset();
    context_ = std::exchange(other.context_, nullptr);
    mixer_ = std::exchange(other.mixer_, nullptr);
    halfRate_ = std::move(other.halfRate_);
    mixed_ = std::move(other.mixed_);
    outputRate_ = other.outputRate_;
    inputRate_ = other.inputRate_;
    inputFormat_ = other.inputFormat_;
    inputChannels_ = other.inputChannels_;
    inputMask_ = other.inputMask_;
  }
  return *this;
}

void Resampler::reset() {
  swr_free(&context_);
  swr_free(&mixer_);
  halfRate_.reset();
}

bool Resampler::configureFor(const Frame& frame) {
  const AVFrame* f = frame.get();
  const int channels = f->ch_layout.nb_channels;
  if ((context_ != nullptr || halfRate_ != nullptr) && f->sample_rate == inputRate_ &&
      f->format == inputFormat_ && channels == inputChannels_ &&
      layoutKey(f->ch_layout) == inputMask_) {
    return true;
  }
  reset();
  if (f->sample_rate <= 0 || channels <= 0 || f->format < 0) return false;

  AVChannelLayout in{};
  if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&in, channels);
  } else if (av_channel_layout_copy(&in, &f->ch_layout) < 0) {
    throw std::bad_alloc();
  }
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  const auto format = static_cast<AVSampleFormat>(f->format);
  const bool halfRate = f->sample_rate == 2 * outputRate_ && outputRate_ == 22050 &&
                        isFloat(f->format) && HalfRateFilter::available() &&
                        halfRateTaps().has_value();
  int rc = 0;
  if (halfRate && channels > 1) {
    // Down-mixing only: at equal rates libswresample holds nothing back. Its mix for 16-bit
    // output is scaled so that it cannot clip; the float mix must be the same.
    rc = swr_alloc_set_opts2(&mixer_, &mono, AV_SAMPLE_FMT_FLT, f->sample_rate, &in, format,
                             f->sample_rate, 0, nullptr);
    if (rc >= 0 && (mixer_ == nullptr || av_opt_set_double(mixer_, "rematrix_maxval", 1.0, 0) < 0 ||
                    swr_init(mixer_) < 0)) {
      rc = -1;
    }
  } else if (!halfRate) {
    rc = swr_alloc_set_opts2(&context_, &mono, AV_SAMPLE_FMT_S16, outputRate_, &in, format,
                             f->sample_rate, 0, nullptr);
    if (rc >= 0 && (context_ == nullptr || swr_init(context_) < 0)) rc = -1;
  }
  av_channel_layout_uninit(&in);
  if (rc < 0) {
    reset();
    return false;
  }
  if (halfRate) halfRate_ = std::make_unique<HalfRateFilter>(*halfRateTaps());
  inputRate_ = f->sample_rate;
  inputFormat_ = f->format;
  inputChannels_ = channels;
  inputMask_ = layoutKey(f->ch_layout);
  return true;
}

int Resampler::convert(const Frame& frame, int first, int16_t* out, int room) {
  if (!configureFor(frame)) return -1;
  const AVFrame* f = frame.get();
  const int count = f->nb_samples - first;
  if (count <= 0 || room <= 0) return 0;

  const auto format = static_cast<AVSampleFormat>(f->format);
  const int bytesPerSample = av_get_bytes_per_sample(format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  const int channels = f->ch_layout.nb_channels;
  if (bytesPerSample <= 0) return -1;

  const int planeCount = planar ? channels : 1;
  const int offset = first * bytesPerSample * (planar ? 1 : channels);
  std::vector<const uint8_t*> planes(static_cast<size_t>(planeCount));
  for (int p = 0; p < planeCount; ++p) planes[p] = f->extended_data[p] + offset;

  if (halfRate_ != nullptr) {
    const float* mono = reinterpret_cast<const float*>(planes[0]);
    if (mixer_ != nullptr) {
      mixed_.resize(static_cast<size_t>(count));
      uint8_t* mixedPlanes[1] = {reinterpret_cast<uint8_t*>(mixed_.data())};
      if (swr_convert(mixer_, mixedPlanes, count, planes.data(), count) != count) return -1;
      mono = mixed_.data();
    }
    return halfRate_->push(mono, count, out, room);
  }
  uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out)};
  const int written = swr_convert(context_, outPlanes, room, planes.data(), count);
  return written < 0 ? -1 : written;
}

int Resampler::flush(int16_t* out, int room) {
  if (room <= 0) return 0;
  if (halfRate_ != nullptr) return halfRate_->flush(out, room);
  if (context_ == nullptr) return 0;
  uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out)};
  const int written = swr_convert(context_, outPlanes, room, nullptr, 0);
  return written < 0 ? 0 : written;
}

}  // namespace tolvane
