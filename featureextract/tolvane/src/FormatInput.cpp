#include "FormatInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "MpegAudio.h"
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

// The demuxers a song may be read with: audio containers and raw audio streams. Left out on
// purpose: playlists (hls, which opens the files it names), concat, image and text readers,
// devices and everything else that is not a song.
constexpr const char* kAudioDemuxers =
    "aac,ac3,aiff,amr,amrnb,amrwb,ape,asf,au,caf,dsf,dts,eac3,flac,loas,matroska,webm,mlp,"
    "mov,mp4,m4a,3gp,mp3,mpc,mpc8,ogg,truehd,tta,w64,wav,wv,xwma";

// FFmpeg asks this to open any further file or URL (a playlist's entries, a reference in a
// container); nothing beyond the song itself is read.
int refuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

// Reads `size` bytes at `pos`; false when fewer are there. Moves the read position.
bool readAt(AVIOContext* io, int64_t pos, uint8_t* bytes, int size) {
  return avio_seek(io, pos, SEEK_SET) == pos && avio_read(io, bytes, size) == size;
}

std::optional<MpegFrameHeader> headerAt(AVIOContext* io, int64_t pos) {
  uint8_t b[4];
  if (!readAt(io, pos, b, 4)) return std::nullopt;
  return parseFrameHeader((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) |
                          b[3]);
}

// The header of the first audio frame (at `firstFrame`, where FFmpeg's demuxer put it) when
// the file says or implies that every frame has the same bitrate: an "Info" header, or no
// rate header at all (FFmpeg then takes the file for constant-rate too). Nothing for a
// variable-rate file ("Xing", "VBRI") or a layout that cannot be told with certainty.
// Moves the read position.
std::optional<MpegFrameHeader> constantRateFirstFrame(AVIOContext* io, int64_t firstFrame) {
  // ID3v2 tags in a row come first; the demuxer reads the rate header right after them.
  int64_t pos = 0;
  for (int tags = 0; tags < 16; ++tags) {
    uint8_t tag[10];
    if (!readAt(io, pos, tag, 10)) return std::nullopt;
    const int64_t length = id3v2TagLength(tag, sizeof tag);
    if (length == 0) break;
    pos += length;
  }
  const std::optional<MpegFrameHeader> lead = headerAt(io, pos);
  if (!lead) return std::nullopt;
  uint8_t frame[64] = {};
  const int size = std::min<int>(lead->bytes, sizeof frame);
  if (!readAt(io, pos, frame, size)) return std::nullopt;
  switch (findRateHeader(*lead, frame, static_cast<size_t>(size))) {
    case RateHeader::kVariable:
      return std::nullopt;
    case RateHeader::kConstant:
      // The header frame holds no audio; the demuxer starts after it.
      if (firstFrame != pos + lead->bytes) return std::nullopt;
      return headerAt(io, firstFrame);
    case RateHeader::kNone:
      if (firstFrame != pos) return std::nullopt;
      return lead;
  }
  return std::nullopt;
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
    : file_(std::move(other.file_)),
      io_(std::move(other.io_)),
      context_(std::exchange(other.context_, nullptr)),
      dataOffset_(other.dataOffset_),
      relabel_(other.relabel_) {}

FormatInput& FormatInput::operator=(FormatInput&& other) noexcept {
  if (this != &other) {
    avformat_close_input(&context_);
    file_ = std::move(other.file_);
    io_ = std::move(other.io_);
    context_ = std::exchange(other.context_, nullptr);
    dataOffset_ = other.dataOffset_;
    relabel_ = other.relabel_;
  }
  return *this;
}

FormatInput FormatInput::open(decodercommon::SongFile file, const std::string& path,
                              const Deadline& deadline) {
  if (!file) return {};
  FormatInput input;
  input.file_ = std::move(file);
  input.io_ = FileIo::over(input.file_.fd());
  AVFormatContext* context = avformat_alloc_context();
  if (context == nullptr) throw std::bad_alloc();
  context->pb = input.io_.get();
  context->flags |= AVFMT_FLAG_CUSTOM_IO;
  context->io_open = &refuseOtherFiles;
  context->interrupt_callback.callback = &interruptWhenExpired;
  context->interrupt_callback.opaque = const_cast<Deadline*>(&deadline);
  AVDictionary* options = nullptr;
  const auto set = [&options](const char* key, const char* value) {
    if (av_dict_set(&options, key, value, 0) < 0) {
      av_dict_free(&options);
      throw std::bad_alloc();
    }
  };
  try {
    // A WAV file declaring 16-bit PCM is checked for compressed audio hidden behind that
    // tag (MP3 or AC-3 in WAV). By default FFmpeg gathers up to 32 packets for that check
    // and runs every format probe over them, which costs more than decoding the whole
    // window; the first packet tells the same for any real file.
    set("max_probe_packets", "1");
    set("format_whitelist", kAudioDemuxers);
    // No protocol at all: the song comes through our own I/O context.
    set("protocol_whitelist", "none");
  } catch (...) {
    avformat_free_context(context);
    throw;
  }
  // On failure avformat_open_input frees the context (not our I/O context) and nulls the
  // pointer. The path is FFmpeg's hint for formats told by their extension; it is never
  // opened.
  const int opened = avformat_open_input(&context, path.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) return {};
  input.context_ = context;
  input.dataOffset_ = avio_tell(context->pb);
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
  relabel_ = FrameRelabel{};
  const int64_t target = timing(stream).fromSeconds(seconds);
  if (isMp3Stream(stream)) return seekMp3(stream, target);
  return seekFast(stream, target);
}

bool FormatInput::seekFast(int stream, int64_t target) {
  // Fast mode lets demuxers position by estimate instead of reading up to the target. It is
  // set for the seek only: at open it would also make the MP3 demuxer index a variable-rate
  // file by its coarse table of contents, which an exact seek would then start from.
  context_->flags |= AVFMT_FLAG_FAST_SEEK;
  const int rc = av_seek_frame(context_, stream, target, AVSEEK_FLAG_BACKWARD);
  context_->flags &= ~AVFMT_FLAG_FAST_SEEK;
  return rc >= 0;
}

bool FormatInput::isMp3Stream(int stream) const {
  return context_->iformat != nullptr && std::strcmp(context_->iformat->name, "mp3") == 0 &&
         context_->streams[stream]->codecpar->codec_id == AV_CODEC_ID_MP3 &&
         context_->pb != nullptr && dataOffset_ >= 0;
}

bool FormatInput::seekMp3(int stream, int64_t target) {
  AVIOContext* io = context_->pb;
  const std::optional<MpegFrameHeader> first = constantRateFirstFrame(io, dataOffset_);
  if (!first) return seekExact(stream, target);
  if (!seekFast(stream, target)) return false;
  // FFmpeg's fast seek leaves the input at the frame header it synchronised on.
  const int64_t landed = avio_tell(io);
  const std::optional<MpegFrameHeader> there = headerAt(io, landed);
  if (avio_seek(io, landed, SEEK_SET) < 0) return seekExact(stream, target);
  // A frame of another bitrate: the file is not constant-rate after all.
  if (!there || there->bitrate != first->bitrate || there->sampleRate != first->sampleRate) {
    return seekExact(stream, target);
  }
  relabel_.stream = stream;
  relabel_.pending = true;
  relabel_.seekedTo = landed;
  relabel_.firstFrame = dataOffset_;
  relabel_.meanFrameBytes = first->meanBytes();
  relabel_.samplesPerFrame = first->samplesPerFrame;
  relabel_.sampleRate = first->sampleRate;
  return true;
}

bool FormatInput::seekExact(int stream, int64_t target) {
  // Without the fast flag the demuxer finds the frame by reading the packets before it,
  // counting each frame's real length; nothing is decoded.
  return av_seek_frame(context_, stream, target, AVSEEK_FLAG_BACKWARD) >= 0;
}

void FormatInput::relabel(AVPacket* packet) {
  if (packet->stream_index != relabel_.stream) return;
  if (relabel_.pending) {
    relabel_.pending = false;
    const int64_t at = packet->pos >= 0 ? packet->pos : relabel_.seekedTo;
    if (packet->dts != AV_NOPTS_VALUE && at >= relabel_.firstFrame) {
      const AVRational base = context_->streams[relabel_.stream]->time_base;
      const int64_t frame =
          std::llround(static_cast<double>(at - relabel_.firstFrame) / relabel_.meanFrameBytes);
      const int64_t exact = av_rescale(frame * relabel_.samplesPerFrame, base.den,
                                       int64_t{relabel_.sampleRate} * base.num);
      relabel_.offset = exact - packet->dts;
    }
  }
  if (relabel_.offset == 0) return;
  if (packet->pts != AV_NOPTS_VALUE) packet->pts += relabel_.offset;
  if (packet->dts != AV_NOPTS_VALUE) packet->dts += relabel_.offset;
}

ReadResult FormatInput::read(Packet& packet) {
  packet.unref();
  const int rc = av_read_frame(context_, packet.get());
  if (rc >= 0) {
    if (relabel_.stream >= 0) relabel(packet.get());
    return ReadResult::kPacket;
  }
  return rc == AVERROR_EOF ? ReadResult::kEnd : ReadResult::kError;
}

}  // namespace tolvane
