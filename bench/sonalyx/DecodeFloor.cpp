#include "DecodeFloor.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <memory>

namespace sonalyx::bench {
namespace {

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
using Format = std::unique_ptr<AVFormatContext, FormatCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

}  // namespace

std::int64_t decodeWindow(const std::string& path, double startSeconds, double lengthSeconds) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return 0;
  Format format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return 0;
  const AVCodec* decoder = nullptr;
  const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index < 0 || !decoder) return 0;
  AVStream* stream = format->streams[index];
  Codec codec(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0)
    return 0;

  const double tb = av_q2d(stream->time_base);
  const auto startTs = static_cast<std::int64_t>(startSeconds / tb);
  av_seek_frame(format.get(), index, startTs, AVSEEK_FLAG_BACKWARD);
  const std::int64_t wanted = static_cast<std::int64_t>(lengthSeconds * codec->sample_rate);

  Packet packet(av_packet_alloc());
  Frame frame(av_frame_alloc());
  std::int64_t samples = 0;
  bool done = false;
  while (!done && av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(codec.get(), packet.get()) >= 0) {
      while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
        const double at = frame->pts == AV_NOPTS_VALUE ? startSeconds : frame->pts * tb;
        if (at + static_cast<double>(frame->nb_samples) / codec->sample_rate >= startSeconds)
          samples += frame->nb_samples;
        if (samples >= wanted) done = true;
        av_frame_unref(frame.get());
      }
    }
    av_packet_unref(packet.get());
  }
  return samples;
}

}  // namespace sonalyx::bench
