// Tolvane.so decodes real encoded files (made by the audio_fixtures target) with FFmpeg:
// what is its own (window placement of MP3 layouts, seeking, the engine's reference count).
// The contract it shares with Pradix is in tests/featureextract/contract.
// The module is loaded from the program folder exactly as Sonalyx loads it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "DecodedAudio.h"
#include "tolvane/Tolvane.h"
#include "zarvell/module.h"

namespace {

using namespace decodertest;

class TolvaneTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = new zarvell::Module(zarvell::Module::load(TOLVANE_MODULE_NAME));
    ASSERT_TRUE(*module_) << module_->error();
    init_ = module_->entry<TolvaneInitEngineFn>(TOLVANE_INIT_ENGINE);
    close_ = module_->entry<TolvaneCloseEngineFn>(TOLVANE_CLOSE_ENGINE);
    convert_ = module_->entry<TolvaneConvertToWaveFn>(TOLVANE_CONVERT_TO_WAVE);
    ASSERT_NE(init_, nullptr);
    ASSERT_NE(close_, nullptr);
    ASSERT_NE(convert_, nullptr);
    ASSERT_EQ(init_(), ZARVELL_S_OK);
  }
  static void TearDownTestSuite() {
    if (close_ != nullptr) close_();
    delete module_;
    module_ = nullptr;
  }

  // Decodes `path` into a buffer of `capacity` samples followed by a guard zone.
  static Decoded decode(const std::string& path, int32_t start = 60, int32_t length = 30,
                        int32_t capacity = kCapacity) {
    Decoded d;
    d.samples.assign(static_cast<size_t>(std::max(capacity, 0)) + 4096, kGuard);
    const std::u16string wide = u16(path);
    d.status =
        convert_(wide.c_str(), d.samples.data(), capacity, start, length, &d.count, &d.media);
    return d;
  }

  static void expectGuardIntact(const Decoded& d, int32_t capacity) {
    for (size_t i = static_cast<size_t>(capacity); i < d.samples.size(); ++i) {
      ASSERT_EQ(d.samples[i], kGuard) << "written past the capacity at " << i;
    }
  }

  static zarvell::Module* module_;
  static TolvaneInitEngineFn init_;
  static TolvaneCloseEngineFn close_;
  static TolvaneConvertToWaveFn convert_;
};

zarvell::Module* TolvaneTest::module_ = nullptr;
TolvaneInitEngineFn TolvaneTest::init_ = nullptr;
TolvaneCloseEngineFn TolvaneTest::close_ = nullptr;
TolvaneConvertToWaveFn TolvaneTest::convert_ = nullptr;

// Short songs: the start moves back to (song - length), not below 0, and the count shows
// how much of the song there was.
TEST_F(TolvaneTest, WindowMovesBackForShortSongs) {
  struct Case {
    const char* name;
    int32_t start, length;
    int32_t media;
    double onset;  // first burst, seconds into the window
    int32_t minCount, maxCount;
  };
  const Case cases[] = {
      // 50 s song: 60..90 becomes 20..50; its burst at 25 s is 5 s in.
      {"marker_50s.mp3", 60, 30, 50, 5.0, kCapacity - 2205, kCapacity},
      {"marker_50s.wav", 60, 30, 50, 5.0, kCapacity, kCapacity},
      // 100 s song: 60..90 fits and stays; the 65 s burst is 5 s in, the 15 s one is out.
      {"marker_100s.mp3", 60, 30, 100, 5.0, kCapacity, kCapacity},
      // 100 s song with a 50 s window: 60..110 becomes 50..100.
      {"marker_100s.wav", 60, 50, 100, 15.0, kCapacity, kCapacity},
      // 50 s song with a 90 s window: start clamps to 0; the burst at 25 s.
      {"marker_50s.wav", 60, 90, 50, 25.0, kCapacity, kCapacity},
      {"marker_50s.mp3", 60, 90, 50, 25.0, kCapacity, kCapacity},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " length " + std::to_string(c.length));
    const Decoded d = decode(fixture(c.name), c.start, c.length);
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_EQ(d.media, c.media);
    EXPECT_GE(d.count, c.minCount);
    EXPECT_LE(d.count, c.maxCount);
    const auto onset = firstOnsetSeconds(d.samples, d.count);
    ASSERT_TRUE(onset.has_value());
    std::printf("[ window   ] %-16s start %d length %d: onset %.4f s (expected %.1f)\n", c.name,
                c.start, c.length, *onset, c.onset);
    EXPECT_NEAR(*onset, c.onset, 0.010);
  }
}

// MP3 files carry no packet index, so after a fast seek the window start rests on knowing
// which frame the seek landed on. Every layout puts the window within 10 ms of its start:
// constant and variable rate, with and without ID3v2 tag, Info header or none, MPEG-1 and
// MPEG-2 frames, early and late in the file.
TEST_F(TolvaneTest, Mp3WindowStartsOnTimeInEveryLayout) {
  const std::string dir = std::string(ZARVELL_TEST_DATA_DIR) + "/tolvane-mp3/";
  // Without an Info header nothing tells the decoder the encoder's delay, so the file's
  // audio itself starts that much late; measure it where no seek is involved.
  const Decoded fromStart = decode(dir + "b25_50s_cbr32_notag.mp3", 0, 30);
  ASSERT_EQ(fromStart.status, ZARVELL_S_OK);
  const auto notagBurst = firstOnsetSeconds(fromStart.samples, fromStart.count);
  ASSERT_TRUE(notagBurst.has_value());
  const double notagDelay = *notagBurst - 25.0;
  EXPECT_NEAR(notagDelay, 0.025, 0.005);  // LAME's 576 + the decoder's 529 samples

  struct Song {
    const char* prefix;
    int32_t start;  // asked for
    int32_t media;
  };
  const Song songs[] = {
      {"b25_50s_", 60, 50},     // moved back to 20 s; burst at 25 s
      {"b65_100s_", 60, 100},   // 60 s; burst at 65 s
      {"b155_240s_", 150, 240}  // 150 s; burst at 155 s
  };
  for (const Song& song : songs) {
    for (const char* layout :
         {"cbr32", "cbr32_id3", "cbr128s", "cbr32_notag", "vbr", "vbr_id3", "mpeg2", "cbr64_48k"}) {
      const std::string name = std::string(song.prefix) + layout + ".mp3";
      SCOPED_TRACE(name);
      const Decoded d = decode(dir + name, song.start, 30);
      ASSERT_EQ(d.status, ZARVELL_S_OK);
      EXPECT_EQ(d.media, song.media);
      EXPECT_GE(d.count, kCapacity - 2205);
      EXPECT_LE(d.count, kCapacity);
      const auto onset = firstOnsetSeconds(d.samples, d.count);
      ASSERT_TRUE(onset.has_value());
      const double expected = 5.0 + (std::string(layout) == "cbr32_notag" ? notagDelay : 0.0);
      std::printf("[ mp3      ] %-26s onset %.4f s (offset %+.1f ms)\n", name.c_str(), *onset,
                  (*onset - expected) * 1000.0);
      EXPECT_NEAR(*onset, expected, 0.010);
    }
  }
}

// A window from the very start of a song keeps its timing in every format. The WMA decoder
// gives nothing for a stream's first frame; the window must not move up to fill that gap.
TEST_F(TolvaneTest, WindowFromTheSongStartKeepsItsTiming) {
  const int32_t whole = 90 * kRate;
  for (const char* name : {"marker65_240s.mp3", "marker65_240s_id3.mp3", "marker65_240s.m4a",
                           "marker65_240s.wav", "marker65_240s.wma"}) {
    SCOPED_TRACE(name);
    const Decoded d = decode(fixture(name), 0, 90, whole);
    ASSERT_EQ(d.status, ZARVELL_S_OK);
    EXPECT_GE(d.count, whole - 64);
    EXPECT_LE(d.count, whole);
    const auto onset = firstOnsetSeconds(d.samples, d.count);
    ASSERT_TRUE(onset.has_value());
    EXPECT_NEAR(*onset, 65.0, 0.010);
    EXPECT_LT(peak(d.samples, 0, 64 * kRate), 64);  // nothing but the burst
  }
}

// A window reached by seeking holds the same samples as the same stretch of a decode that
// ran from the start of the song: the seek lands on the right frame and the decoder's state
// (MP3 bit reservoir, transform overlap) is settled before the window begins. Only the
// resampler's first few outputs may differ, as its filter starts afresh at the window. (WMA
// is left out: its container stamps packets to the millisecond, too coarse for a sample.)
TEST_F(TolvaneTest, SeekedWindowMatchesDecodingFromTheStart) {
  const std::string variants = std::string(ZARVELL_TEST_DATA_DIR) + "/tolvane-mp3/";
  struct Case {
    std::string path;
    int maxDifference;  // in LSB; AAC's noise substitution draws from a running generator
  };
  const Case cases[] = {
      {fixture("tone4k_100s.mp3"), 2},    {fixture("click120_100s.mp3"), 2},
      {fixture("tone4k_100s.m4a"), 16},   {variants + "b65_100s_cbr32_id3.mp3", 2},
      {variants + "b65_100s_vbr.mp3", 2}, {variants + "b65_100s_mpeg2.mp3", 2},
  };
  constexpr int32_t kStart = 60;
  const int32_t whole = 90 * kRate;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Decoded seeked = decode(c.path, kStart, 30);
    const Decoded fromStart = decode(c.path, 0, 90, whole);
    ASSERT_EQ(seeked.status, ZARVELL_S_OK);
    ASSERT_EQ(fromStart.status, ZARVELL_S_OK);
    ASSERT_GE(fromStart.count, whole - 2205);
    int worst = 0;
    int32_t worstAt = 0;
    for (int32_t i = 64; i < seeked.count && kStart * kRate + i < fromStart.count; ++i) {
      const int d = std::abs(seeked.samples[i] - fromStart.samples[kStart * kRate + i]);
      if (d > worst) {
        worst = d;
        worstAt = i;
      }
    }
    EXPECT_LE(worst, c.maxDifference) << "at window sample " << worstAt;
  }
}

TEST_F(TolvaneTest, SilenceIsDecodedAsSilence) {
  const Decoded d = decode(fixture("silence_240s.mp3"));
  ASSERT_EQ(d.status, ZARVELL_S_OK);
  EXPECT_EQ(d.count, kCapacity);
  EXPECT_EQ(d.media, 240);
  EXPECT_LT(peak(d.samples, 0, d.count), 64);
}

// A WAV file cut short is as long as its data, whatever its header claims.
TEST_F(TolvaneTest, TruncatedWavGivesTheDataThatIsThere) {
  const Decoded d = decode(fixture("truncated_240s.wav"));
  ASSERT_EQ(d.status, ZARVELL_S_OK);
  EXPECT_EQ(d.media, 1);
  EXPECT_EQ(d.count, kRate);
}

TEST_F(TolvaneTest, InvalidArgumentsFail) {
  std::vector<int16_t> buffer(16, kGuard);
  int32_t count = -1, media = -1;
  EXPECT_EQ(convert_(nullptr, buffer.data(), 16, 60, 30, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(media, 0);
  EXPECT_EQ(convert_(u"", buffer.data(), 16, 60, 30, &count, &media), ZARVELL_E_FAIL);
  const std::u16string path = u16(fixture("tone1k_20s.mp3"));
  EXPECT_EQ(convert_(path.c_str(), nullptr, 16, 60, 30, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(convert_(path.c_str(), buffer.data(), 0, 60, 30, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(convert_(path.c_str(), buffer.data(), -5, 60, 30, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(convert_(path.c_str(), buffer.data(), 16, -1, 30, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(convert_(path.c_str(), buffer.data(), 16, 60, 0, &count, &media), ZARVELL_E_FAIL);
  EXPECT_EQ(count, 0);
  for (int16_t s : buffer) EXPECT_EQ(s, kGuard);
  // The out values are optional.
  EXPECT_EQ(convert_(path.c_str(), buffer.data(), 16, 0, 30, nullptr, nullptr), ZARVELL_S_OK);
}

// InitEngine/CloseEngine are reference counted: the runtime stays started (FFmpeg's log
// quietened) until the last CloseEngine, and extra closes do no harm.
TEST_F(TolvaneTest, EngineIsReferenceCounted) {
  const int started = av_log_get_level();  // the suite holds one reference
  EXPECT_EQ(started, AV_LOG_FATAL);
  EXPECT_EQ(init_(), ZARVELL_S_OK);
  EXPECT_EQ(close_(), ZARVELL_S_OK);
  EXPECT_EQ(av_log_get_level(), AV_LOG_FATAL);  // the suite's reference still holds

  EXPECT_EQ(close_(), ZARVELL_S_OK);  // the last reference: log level restored
  EXPECT_NE(av_log_get_level(), AV_LOG_FATAL);
  EXPECT_EQ(close_(), ZARVELL_S_OK);  // one too many: harmless
  // Decoding does not need the engine to be started.
  EXPECT_EQ(decode(fixture("tone1k_20s.mp3")).status, ZARVELL_S_OK);

  // Many threads starting and stopping at once leave the count balanced.
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        if (init_() != ZARVELL_S_OK) ++failures;
        if (close_() != ZARVELL_S_OK) ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_NE(av_log_get_level(), AV_LOG_FATAL);
  ASSERT_EQ(init_(), ZARVELL_S_OK);  // give the suite its reference back
  EXPECT_EQ(av_log_get_level(), AV_LOG_FATAL);
}

}  // namespace
