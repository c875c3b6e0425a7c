// GetFeatures through the real Sonalyx module: the pipeline's results, counters, progress
// texts, cancellation and the statuses of the three entry points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "SampleHash.h"
#include "SonalyxTestSupport.h"

extern "C" size_t sonalyxFESyncItemSizeFromC(void);

namespace sonalyx::test {
namespace {

// The one FESyncItem definition has the same layout compiled as C and as C++: 169 bytes
// on x86-64 (16 pointers, 10 integers, 1 byte).
TEST(Records, CAndCxxAgreeOnTheSharedRecord) {
  EXPECT_EQ(sonalyxFESyncItemSizeFromC(), sizeof(FESyncItem));
  EXPECT_EQ(sizeof(FESyncItem), 1 + 16 * sizeof(void*) + 10 * 4);
}

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = SonalyxModule::load(std::string(ZARVELL_PROGRAM_DIR) + "/Sonalyx.so");
    ASSERT_TRUE(module_.ok()) << module_.module.error();
  }
  static std::string hashOf(const std::string& file) {
    const std::u16string path = zarvell::pathToUtf16(file);
    return sampleHash(path.c_str());
  }
  SonalyxModule module_;
};

// Writes a 16-bit mono 22,050 Hz WAV file of `samples` samples of a 1 kHz tone.
void writeToneWav(const std::string& path, std::uint32_t samples) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&out](std::uint16_t v) {
    out.put(static_cast<char>(v & 0xFF));
    out.put(static_cast<char>(v >> 8));
  };
  out << "RIFF";
  u32(36 + samples * 2);
  out << "WAVEfmt ";
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(SONALYX_SAMPLE_RATE);
  u32(SONALYX_SAMPLE_RATE * 2);
  u16(2);
  u16(16);
  out << "data";
  u32(samples * 2);
  for (std::uint32_t i = 0; i < samples; ++i) {
    const double v = 12000.0 * std::sin(2 * M_PI * 1000.0 * i / SONALYX_SAMPLE_RATE);
    u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
  }
}

TEST_F(Pipeline, EntryPointsAnswerNullAndBadArguments) {
  EXPECT_EQ(module_.getFeatures(nullptr, nullptr, 0, nullptr, 3), ZARVELL_E_HANDLE);
  EXPECT_EQ(module_.destroy(nullptr), ZARVELL_E_FAIL);
  EXPECT_EQ(module_.init(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ZARVELL_E_INVALIDARG);

  void* handle = nullptr;
  ASSERT_EQ(module_.init(&handle, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  ASSERT_NE(handle, nullptr);
  FeatureResult result{};
  EXPECT_EQ(module_.getFeatures(handle, nullptr, 1, &result, 0), ZARVELL_E_INVALIDARG);
  EXPECT_EQ(module_.getFeatures(handle, nullptr, -1, nullptr, 0), ZARVELL_E_INVALIDARG);
  // No callbacks at all: still a full run.
  SongList songs;
  songs.add(audioFile("tone1k_20s.wav"));
  auto& items = songs.items();
  EXPECT_EQ(module_.getFeatures(handle, items.data(), 1, &result, 0), -1);
  EXPECT_EQ(result.hasFeatures, 1);
  EXPECT_EQ(result.known, 0);
  EXPECT_EQ(module_.destroy(handle), 0);
}

TEST_F(Pipeline, NoSongsMakesTheFirstAndTheFinalReportOnly) {
  Recorder recorder;
  Session session(module_, recorder);
  EXPECT_EQ(module_.getFeatures(session.handle(), nullptr, 0, nullptr, 3), -1);
  ASSERT_EQ(recorder.reports.size(), 2u);
  EXPECT_EQ(recorder.reports[0].text, "Scanning Database");
  EXPECT_EQ(recorder.reports[0].total, 0);
  EXPECT_EQ(recorder.reports[1].text, "Step Processing Complete");
  EXPECT_EQ(recorder.reports[1].current, 0);
  EXPECT_EQ(recorder.reports[1].total, 0);
  EXPECT_TRUE(recorder.lookups.empty());
}

TEST_F(Pipeline, AnalysesUnknownSongsWithFlagsZero) {
  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  const std::vector<std::string> files = {audioFile("marker65_240s.mp3"),
                                          audioFile("tone1k_20s.m4a"), audioFile("noise_30s.wav")};
  for (const auto& f : files) songs.add(f);
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 0), -1);

  const int expectedSeconds[] = {240, 20, 30};
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(std::string(results[i].md5), hashOf(files[i])) << i;
    EXPECT_EQ(results[i].hasFeatures, 1) << i;
    EXPECT_EQ(results[i].known, 0) << i;
    EXPECT_EQ(secondsOf(results[i]), expectedSeconds[i]) << i;
    const auto f = featuresOf(results[i]);
    EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](float v) { return std::isfinite(v); })) << i;
    EXPECT_TRUE(std::any_of(f.begin(), f.end(), [](float v) { return v != 0.0f; })) << i;
  }
  // Different songs, different features.
  EXPECT_NE(featuresOf(results[1]), featuresOf(results[2]));

  // Lookups on the hash worker's thread, progress on the caller's.
  EXPECT_EQ(recorder.lookups.size(), files.size());
  ASSERT_EQ(recorder.lookupThreads.size(), 1u);
  EXPECT_NE(*recorder.lookupThreads.begin(), std::this_thread::get_id());
  ASSERT_EQ(recorder.progressThreads.size(), 1u);
  EXPECT_EQ(*recorder.progressThreads.begin(), std::this_thread::get_id());

  ASSERT_GE(recorder.reports.size(), 3u);
  const Report& last = recorder.reports.back();
  EXPECT_EQ(last.text, "Step Processing Complete");
  EXPECT_EQ(last.current, 3);
  EXPECT_EQ(last.total, 3);
  EXPECT_EQ(last.hashed, 3);
  EXPECT_EQ(last.skipped, 0);
  EXPECT_EQ(last.analysed, 3);
  EXPECT_EQ(last.pending, 0);
}

TEST_F(Pipeline, KnownSongsAreNeitherDownloadedNorAnalysed) {
  Recorder recorder;
  recorder.knowAll = true;
  Session session(module_, recorder);
  SongList songs;
  songs.add(audioFile("tone1k_20s.wav"));
  songs.add(audioFile("marker65_240s.m4a"));
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 3), -1);  // no exchange was made
  for (const auto& r : results) {
    EXPECT_EQ(std::string(r.md5).size(), 32u);
    EXPECT_EQ(r.hasFeatures, 1);
    EXPECT_EQ(r.known, 1);
    EXPECT_EQ(secondsOf(r), 0);  // never decoded
  }
  const Report& last = recorder.reports.back();
  EXPECT_EQ(last.text, "Step Processing Complete");
  EXPECT_EQ(last.skipped, 2);
  EXPECT_EQ(last.analysed, 0);
}

TEST_F(Pipeline, SongsWithoutHashAreSkippedAndUnreadableSongsKeepNoFeatures) {
  TempDir dir;
  fs::copy_file(audioFile("tone1k_20s.wav"), dir.path() / "song.aiff");
  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  songs.add(dir.file("song.aiff"));           // no hash: skipped, never looked up
  songs.add(dir.file("missing.mp3"));         // cannot be opened: no hash either
  songs.addNullPath();                        // no path: no hash
  songs.add(audioFile("garbage.mp3"));        // hashed, but no decoder reads it
  songs.add(audioFile("not_audio.wav"));      // hashed, but no decoder reads it
  songs.add(audioFile("tone1k_20s.wav"));     // fine
  std::vector<FeatureResult> results;
  // The community server refuses the connection (nothing listens on port 1 of 127.0.0.1):
  // the call reports the failed exchange (12029, cannot connect) and analyses locally.
  ScopedEnv community("ZARVELL_COMMUNITY_HOST", "127.0.0.1:1");
  EXPECT_EQ(session.run(songs, results, 3), 12029);

  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(results[i].md5, "") << i;
    EXPECT_EQ(results[i].hasFeatures, 0) << i;
  }
  for (int i = 3; i < 5; ++i) {
    EXPECT_EQ(std::string(results[i].md5).size(), 32u) << i;
    EXPECT_EQ(results[i].hasFeatures, 0) << i;
    EXPECT_EQ(secondsOf(results[i]), 0) << i;
  }
  EXPECT_EQ(results[5].hasFeatures, 1);
  EXPECT_EQ(secondsOf(results[5]), 20);
  EXPECT_EQ(recorder.lookups.size(), 3u);
  const Report& last = recorder.reports.back();
  EXPECT_EQ(last.text, "Step Processing Complete");
  EXPECT_EQ(last.hashed, 6);
  EXPECT_EQ(last.skipped, 3);
  EXPECT_EQ(last.analysed, 3);
  EXPECT_EQ(last.current, 6);
}

// Hostile and unlucky files beside a good song: distinct empty files get no identity, a
// window of less than a second gets no features, and a name that is not valid UTF-8 is
// hashed and analysed exactly as the same bytes under another name.
TEST_F(Pipeline, EmptyFilesShortWindowsAndNonUtf8NamesAreHandledSoundly) {
  TempDir dir;
  std::ofstream(dir.file("first.mp3")).close();
  std::ofstream(dir.file("second.mp3")).close();
  writeToneWav(dir.file("one_sample.wav"), 1);
  writeToneWav(dir.file("almost_a_second.wav"), SONALYX_SAMPLE_RATE - 1);
  writeToneWav(dir.file("one_second.wav"), SONALYX_SAMPLE_RATE);
  const std::string odd = dir.file("caf\xe9 \xff.wav");
  fs::copy_file(audioFile("tone1k_20s.wav"), odd);
  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  for (const char* name : {"first.mp3", "second.mp3", "one_sample.wav", "almost_a_second.wav",
                           "one_second.wav"}) {
    songs.add(dir.file(name));
  }
  songs.add(odd);
  songs.add(audioFile("tone1k_20s.wav"));
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 0), -1);

  for (int i : {0, 1}) {
    EXPECT_STREQ(results[i].md5, "") << i;
    EXPECT_EQ(results[i].hasFeatures, 0) << i;
  }
  for (int i : {2, 3}) {  // hashed, decoded, but too short to analyse
    EXPECT_EQ(std::string(results[i].md5).size(), 32u) << i;
    EXPECT_EQ(results[i].hasFeatures, 0) << i;
    EXPECT_EQ(secondsOf(results[i]), 0) << i;
    EXPECT_EQ(featuresOf(results[i]), decltype(featuresOf(results[i])){}) << i;
  }
  EXPECT_EQ(results[4].hasFeatures, 1);  // one second is enough
  EXPECT_EQ(results[5].hasFeatures, 1);
  EXPECT_EQ(secondsOf(results[5]), 20);
  EXPECT_STREQ(results[5].md5, results[6].md5);
  EXPECT_EQ(std::string(results[5].md5), hashOf(audioFile("tone1k_20s.wav")));
  EXPECT_EQ(featuresOf(results[5]), featuresOf(results[6]));
  EXPECT_EQ(results[6].hasFeatures, 1);
  const Report& last = recorder.reports.back();
  EXPECT_EQ(last.skipped, 2);
  EXPECT_EQ(last.analysed, 5);
}

TEST_F(Pipeline, CancelAtTheFirstReportTouchesNoRecord) {
  Recorder recorder;
  recorder.cancelAtReport = 0;
  Session session(module_, recorder);
  SongList songs;
  songs.add(audioFile("tone1k_20s.wav"));
  songs.add(audioFile("tone1k_20s.mp3"));
  auto& items = songs.items();
  std::vector<FeatureResult> results(2);
  std::memset(results.data(), 0xAB, results.size() * sizeof(FeatureResult));
  const std::vector<FeatureResult> before = results;
  EXPECT_EQ(module_.getFeatures(session.handle(), items.data(), 2, results.data(), 3),
            ZARVELL_E_ABORT);
  EXPECT_EQ(std::memcmp(results.data(), before.data(), results.size() * sizeof(FeatureResult)),
            0);
  EXPECT_EQ(recorder.reports.size(), 1u);
  EXPECT_TRUE(recorder.lookups.empty());
  // That cancel did not stick to the context: the next call runs normally.
  recorder.cancelAtReport = -1;
  EXPECT_EQ(session.run(songs, results, 0), -1);
  EXPECT_EQ(results[0].hasFeatures, 1);
}

TEST_F(Pipeline, CancelMidRunLetsTheWorkersFinishAndSticksToTheContext) {
  Recorder recorder;
  recorder.cancelAtReport = 1;  // the first distribution report, after one chunk of 25
  Session session(module_, recorder);
  SongList songs;
  for (int i = 0; i < 30; ++i) songs.add(audioFile("silence_30s.wav"));
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 3), ZARVELL_E_ABORT);

  // The hash stage still hashed every song; the analysis stage finished what was queued.
  const std::string hash = hashOf(audioFile("silence_30s.wav"));
  int analysed = 0;
  for (const auto& r : results) {
    EXPECT_EQ(std::string(r.md5), hash);
    analysed += r.hasFeatures;
  }
  EXPECT_EQ(analysed, 25);
  EXPECT_EQ(recorder.lookups.size(), 30u);
  for (const auto& report : recorder.reports) EXPECT_NE(report.text, "Step Processing Complete");

  // A later call on the same context is cancelled too, after its first report.
  recorder.reports.clear();
  recorder.cancelAtReport = -1;
  SongList more;
  more.add(audioFile("tone1k_20s.wav"));
  EXPECT_EQ(session.run(more, results, 0), ZARVELL_E_ABORT);
  ASSERT_EQ(recorder.reports.size(), 1u);
  EXPECT_EQ(recorder.reports[0].text, "Scanning Database");
  EXPECT_EQ(std::string(results[0].md5), hashOf(audioFile("tone1k_20s.wav")));
  EXPECT_EQ(results[0].hasFeatures, 0);
}

TEST_F(Pipeline, ReportsChunksOfTwentyFiveAndNamesTheSongsInAnalysis) {
  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  for (int i = 0; i < 27; ++i) songs.add(audioFile("silence_30s.wav"));
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 0), -1);

  std::vector<std::string> percents;
  int fileNameReports = 0;
  for (const auto& r : recorder.reports) {
    EXPECT_EQ(r.total, 27);
    EXPECT_GE(r.pending, 0);
    if (r.text.rfind("Scanning Database (", 0) == 0) percents.push_back(r.text);
    if (r.text == "silence_30s.wav") {
      ++fileNameReports;
      EXPECT_GT(r.current, 0);
      EXPECT_LT(r.current, 27);
    }
  }
  // Every song is taken in two chunks (25 + 2): the last distribution report says 100 %.
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), "Scanning Database (100%)");
  EXPECT_GT(fileNameReports, 0);
  EXPECT_EQ(recorder.reports.back().current, 27);
  for (const auto& r : results) EXPECT_EQ(r.hasFeatures, 1);
}

}  // namespace
}  // namespace sonalyx::test
