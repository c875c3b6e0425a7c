#include "DecodeFloor.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <vector>

namespace sonalyx::bench {
namespace {

// Tolvane starts decoding this far before the window (codec state settles there).
constexpr double kPreroll = 0.25;
constexpr int kOutputRate = 22050;

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct ResamplerFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
using Format = std::unique_ptr<AVFormatContext, FormatCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Resampler = std::unique_ptr<SwrContext, ResamplerFreer>;

// An opened file positioned before the window, with its decoder.
struct Opened {
  Format format;
  Codec codec;
  int index = -1;
  double timeBase = 0;
};

bool open(const std::string& path, double startSeconds, Opened& o) {
  AVFormatContext* raw = nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "max_probe_packets", "1", 0);
  const int rc = avformat_open_input(&raw, path.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (rc < 0) return false;
  o.format.reset(raw);
  if (avformat_find_stream_info(o.format.get(), nullptr) < 0) return false;
  const AVCodec* decoder = nullptr;
  o.index = av_find_best_stream(o.format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (o.index < 0 || !decoder) return false;
  AVStream* stream = o.format->streams[o.index];
  o.codec.reset(avcodec_alloc_context3(decoder));
  if (!o.codec || avcodec_parameters_to_context(o.codec.get(), stream->codecpar) < 0 ||
      avcodec_open2(o.codec.get(), decoder, nullptr) < 0)
    return false;
  o.timeBase = av_q2d(stream->time_base);
  const double from = startSeconds > kPreroll ? startSeconds - kPreroll : 0.0;
  if (from > 0) {
    // A fast seek, as Tolvane makes it for every container but variable-rate MP3.
    o.format->flags |= AVFMT_FLAG_FAST_SEEK;
    av_seek_frame(o.format.get(), o.index, static_cast<std::int64_t>(from / o.timeBase),
                  AVSEEK_FLAG_BACKWARD);
    o.format->flags &= ~AVFMT_FLAG_FAST_SEEK;
  }
  return true;
}

// Decodes from the current position; calls take(frame) for every frame that reaches into
// the window until take returns false or the input ends.
template <typename Take>
void decodeFrames(Opened& o, double startSeconds, Take take) {
  Packet packet(av_packet_alloc());
  Frame frame(av_frame_alloc());
  const int rate = o.codec->sample_rate;
  bool done = false;
  while (!done && av_read_frame(o.format.get(), packet.get()) >= 0) {
    if (packet->stream_index == o.index &&
        avcodec_send_packet(o.codec.get(), packet.get()) >= 0) {
      while (!done && avcodec_receive_frame(o.codec.get(), frame.get()) >= 0) {
        const double at = frame->pts == AV_NOPTS_VALUE ? startSeconds : frame->pts * o.timeBase;
        if (at + static_cast<double>(frame->nb_samples) / rate >= startSeconds)
          done = !take(frame.get());
        av_frame_unref(frame.get());
      }
    }
    av_packet_unref(packet.get());
  }
}

}  // namespace

std::int64_t decodeWindow(const std::string& path, double startSeconds, double lengthSeconds) {
  Opened o;
  if (!open(path, startSeconds, o)) return 0;
  const auto wanted = static_cast<std::int64_t>(lengthSeconds * o.codec->sample_rate);
  std::int64_t samples = 0;
  decodeFrames(o, startSeconds, [&](AVFrame* frame) {
    samples += frame->nb_samples;
    return samples < wanted;
  });
  return samples;
}

std::int64_t decodeResampleWindow(const std::string& path, double startSeconds,
                                  double lengthSeconds) {
  Opened o;
  if (!open(path, startSeconds, o)) return 0;
  SwrContext* raw = nullptr;
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  if (swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_S16, kOutputRate, &o.codec->ch_layout,
                          o.codec->sample_fmt, o.codec->sample_rate, 0, nullptr) < 0)
    return 0;
  Resampler resampler(raw);
  if (swr_init(resampler.get()) < 0) return 0;
  const auto wanted = static_cast<std::int64_t>(lengthSeconds * kOutputRate);
  std::vector<std::int16_t> out(static_cast<std::size_t>(wanted) + 8192);
  std::int64_t samples = 0;
  bool failed = false;
  decodeFrames(o, startSeconds, [&](AVFrame* frame) {
    const int room = static_cast<int>(out.size() - static_cast<std::size_t>(samples));
    auto* to = reinterpret_cast<std::uint8_t*>(out.data() + samples);
    const int n = swr_convert(resampler.get(), &to, room,
                              const_cast<const std::uint8_t**>(frame->extended_data),
                              frame->nb_samples);
    if (n < 0) {
      failed = true;
      return false;
    }
    samples += n;
    return samples < wanted;
  });
  if (failed) return 0;
  return samples < wanted ? samples : wanted;
}

}  // namespace sonalyx::bench
