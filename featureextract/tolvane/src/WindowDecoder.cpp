#include "WindowDecoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

#include "Decoder.h"
#include "FormatInput.h"
#include "Frame.h"
#include "Packet.h"
#include "Resampler.h"
#include "Window.h"
#include "tolvane/Tolvane.h"

namespace tolvane {
namespace {

// Upper bound on one decode. A healthy 30-second window takes a small fraction of a second;
// only damaged or hostile input comes near this.
constexpr std::chrono::milliseconds kDecodeBudget{20000};
// The decoder starts this far ahead of the window so that codecs with inter-frame state
// are settled when the window begins: the MP3 bit reservoir reaches at most 511 bytes back
// (five frames at 32 kbit/s), overlapping transforms (MP3, AAC, WMA) one frame. A quarter
// of a second covers that at every rate; every further frame only costs time.
constexpr double kSeekPreroll = 0.25;
// Damaged packets in a row after which the stream is given up.
constexpr int kMaxConsecutiveErrors = 500;

// Feeds decoded frames into the caller's buffer, keeping only the window.
class WindowWriter {
 public:
  WindowWriter(const WindowRequest& req, const StreamTiming& timing, int latencyFrames,
               int32_t start)
      : timing_(timing),
        latencyFrames_(latencyFrames),
        start_(start),
        end_(static_cast<double>(start) + req.lengthSeconds),
        out_(req.buffer),
        limit_(static_cast<int32_t>(std::min<int64_t>(
            req.capacity, int64_t{req.lengthSeconds} * ZARVELL_DECODER_SAMPLE_RATE))),
        resampler_(ZARVELL_DECODER_SAMPLE_RATE) {}

  bool done() const { return written_ >= limit_ || pastEnd_ || failed_; }
  bool failed() const { return failed_; }
  int32_t written() const { return written_; }

  void take(const Frame& frame) {
    const int count = frame.sampleCount();
    const int rate = frame.sampleRate();
    if (count <= 0 || rate <= 0 || done()) return;
    const double duration = static_cast<double>(count) / rate;
    const double begin = frameBegin(frame) - latencyFrames_ * duration;
    next_ = begin + duration;
    if (begin >= end_) {
      pastEnd_ = true;
      return;
    }
    const double skip = std::ceil((start_ - begin) * rate - 0.5);
    if (skip >= count) return;
    const int first = skip > 0 ? static_cast<int>(skip) : 0;
    if (!fed_) {
      fed_ = true;
      if (skip < 0) padToFirstFrame(begin);
    }
    const int n = resampler_.convert(frame, first, out_ + written_, limit_ - written_);
    if (n < 0) {
      failed_ = true;
      return;
    }
    written_ += n;
  }

  // Collects what the resampler still holds back once no more input is fed.
  void finish() {
    if (!failed_ && written_ < limit_)
      written_ += resampler_.flush(out_ + written_, limit_ - written_);
  }

 private:
  // The first decoded audio may begin after the window start: a WMA decoder gives nothing
  // for the stream's first frame, whose audio only primes it. Silence stands in for that
  // stretch, so that what follows keeps its place in the window.
  void padToFirstFrame(double begin) {
    const double gap = std::round((begin - start_) * ZARVELL_DECODER_SAMPLE_RATE);
    const int32_t pad = static_cast<int32_t>(std::min<double>(gap, limit_));
    if (pad <= 0) return;
    std::fill(out_, out_ + pad, int16_t{0});
    written_ = pad;
  }

  // Window-relative clock: seconds from the stream's first sample.
  double frameBegin(const Frame& frame) const {
    if (const std::optional<int64_t> ts = frame.timestamp()) {
      return timing_.toSeconds(*ts) - timing_.startSeconds;
    }
    return next_ + latencyFrames_ * static_cast<double>(frame.sampleCount()) / frame.sampleRate();
  }

  StreamTiming timing_;
  int latencyFrames_;
  double start_;
  double end_;
  int16_t* out_;
  int32_t limit_;
  int32_t written_ = 0;
  double next_ = 0.0;
  bool fed_ = false;  // some frame has reached the resampler
  bool pastEnd_ = false;
  bool failed_ = false;
  Resampler resampler_;
};

// Reads packets of `stream` and decodes them into `writer` until the window is complete,
// the input ends, the stream is beyond repair or the deadline passes.
void pump(FormatInput& input, int stream, Decoder& decoder, WindowWriter& writer,
          const Deadline& deadline) {
  Packet packet;
  Frame frame;
  int errors = 0;
  auto drain = [&] {
    for (;;) {
      const ReceiveResult r = decoder.receive(frame);
      if (r == ReceiveResult::kFrame) {
        errors = 0;
        writer.take(frame);
        if (writer.done()) return;
      } else if (r == ReceiveResult::kFailed) {
        ++errors;
      } else {
        return;
      }
    }
  };
  while (!writer.done() && !deadline.expired() && errors < kMaxConsecutiveErrors) {
    const ReadResult read = input.read(packet);
    if (read != ReadResult::kPacket) break;  // end of data, or a read failure ends it too
    if (packet.streamIndex() != stream) continue;
    SendResult sent = decoder.send(packet);
    if (sent == SendResult::kFull) {
      drain();
      if (writer.done()) return;
      sent = decoder.send(packet);
    }
    if (sent == SendResult::kInvalid || sent == SendResult::kFailed) {
      ++errors;
      continue;
    }
    drain();
  }
  if (writer.done() || deadline.expired()) return;
  decoder.sendEnd();
  drain();
}

}  // namespace

WindowResult decodeWindow(const WindowRequest& req) {
  WindowResult result;
  decodercommon::SongFile file = decodercommon::SongFile::open(req.path);
  if (!file) return result;
  const Deadline deadline(kDecodeBudget);
  FormatInput input = FormatInput::open(std::move(file), req.path, deadline);
  if (!input) return result;
  const int stream = input.firstAudioStream();
  if (stream < 0) return result;

  const StreamTiming timing = input.timing(stream);
  if (timing.durationSeconds > 0 && timing.durationSeconds < 2147483647.0) {
    result.mediaSeconds = static_cast<int32_t>(timing.durationSeconds);
  }
  const int32_t start = windowStart(result.mediaSeconds, req.startSeconds, req.lengthSeconds);

  Decoder decoder = Decoder::open(input.codecParameters(stream), timing);
  if (!decoder) return result;
  if (start > 0) {
    // When the container cannot seek, decoding runs from the current position and the
    // writer drops everything before the window.
    input.seekBefore(stream, timing.startSeconds + std::max(0.0, start - kSeekPreroll));
  }

  WindowWriter writer(req, timing, decoder.latencyFrames(), start);
  pump(input, stream, decoder, writer, deadline);
  writer.finish();
  if (writer.failed() || deadline.expired() || writer.written() <= 0) return result;
  result.ok = true;
  result.samples = writer.written();
  return result;
}

}  // namespace tolvane
