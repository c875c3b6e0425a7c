// Move-only owner of one opened input file (AVFormatContext): probing, stream facts,
// seeking and reading packets.
#pragma once

#include <cstdint>
#include <string>

#include "Deadline.h"
#include "FileIo.h"
#include "decodercommon/SongFile.h"

struct AVFormatContext;
struct AVCodecParameters;
struct AVPacket;

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

  // Probes the opened song `file` (its path `path` serves only as a hint of the format by
  // its extension) and keeps it. FFmpeg reads nothing but that file: it reads through our
  // own I/O context, may not open any other file or URL, and only demuxers of audio
  // formats may take it (no playlists, concatenation, images or text). Every blocking
  // FFmpeg call gives up once `deadline` has passed; `deadline` must outlive the input.
  // Returns an empty input when the file cannot be probed. Throws only std::bad_alloc.
  static FormatInput open(decodercommon::SongFile file, const std::string& path,
                          const Deadline& deadline);

  explicit operator bool() const { return context_ != nullptr; }

  // Index of the first audio stream in container order, or -1 when there is none.
  int firstAudioStream() const;
  const AVCodecParameters* codecParameters(int stream) const;
  StreamTiming timing(int stream) const;

  // Moves the read position so that the next packets of `stream` start at or before
  // `seconds` (in the stream's own time), and packets read afterwards carry timestamps true
  // to the sample. Most containers index their packets; plain MP3 files do not, and FFmpeg
  // labels the frame it lands on from a byte estimate that can be a frame or more off. For
  // those, a constant-rate file is seeked fast and its frames relabelled by their byte
  // position (seekMp3); a variable-rate file, whose position says nothing exact, is seeked
  // by reading (not decoding) the frames before the target. Returns false when the
  // container cannot seek; the read position is then unspecified but still valid.
  bool seekBefore(int stream, double seconds);

  // Reads the next packet of any stream into `packet` (which is unreferenced first).
  ReadResult read(Packet& packet);

 private:
  // Relabelling of the packets of one MP3 stream after a fast seek: the first packet read
  // is frame number round((position - firstFrame) / meanFrameBytes) of the stream, and
  // every later packet moves by the same amount.
  struct FrameRelabel {
    int stream = -1;
    bool pending = false;
    int64_t seekedTo = 0;    // byte position the seek landed on
    int64_t firstFrame = 0;  // byte position of the first audio frame
    double meanFrameBytes = 0;
    int samplesPerFrame = 0;
    int sampleRate = 0;
    int64_t offset = 0;  // added to pts and dts, in the stream's time base
  };

  bool isMp3Stream(int stream) const;
  bool seekFast(int stream, int64_t target);
  bool seekMp3(int stream, int64_t target);
  bool seekExact(int stream, int64_t target);
  void relabel(AVPacket* packet);

  // Declared in this order: the context is closed first (in the destructor), then the
  // I/O context it read through, then the file.
  decodercommon::SongFile file_;
  FileIo io_;
  AVFormatContext* context_ = nullptr;
  // Where the demuxer's header parsing left the input: for MP3, the first audio frame.
  int64_t dataOffset_ = -1;
  FrameRelabel relabel_;
};

}  // namespace tolvane
