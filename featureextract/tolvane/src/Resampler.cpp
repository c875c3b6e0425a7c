#include "Resampler.h"

#include <new>
#include <utility>
#include <vector>

#include "Frame.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace tolvane {
namespace {

uint64_t layoutKey(const AVChannelLayout& layout) {
  return layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
}

}  // namespace

Resampler::Resampler(int outputRate) : outputRate_(outputRate) {}

Resampler::~Resampler() {
  swr_free(&context_);
}

Resampler::Resampler(Resampler&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)),
      outputRate_(other.outputRate_),
      inputRate_(other.inputRate_),
      inputFormat_(other.inputFormat_),
      inputChannels_(other.inputChannels_),
      inputMask_(other.inputMask_) {}

Resampler& Resampler::operator=(Resampler&& other) noexcept {
  if (this != &other) {
    swr_free(&context_);
    context_ = std::exchange(other.context_, nullptr);
    outputRate_ = other.outputRate_;
    inputRate_ = other.inputRate_;
    inputFormat_ = other.inputFormat_;
    inputChannels_ = other.inputChannels_;
    inputMask_ = other.inputMask_;
  }
  return *this;
}

bool Resampler::configureFor(const Frame& frame) {
  const AVFrame* f = frame.get();
  const int channels = f->ch_layout.nb_channels;
  if (context_ != nullptr && f->sample_rate == inputRate_ && f->format == inputFormat_ &&
      channels == inputChannels_ && layoutKey(f->ch_layout) == inputMask_) {
    return true;
  }
  swr_free(&context_);
  if (f->sample_rate <= 0 || channels <= 0 || f->format < 0) return false;

  AVChannelLayout in{};
  if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&in, channels);
  } else if (av_channel_layout_copy(&in, &f->ch_layout) < 0) {
    throw std::bad_alloc();
  }
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  const int rc =
      swr_alloc_set_opts2(&context_, &mono, AV_SAMPLE_FMT_S16, outputRate_, &in,
                          static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  if (rc < 0 || context_ == nullptr || swr_init(context_) < 0) {
    swr_free(&context_);
    return false;
  }
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

  uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out)};
  const int written = swr_convert(context_, outPlanes, room, planes.data(), count);
  return written < 0 ? -1 : written;
}

int Resampler::flush(int16_t* out, int room) {
  if (context_ == nullptr || room <= 0) return 0;
  uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out)};
  const int written = swr_convert(context_, outPlanes, room, nullptr, 0);
  return written < 0 ? 0 : written;
}

}  // namespace tolvane
