// Facts about MPEG audio (MP3) files that FFmpeg's demuxer does not expose: frame headers,
// the ID3v2 tags in front of the first frame and the Xing/Info/VBRI header that encoders
// write into it. Pure byte parsing, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tolvane {

// One MPEG audio frame header (layers I to III, MPEG-1, -2 and -2.5).
struct MpegFrameHeader {
  int bitrate = 0;          // bits per second; free-format frames are not accepted
  int sampleRate = 0;       // Hz
  int samplesPerFrame = 0;  // 384, 576 or 1152
  int bytes = 0;            // whole frame, header included
  int layer = 0;            // 1, 2 or 3
  bool mpeg1 = false;
  bool mono = false;

  // Average size of a frame of a constant-rate stream at this header's bitrate and rate:
  // encoders set the padding bit on some frames to keep the mean exactly at this value.
  double meanBytes() const;
};

// Decodes the four header bytes `header` (big-endian). Nothing when they are not a valid
// header of a fixed-bitrate frame. Never throws.
std::optional<MpegFrameHeader> parseFrameHeader(uint32_t header);

// Total length of the ID3v2 tag starting at `bytes`, or 0 when `bytes` do not start one.
// `size` must be at least 10. Never throws.
int64_t id3v2TagLength(const uint8_t* bytes, size_t size);

// The rate-control header an encoder may put in the first frame instead of audio.
enum class RateHeader { kNone, kConstant /* "Info" */, kVariable /* "Xing" or "VBRI" */ };

// Looks for a Xing, Info or VBRI header inside the frame whose first `size` bytes are
// `frame` (starting with its header `h`). Never throws.
RateHeader findRateHeader(const MpegFrameHeader& h, const uint8_t* frame, size_t size);

}  // namespace tolvane
