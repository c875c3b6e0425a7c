// Decoding through the real decoder modules: the order of trial, the fixed window, and what
// a missing or failing plug-in does. Program folders holding only some modules make the
// missing cases real; a Tolvane double gives the start-up failure and the empty decode.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "DecoderSet.h"
#include "SonalyxTestSupport.h"

namespace sonalyx::test {
namespace {

using Modules = std::vector<std::pair<std::string, std::string>>;

const std::string kTolvane = TestProgramFolder::realModule("Tolvane.so");
const std::string kPradix = TestProgramFolder::realModule("Pradix.so");

struct ProbeLine {
  std::string decoder;
  int mediaSeconds = -1;
  int featureLines = 0;
};

// Runs the folder's probe on one file and reads its answer.
ProbeLine probe(const TestProgramFolder& folder, const std::string& file) {
  const std::string out = shell("'" + folder.probePath() + "' '" + file + "' 2>/dev/null");
  ProbeLine line;
  std::istringstream in(out);
  std::string text;
  while (std::getline(in, text)) {
    if (text.rfind("decoder: ", 0) == 0) line.decoder = text.substr(9);
    if (text.rfind("media seconds: ", 0) == 0) line.mediaSeconds = std::stoi(text.substr(15));
    if (text.size() > 6 && text.rfind("f3", 0) == 0 && text[4] == ':') ++line.featureLines;
  }
  return line;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs GetFeatures (flags 0) over the files with the folder's own module copy.
std::vector<FeatureResult> analyseAll(const TestProgramFolder& folder,
                                      const std::vector<std::string>& files,
                                      int32_t* status = nullptr) {
  SonalyxModule module = SonalyxModule::load(folder.modulePath());
  EXPECT_TRUE(module.ok()) << module.module.error();
  Recorder recorder;
  Session session(module, recorder);
  SongList songs;
  for (const auto& f : files) songs.add(f);
  std::vector<FeatureResult> results;
  const int32_t s = session.run(songs, results, 0);
  if (status) *status = s;
  return results;
}

TEST(Decoders, TolvaneIsTriedFirstAndPradixWhenTolvaneIsMissing) {
  const std::string song = audioFile("marker65_240s.mp3");
  {
    TestProgramFolder folder(Modules{{"Tolvane.so", kTolvane}, {"Pradix.so", kPradix}});
    const ProbeLine line = probe(folder, song);
    EXPECT_EQ(line.decoder, "Tolvane");
    EXPECT_EQ(line.mediaSeconds, 240);
    EXPECT_EQ(line.featureLines, 72);
  }
  {
    TestProgramFolder folder(Modules{{"Pradix.so", kPradix}});
    const ProbeLine line = probe(folder, song);
    EXPECT_EQ(line.decoder, "Pradix");
    EXPECT_EQ(line.mediaSeconds, 240);
    EXPECT_EQ(line.featureLines, 72);
  }
}

TEST(Decoders, WithoutPradixNoDecoderIsUsedEvenWithTolvane) {
  TestProgramFolder folder(Modules{{"Tolvane.so", kTolvane}});
  EXPECT_EQ(probe(folder, audioFile("marker65_240s.mp3")).decoder, "none");

  int32_t status = 0;
  const auto results = analyseAll(
      folder, {audioFile("marker65_240s.mp3"), audioFile("tone1k_20s.wav")}, &status);
  EXPECT_EQ(status, -1);
  for (const auto& r : results) {
    EXPECT_EQ(std::string(r.md5).size(), 32u);  // hashed, looked up, analysed, failed
    EXPECT_EQ(r.hasFeatures, 0);
    EXPECT_EQ(secondsOf(r), 0);
  }
}

TEST(Decoders, NoModulesAtAllFailsEverySongCleanly) {
  TestProgramFolder folder(Modules{});
  EXPECT_EQ(probe(folder, audioFile("tone1k_20s.wav")).decoder, "none");
  const auto results = analyseAll(folder, {audioFile("tone1k_20s.wav")});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].hasFeatures, 0);
}

class TolvaneDouble : public ::testing::Test {
 protected:
  void useMode(const char* mode) {
    mode_ = std::make_unique<ScopedEnv>("SONALYX_TOLVANE_DOUBLE_MODE", mode);
    log_ = std::make_unique<ScopedEnv>("SONALYX_TOLVANE_DOUBLE_LOG", logDir_.file("calls"));
  }
  std::string calls() const { return readFile(logDir_.file("calls")); }

  // Features of the songs decoded by Pradix alone, the reference for the double's runs.
  std::vector<FeatureResult> pradixOnly(const std::vector<std::string>& files) {
    TestProgramFolder folder(Modules{{"Pradix.so", kPradix}});
    return analyseAll(folder, files);
  }

  TempDir logDir_;
  std::unique_ptr<ScopedEnv> mode_;
  std::unique_ptr<ScopedEnv> log_;
};

void expectSameFeatures(const std::vector<FeatureResult>& got,
                        const std::vector<FeatureResult>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].hasFeatures, 1) << i;
    EXPECT_EQ(want[i].hasFeatures, 1) << i;
    EXPECT_EQ(secondsOf(got[i]), secondsOf(want[i])) << i;
    for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k)
      EXPECT_EQ(featuresOf(got[i])[k], featuresOf(want[i])[k]) << "song " << i << " feature " << k;
  }
}

TEST_F(TolvaneDouble, FailingInitEngineSendsEverySongToPradix) {
  const std::vector<std::string> files = {audioFile("marker_100s.mp3"),
                                          audioFile("tone1k_20s.m4a"),
                                          audioFile("click120_40s.wav")};
  const auto reference = pradixOnly(files);
  useMode("init-fails");
  TestProgramFolder folder(Modules{{"Tolvane.so", SONALYX_TOLVANE_DOUBLE}, {"Pradix.so", kPradix}});
  expectSameFeatures(analyseAll(folder, files), reference);
  // Started once for the call, never used, and not closed since it never started.
  EXPECT_EQ(calls(), "init\n");
  EXPECT_EQ(probe(folder, files[0]).decoder, "Pradix");
}

TEST_F(TolvaneDouble, ZeroSamplesFromTolvaneRetriesTheSongWithPradix) {
  const std::vector<std::string> files = {audioFile("marker_50s.wav"),
                                          audioFile("tone1k_20s.mp3")};
  const auto reference = pradixOnly(files);
  useMode("zero-samples");
  TestProgramFolder folder(Modules{{"Tolvane.so", SONALYX_TOLVANE_DOUBLE}, {"Pradix.so", kPradix}});
  const auto results = analyseAll(folder, files);
  expectSameFeatures(results, reference);
  EXPECT_EQ(secondsOf(results[0]), 50);  // Pradix's answer, not the double's 999
  EXPECT_EQ(calls(), "init\nconvert\nconvert\nclose\n");
}

TEST_F(TolvaneDouble, TolvaneIsNotEvenLoadedWithoutPradix) {
  useMode("zero-samples");
  TestProgramFolder folder(Modules{{"Tolvane.so", SONALYX_TOLVANE_DOUBLE}});
  const auto results = analyseAll(folder, {audioFile("tone1k_20s.wav")});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].hasFeatures, 0);
  EXPECT_EQ(calls(), "");
}

// The decode arguments: window from 60 s, 661,500 samples, mono 22,050 Hz. The marker song
// has one 10 ms burst at 65.0 s, so it must sit 5 s into the buffer.
TEST(Decoders, WindowStartsAtSixtySecondsAndFillsTheBuffer) {
  ScopedEnv program("ZARVELL_PROGRAM_DIR", ZARVELL_PROGRAM_DIR);
  DecoderSet decoders;
  ASSERT_EQ(decoders.load(), 0);
  ASSERT_TRUE(decoders.hasPradix());
  ASSERT_TRUE(decoders.hasTolvane());
  std::vector<std::int16_t> buffer(DecoderSet::kCapacity);
  for (const char* name : {"marker65_240s.mp3", "marker65_240s.m4a", "marker65_240s.wav"}) {
    const std::u16string path = zarvell::utf8ToUtf16(audioFile(name));
    const DecodeResult r = decoders.decode(path.c_str(), buffer.data());
    ASSERT_TRUE(r.ok()) << name;
    EXPECT_EQ(r.decoder, Decoder::Tolvane) << name;
    EXPECT_EQ(r.samples, DecoderSet::kCapacity) << name;
    EXPECT_EQ(r.mediaSeconds, 240) << name;
    std::size_t loudest = 0;
    for (std::size_t i = 0; i < buffer.size(); ++i)
      if (std::abs(buffer[i]) > std::abs(buffer[loudest])) loudest = i;
    EXPECT_NEAR(static_cast<double>(loudest), 5.0 * 22050, 0.02 * 22050) << name;
  }
  // Protected files are refused by both plug-ins; a null path fails before any call.
  const std::u16string m4p = zarvell::utf8ToUtf16(audioFile("protected.m4p"));
  EXPECT_FALSE(decoders.decode(m4p.c_str(), buffer.data()).ok());
  EXPECT_FALSE(decoders.decode(nullptr, buffer.data()).ok());
}

}  // namespace
}  // namespace sonalyx::test
