// Pradix.so decodes real encoded files (made by the audio_fixtures target) through a real
// GStreamer pipeline: what is its own (window placement, the time-out, argument statuses).
// The contract it shares with Tolvane is in tests/featureextract/contract. The module is
// loaded from the program folder as Sonalyx loads it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "DecodedAudio.h"
#include "pradix/Pradix.h"
#include "zarvell/module.h"

namespace {

using namespace decodertest;

class PradixTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = new zarvell::Module(zarvell::Module::load(PRADIX_MODULE_NAME));
    ASSERT_TRUE(*module_) << module_->error();
    extract_ = module_->entry<PradixExtractAudioDSFn>(PRADIX_EXTRACT_AUDIO_DS);
    ASSERT_NE(extract_, nullptr);
  }
  static void TearDownTestSuite() {
    delete module_;
    module_ = nullptr;
  }

  // Sonalyx's call: start 60, length 90, time-out 15 s, into a buffer with a guard zone.
  static Decoded decode(const std::string& path, int32_t start = 60, int32_t length = 90,
                        int32_t capacity = kCapacity, int32_t timeoutMs = 15000) {
    Decoded d;
    d.samples.assign(static_cast<size_t>(std::max(capacity, 0)) + 4096, kGuard);
    const std::u16string wide = u16(path);
    d.status = extract_(wide.c_str(), d.samples.data(), capacity, start, length, timeoutMs,
                        &d.count, &d.media);
    return d;
  }

  static void expectGuardIntact(const Decoded& d, int32_t capacity) {
    for (size_t i = static_cast<size_t>(capacity); i < d.samples.size(); ++i) {
      ASSERT_EQ(d.samples[i], kGuard) << "written past the capacity at " << i;
    }
  }

  static zarvell::Module* module_;
  static PradixExtractAudioDSFn extract_;
};

zarvell::Module* PradixTest::module_ = nullptr;
PradixExtractAudioDSFn PradixTest::extract_ = nullptr;

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, no reflection, initial value 0,
// over the page with its checksum field zeroed.
uint32_t oggChecksum(const unsigned char* page, size_t size) {
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint32_t>(page[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Copies the Ogg file `from` to `to` with the granule position of its first audio page (the
// first page with a positive one) set to `granule`, checksum renewed: the mark some early
// Vorbis encoders left. Returns false when `from` has no such page.
bool writeWithFirstGranule(const std::string& from, const std::string& to, int64_t granule) {
  std::ifstream in(from, std::ios::binary);
  std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), {});
  for (size_t at = 0;
       at + 27 <= d.size() && std::equal(d.begin() + at, d.begin() + at + 4, "OggS");) {
    const size_t segments = d[at + 26];
    size_t size = 27 + segments;
    for (size_t i = 0; i < segments && at + 27 + i < d.size(); ++i) size += d[at + 27 + i];
    if (at + size > d.size()) return false;
    int64_t old = 0;
    for (int i = 7; i >= 0; --i) old = (old << 8) | d[at + 6 + i];
    if (old > 0) {
      for (int i = 0; i < 8; ++i)
        d[at + 6 + i] = static_cast<unsigned char>(static_cast<uint64_t>(granule) >> (8 * i));
      std::fill_n(d.begin() + at + 22, 4, 0);
      const uint32_t crc = oggChecksum(d.data() + at, size);
      for (int i = 0; i < 4; ++i) d[at + 22 + i] = static_cast<unsigned char>(crc >> (8 * i));
      std::ofstream(to, std::ios::binary)
          .write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
      return true;
    }
    at += size;
  }
  return false;
}

// Short songs: the end is cut to the duration and the start moves back by as much.
TEST_F(PradixTest, WindowMovesBackForShortSongs) {
  constexpr int32_t kLarge = 100 * kRate;  // room for the whole window
  struct Case {
    const char* name;
    int32_t capacity;
    int32_t media;
    double onset;    // first burst, seconds into the window
    double seconds;  // expected window length
    // An MP3 stream is a whole number of frames, so its duration runs up to one frame past
    // the song and the moved start lands up to that much later.
    double tolerance;
  };
  const Case cases[] = {
      // 100 s: 60..150 becomes 10..100; the bursts at 15 and 65 s land at 5 and 55 s.
      {"marker_100s.wav", kLarge, 100, 5.0, 90.0, 0.010},
      {"marker_100s.mp3", kLarge, 100, 5.0, 90.0, 0.027},
      // 50 s: start 60 - 100 clamps to 0, end 50; the burst at 25 s stays at 25 s.
      {"marker_50s.wav", kLarge, 50, 25.0, 50.0, 0.010},
      {"marker_50s.mp3", kLarge, 50, 25.0, 50.0, 0.010},
      // The same with Sonalyx's buffer: 30 s from the moved start.
      {"marker_100s.mp3", kCapacity, 100, 5.0, 30.0, 0.027},
      {"marker_50s.mp3", kCapacity, 50, 25.0, 30.0, 0.010},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " capacity " + std::to_string(c.capacity));
    const Decoded d = decode(fixture(c.name), 60, 90, c.capacity);
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.media, c.media);
    EXPECT_NEAR(d.count, c.seconds * kRate, kRate / 20);
    const auto onset = firstOnsetSeconds(d.samples, d.count);
    ASSERT_TRUE(onset.has_value());
    std::printf("[ window   ] %-16s capacity %7d: onset %.4f s (expected %.1f), %d samples\n",
                c.name, c.capacity, *onset, c.onset, d.count);
    EXPECT_NEAR(*onset, c.onset, c.tolerance);
    if (c.seconds > 60) {  // the second burst, at 65 s of the song, 55 s into the window
      const auto second =
          firstOnsetSeconds(std::vector<int16_t>(d.samples.begin() + 50 * kRate, d.samples.end()),
                            d.count - 50 * kRate);
      ASSERT_TRUE(second.has_value());
      EXPECT_NEAR(50.0 + *second, 55.0, c.tolerance);
    }
    expectGuardIntact(d, c.capacity);
  }
}

// Files cut short are as long as the data that is really there, whatever their headers
// claim: the window moves back onto it.
TEST_F(PradixTest, TruncatedFilesGiveTheDataThatIsThere) {
  struct Case {
    const char* name;
    int32_t media;
    double seconds;
  };
  for (const Case& c : {Case{"truncated_240s.wav", 1, 1.0}, Case{"truncated_240s.mp3", 8, 8.1}}) {
    SCOPED_TRACE(c.name);
    const Decoded d = decode(fixture(c.name));
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.media, c.media);
    EXPECT_NEAR(d.count, c.seconds * kRate, kRate / 10);
  }
}

// An Ogg Vorbis file whose first audio page has a negative granule position (as some early
// encoders wrote them) plays from its start, but a seek ends its stream at once: the window
// is then read by decoding from the start.
TEST_F(PradixTest, OggThatBreaksWhenSoughtStillGivesItsWindow) {
  const ScratchDir dir;
  struct Case {
    const char* name;
    double burst;        // seconds into the song
    double windowStart;  // in the intact song
    int32_t seconds;     // the intact song's length
  };
  for (const Case& c :
       {Case{"marker_50s.ogg", 25.0, 0.0, 50}, Case{"marker_100s.ogg", 15.0, 10.0, 100}}) {
    SCOPED_TRACE(c.name);
    const std::string broken = dir.path() + "/" + c.name;
    ASSERT_TRUE(writeWithFirstGranule(fixture(c.name), broken, -104));
    const Decoded d = decode(broken);
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.count, kCapacity);
    // GStreamer drops the broken page, about a second of audio here: the song comes out that
    // much shorter and its audio that much earlier.
    EXPECT_NEAR(d.media, c.seconds - 1, 1);
    const auto onset = firstOnsetSeconds(d.samples, d.count);
    ASSERT_TRUE(onset.has_value());
    std::printf("[ window   ] %s with a negative granule: onset %.4f s, media %d s\n", c.name,
                *onset, d.media);
    EXPECT_NEAR(*onset, c.burst - c.windowStart, 1.1);
    expectGuardIntact(d, kCapacity);
  }
}

// The time-out bounds the whole call: a decode that cannot finish in time ends with E_ABORT
// shortly after it, and the buffer is no longer written once the call has returned.
TEST_F(PradixTest, TimeOutAbortsTheDecode) {
  for (int32_t timeout : {0, 1}) {
    SCOPED_TRACE(timeout);
    const auto before = std::chrono::steady_clock::now();
    Decoded d = decode(fixture("tone4k_240s.mp3"), 60, 90, kCapacity, timeout);
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_EQ(d.status, ZARVELL_E_ABORT);
    EXPECT_LE(d.count, kCapacity);
    EXPECT_LT(took, std::chrono::seconds(5));
    const std::vector<int16_t> snapshot = d.samples;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(snapshot, d.samples);
  }
}

TEST_F(PradixTest, InvalidArgumentsAreRefused) {
  std::vector<int16_t> buffer(16, kGuard);
  int32_t count = -1, media = -1;
  EXPECT_EQ(extract_(nullptr, buffer.data(), 16, 60, 90, 15000, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(media, 0);
  EXPECT_EQ(extract_(u"", buffer.data(), 16, 60, 90, 15000, &count, &media), ZARVELL_E_FAIL);
  const std::u16string path = u16(fixture("tone1k_20s.mp3"));
  struct Case {
    int16_t* buffer;
    int32_t capacity, start, length, timeout;
  };
  for (const Case& c :
       {Case{nullptr, 16, 60, 90, 15000}, Case{buffer.data(), 0, 60, 90, 15000},
        Case{buffer.data(), -1, 60, 90, 15000}, Case{buffer.data(), 16, -1, 90, 15000},
        Case{buffer.data(), 16, 60, 0, 15000}, Case{buffer.data(), 16, 60, 90, -1}}) {
    EXPECT_EQ(
        extract_(path.c_str(), c.buffer, c.capacity, c.start, c.length, c.timeout, &count, &media),
        ZARVELL_E_INVALIDARG);
    EXPECT_EQ(count, 0);
  }
  for (int16_t s : buffer) EXPECT_EQ(s, kGuard);
  // The out values are optional.
  EXPECT_EQ(extract_(path.c_str(), buffer.data(), 16, 0, 90, 15000, nullptr, nullptr),
            ZARVELL_S_OK);
}

}  // namespace
