#include "FormatInput.h"

#include <cmath>
#include <limits>
#include <utility>

#include "Packet.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace tolvane {
namespace {

// FFmpeg polls this during blocking I/O; non-zero aborts the call.
int interruptWhenExpired(void* opaque) {
  return static_cast<const Deadline*>(opaque)->expired() ? 1 : 0;
}

}  // namespace

double StreamTiming::toSeconds(int64_t timestamp) const {
  return static_cast<double>(timestamp) * timeBaseNum / timeBaseDen;
}

int64_t StreamTiming::fromSeconds(double seconds) const {
  const double ticks = seconds * timeBaseDen / timeBaseNum;
  if (!(ticks > -9e18 && ticks < 9e18)) return 0;
  return static_cast<int64_t>(std::floor(ticks));
}

FormatInput::~FormatInput() {
  avformat_close_input(&context_);
}

FormatInput::FormatInput(FormatInput&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)) {}

FormatInput& FormatInput::operator=(FormatInput&& other) noexcept {
  if (this != &other) {
    avformat_close_input(&context_);
    context_ = std::exchange(other.context_, nullptr);
  }
  return *this;
}

FormatInput FormatInput::open(const std::string& path, const Deadline& deadline) {
  AVFormatContext* context = avformat_alloc_context();
  if (context == nullptr) throw std::bad_alloc();
  context->flags |= AVFMT_FLAG_FAST_SEEK;
  context->interrupt_callback.callback = &interruptWhenExpired;
  context->interrupt_callback.opaque = const_cast<Deadline*>(&deadline);
  // A WAV file declaring 16-bit PCM is checked for compressed audio hidden behind that tag
  // (MP3 or AC-3 in WAV). By default FFmpeg gathers up to 32 packets for that check and runs
  // every format probe over them, which costs more than decoding the whole window; the first
  // packet tells the same for any real file.
  AVDictionary* options = nullptr;
  if (av_dict_set(&options, "max_probe_packets", "1", 0) < 0) throw std::bad_alloc();
  // On failure avformat_open_input frees the context and nulls the pointer.
  const int opened = avformat_open_input(&context, path.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) return {};
  FormatInput input;
  input.context_ = context;
  if (avformat_find_stream_info(context, nullptr) < 0) return {};
  return input;
}

int FormatInput::firstAudioStream() const {
  for (unsigned i = 0; i < context_->nb_streams; ++i) {
    const AVStream* stream = context_->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
        (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

const AVCodecParameters* FormatInput::codecParameters(int stream) const {
  return context_->streams[stream]->codecpar;
}

StreamTiming FormatInput::timing(int stream) const {
  const AVStream* st = context_->streams[stream];
  StreamTiming timing;
  if (st->time_base.num > 0 && st->time_base.den > 0) {
    timing.timeBaseNum = st->time_base.num;
    timing.timeBaseDen = st->time_base.den;
  } else {
    timing.timeBaseNum = 1;
    timing.timeBaseDen = AV_TIME_BASE;
  }
  if (st->start_time != AV_NOPTS_VALUE) timing.startSeconds = timing.toSeconds(st->start_time);
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
    timing.durationSeconds = timing.toSeconds(st->duration);
  } else if (context_->duration != AV_NOPTS_VALUE && context_->duration > 0) {
    timing.durationSeconds = static_cast<double>(context_->duration) / AV_TIME_BASE;
  }
  return timing;
}

bool FormatInput::seekBefore(int stream, double seconds) {
  const int64_t target = timing(stream).fromSeconds(seconds);
  return av_seek_frame(context_, stream, target, AVSEEK_FLAG_BACKWARD) >= 0;
}

ReadResult FormatInput::read(Packet& packet) {
  packet.unref();
  const int rc = av_read_frame(context_, packet.get());
  if (rc >= 0) return ReadResult::kPacket;
  return rc == AVERROR_EOF ? ReadResult::kEnd : ReadResult::kError;
}

}  // namespace tolvane
