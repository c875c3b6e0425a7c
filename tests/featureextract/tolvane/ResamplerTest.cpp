// Tolvane's conversion of decoded frames to S16 mono 22,050 Hz, against libswresample doing
// the whole conversion itself: same count, every sample within one step, however the input
// is cut into frames, offset, limited in room or ended.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Frame.h"
#include "Resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int kOutRate = 22050;

// Sample `i` of channel `c`: a chirp plus pseudo-noise, different on every channel.
float signal(int64_t i, int c) {
  const double t = static_cast<double>(i) / 44100.0;
  uint32_t h = static_cast<uint32_t>(i * 2654435761u + c * 40503u);
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  const double noise = static_cast<double>(h & 0xFFFF) / 65536.0 - 0.5;
  return static_cast<float>(0.5 * std::sin(2 * M_PI * (200.0 + 3000.0 * t) * t + c) + 0.3 * noise);
}

// A frame of `count` samples from stream position `at`.
tolvane::Frame makeFrame(AVSampleFormat format, int rate, int channels, int64_t at, int count) {
  tolvane::Frame frame;
  AVFrame* f = frame.get();
  f->format = format;
  f->sample_rate = rate;
  f->nb_samples = count;
  av_channel_layout_default(&f->ch_layout, channels);
  if (av_frame_get_buffer(f, 0) < 0) throw std::bad_alloc();
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  for (int c = 0; c < channels; ++c) {
    for (int i = 0; i < count; ++i) {
      const float v = signal(at + i, c);
      const int index = planar ? i : i * channels + c;
      uint8_t* plane = f->extended_data[planar ? c : 0];
      if (format == AV_SAMPLE_FMT_S16 || format == AV_SAMPLE_FMT_S16P) {
        reinterpret_cast<int16_t*>(plane)[index] = static_cast<int16_t>(std::lrint(v * 32767));
      } else {
        reinterpret_cast<float*>(plane)[index] = v;
      }
    }
  }
  return frame;
}

struct Case {
  std::string name;
  AVSampleFormat format;
  int rate;
  int channels;
  std::vector<int> frames;  // sizes, repeated until `total` input samples
  int first;                // samples of the first frame to skip
  int room;                 // output room per call
  int total;
};

// Everything one converter gives for the case's frames, then its flush until it is empty.
template <typename Convert, typename Flush>
std::vector<int16_t> run(const Case& c, Convert convert, Flush flush) {
  std::vector<int16_t> out;
  std::vector<int16_t> room(static_cast<size_t>(c.room));
  int64_t at = 0;
  for (size_t k = 0; at < c.total; ++k) {
    const int size = std::min<int64_t>(c.frames[k % c.frames.size()], c.total - at);
    const tolvane::Frame frame = makeFrame(c.format, c.rate, c.channels, at, size);
    const int n = convert(frame, k == 0 ? c.first : 0, room.data(), c.room);
    EXPECT_GE(n, 0) << "frame " << k << " of " << size << " samples";
    out.insert(out.end(), room.begin(), room.begin() + std::max(n, 0));
    at += size;
  }
  for (int guard = 0; guard < 100000; ++guard) {
    const int n = flush(room.data(), c.room);
    if (n <= 0) break;
    out.insert(out.end(), room.begin(), room.begin() + n);
  }
  return out;
}

std::vector<int16_t> reference(const Case& c) {
  SwrContext* swr = nullptr;
  AVChannelLayout in{};
  av_channel_layout_default(&in, c.channels);
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  EXPECT_GE(swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, kOutRate, &in, c.format, c.rate, 0,
                                nullptr),
            0);
  EXPECT_GE(swr_init(swr), 0);
  auto convert = [&](const tolvane::Frame& frame, int first, int16_t* out, int room) {
    const AVFrame* f = frame.get();
    const bool planar = av_sample_fmt_is_planar(c.format) != 0;
    const int bytes = av_get_bytes_per_sample(c.format) * (planar ? 1 : c.channels);
    std::vector<const uint8_t*> planes;
    for (int p = 0; p < (planar ? c.channels : 1); ++p) {
      planes.push_back(f->extended_data[p] + first * bytes);
    }
    uint8_t* o[1] = {reinterpret_cast<uint8_t*>(out)};
    return swr_convert(swr, o, room, planes.data(), f->nb_samples - first);
  };
  auto flush = [&](int16_t* out, int room) {
    uint8_t* o[1] = {reinterpret_cast<uint8_t*>(out)};
    return swr_convert(swr, o, room, nullptr, 0);
  };
  std::vector<int16_t> out = run(c, convert, flush);
  swr_free(&swr);
  return out;
}

TEST(ResamplerTest, MatchesLibswresampleDoingItAll) {
  const Case cases[] = {
      {"mono float planar, MP3 frames", AV_SAMPLE_FMT_FLTP, 44100, 1, {1152}, 300, 4096, 441000},
      {"mono float, AAC frames", AV_SAMPLE_FMT_FLT, 44100, 1, {1024}, 0, 4096, 100000},
      {"stereo float planar", AV_SAMPLE_FMT_FLTP, 44100, 2, {1152}, 17, 4096, 100000},
      {"stereo float interleaved", AV_SAMPLE_FMT_FLT, 44100, 2, {2048}, 0, 4096, 50001},
      {"odd frame sizes", AV_SAMPLE_FMT_FLTP, 44100, 1, {777, 1, 7, 4096, 33, 2}, 5, 4096, 60000},
      {"little room per call", AV_SAMPLE_FMT_FLTP, 44100, 1, {1152}, 0, 100, 30001},
      {"48 kHz (general path)", AV_SAMPLE_FMT_FLTP, 48000, 1, {1152}, 0, 4096, 48000},
      {"16-bit (general path)", AV_SAMPLE_FMT_S16, 44100, 2, {4096}, 0, 4096, 44100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<int16_t> expected = reference(c);
    tolvane::Resampler resampler(kOutRate);
    const std::vector<int16_t> got = run(
        c,
        [&](const tolvane::Frame& f, int first, int16_t* out, int room) {
          return resampler.convert(f, first, out, room);
        },
        [&](int16_t* out, int room) { return resampler.flush(out, room); });
    ASSERT_EQ(got.size(), expected.size());
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      const int d = std::abs(got[i] - expected[i]);
      if (d > worst) {
        worst = d;
        worstAt = i;
      }
    }
    EXPECT_LE(worst, 1) << "at output " << worstAt << " of " << got.size();
  }
}

// Streams shorter than the filter (a millisecond or two) still give about half their
// length, never more, and stay in range.
TEST(ResamplerTest, StreamsShorterThanTheFilterEndCleanly) {
  for (int total : {1, 2, 10, 33, 34, 35, 50, 66, 67}) {
    SCOPED_TRACE(total);
    tolvane::Resampler resampler(kOutRate);
    std::vector<int16_t> out(64, 0x5A5A);
    const tolvane::Frame frame = makeFrame(AV_SAMPLE_FMT_FLTP, 44100, 1, 0, total);
    int n = resampler.convert(frame, 0, out.data(), 32);
    ASSERT_GE(n, 0);
    n += resampler.flush(out.data() + n, 32 - n);
    EXPECT_GE(n, total / 2 - 8);
    EXPECT_LE(n, (total + 1) / 2);
    for (int i = n; i < 64; ++i) EXPECT_EQ(out[i], 0x5A5A);
  }
}

// A change of format mid-stream starts the conversion afresh, as a new stream.
TEST(ResamplerTest, FormatChangeRestartsTheConversion) {
  tolvane::Resampler resampler(kOutRate);
  std::vector<int16_t> out(8192);
  const tolvane::Frame mono = makeFrame(AV_SAMPLE_FMT_FLTP, 44100, 1, 0, 4096);
  const tolvane::Frame stereo = makeFrame(AV_SAMPLE_FMT_FLTP, 44100, 2, 0, 4096);
  const int a = resampler.convert(mono, 0, out.data(), 8192);
  const int b = resampler.convert(stereo, 0, out.data(), 8192);
  tolvane::Resampler fresh(kOutRate);
  const int c = fresh.convert(stereo, 0, out.data(), 8192);
  EXPECT_GT(a, 1900);
  EXPECT_EQ(b, c);
  const tolvane::Frame bad = makeFrame(AV_SAMPLE_FMT_FLTP, 44100, 1, 0, 16);
  bad.get()->sample_rate = 0;
  EXPECT_EQ(resampler.convert(bad, 0, out.data(), 8192), -1);
}

}  // namespace
