#include "MpegAudio.h"

#include <cstring>

namespace tolvane {
namespace {

// Bitrates in kbit/s by [table][index]; index 0 (free format) and 15 (invalid) excluded.
constexpr int kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // MPEG-1 L1
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // MPEG-1 L2
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // MPEG-1 L3
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},     // MPEG-2 L1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // MPEG-2 L2, L3
};
constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};

}  // namespace

double MpegFrameHeader::meanBytes() const {
  return static_cast<double>(samplesPerFrame) * bitrate / (8.0 * sampleRate);
}

std::optional<MpegFrameHeader> parseFrameHeader(uint32_t header) {
  if ((header & 0xFFE00000u) != 0xFFE00000u) return std::nullopt;
  const int version = (header >> 19) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
  const int layerBits = (header >> 17) & 3;
  const int bitrateIndex = (header >> 12) & 15;
  const int rateIndex = (header >> 10) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  MpegFrameHeader h;
  h.mpeg1 = version == 3;
  h.layer = 4 - layerBits;
  const int table = h.mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
  h.bitrate = kBitrates[table][bitrateIndex] * 1000;
  h.sampleRate = kMpeg1Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  h.samplesPerFrame = h.layer == 1 ? 384 : (h.layer == 3 && !h.mpeg1 ? 576 : 1152);
  const int padding = (header >> 9) & 1;
  if (h.layer == 1) {
    h.bytes = (12 * h.bitrate / h.sampleRate + padding) * 4;
  } else {
    h.bytes = h.samplesPerFrame / 8 * h.bitrate / h.sampleRate + padding;
  }
  h.mono = ((header >> 6) & 3) == 3;
  return h;
}

int64_t id3v2TagLength(const uint8_t* bytes, size_t size) {
  if (size < 10 || std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] == 0xFF || bytes[4] == 0xFF) {
    return 0;
  }
  int64_t length = 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return 0;  // sizes are "synchsafe": seven bits a byte
    length = (length << 7) | bytes[i];
  }
  const bool footer = (bytes[5] & 0x10) != 0;
  return 10 + length + (footer ? 10 : 0);
}

RateHeader findRateHeader(const MpegFrameHeader& h, const uint8_t* frame, size_t size) {
  // Xing and Info follow the side information of a layer III frame.
  if (h.layer == 3) {
    const size_t sideInfo = h.mpeg1 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
    const size_t at = 4 + sideInfo;
    if (size >= at + 4) {
      if (std::memcmp(frame + at, "Info", 4) == 0) return RateHeader::kConstant;
      if (std::memcmp(frame + at, "Xing", 4) == 0) return RateHeader::kVariable;
    }
  }
  // VBRI (Fraunhofer) sits 32 bytes after the header in every layout.
  if (size >= 40 && std::memcmp(frame + 36, "VBRI", 4) == 0) return RateHeader::kVariable;
  return RateHeader::kNone;
}

}  // namespace tolvane
