// Move-only owner of one opened input file (AVFormatContext): probing, stream facts,
// seeking and reading packets.
#pragma once

#include <cstdint>
#include <string>

#include "Deadline.h"

struct AVFormatContext;
struct AVCodecParameters;

namespace tolvane {

class Packet;

// Time facts of one stream. Timestamps of the stream are in units of num/den seconds.
struct StreamTiming {
  int timeBaseNum = 0;
  int timeBaseDen = 1;
  // Presentation time of the stream's first sample; 0 when the container does not say.
  double startSeconds = 0.0;
  // Length of the stream; negative when unknown.
  double durationSeconds = -1.0;

  double toSeconds(int64_t timestamp) const;
  int64_t fromSeconds(double seconds) const;
};

enum class ReadResult { kPacket, kEnd, kError };

class FormatInput {
 public:
  FormatInput() = default;
  ~FormatInput();
  FormatInput(FormatInput&& other) noexcept;
  FormatInput& operator=(FormatInput&& other) noexcept;
  FormatInput(const FormatInput&) = delete;
  FormatInput& operator=(const FormatInput&) = delete;

  // Opens and probes `path` (UTF-8). Seeking is set to FFmpeg's fast mode (no reading of the
  // whole file to find a position), and every blocking FFmpeg call gives up once `deadline`
  // has passed; `deadline` must outlive the input. Returns an empty input when the file
  // cannot be opened or probed. Throws only std::bad_alloc.
  static FormatInput open(const std::string& path, const Deadline& deadline);

  explicit operator bool() const { return context_ != nullptr; }

  // Index of the first audio stream in container order, or -1 when there is none.
  int firstAudioStream() const;
  const AVCodecParameters* codecParameters(int stream) const;
  StreamTiming timing(int stream) const;

  // Moves the read position so that the next packets of `stream` start at or before
  // `seconds` (in the stream's own time). Packets read afterwards carry the container's
  // timestamps; for MP3 these come from the demuxer's bitrate estimate and may be up to one
  // frame (26 ms) off. Returns false when the container cannot seek; the
  // read position is then unspecified but still valid.
  bool seekBefore(int stream, double seconds);

  // Reads the next packet of any stream into `packet` (which is unreferenced first).
  ReadResult read(Packet& packet);

 private:
  AVFormatContext* context_ = nullptr;
};

}  // namespace tolvane
