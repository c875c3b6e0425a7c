// Damaged songs through GetFeatures: truncated and bit-flipped copies of the fixtures must
// come back as results (with or without features), never as a crash or a hang.
// $SONALYX_STRESS_COPIES sets the number of copies (default 50; scripts/stress-sonalyx.sh
// runs 1,000).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "SonalyxTestSupport.h"

namespace sonalyx::test {
namespace {

int copiesWanted() {
  const char* env = std::getenv("SONALYX_STRESS_COPIES");
  const int n = env ? std::atoi(env) : 0;
  return n > 0 ? n : 50;
}

std::vector<char> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Writes copy `index` of `source` into dir: cut short, or with a few bytes flipped (often
// in the headers, where the decoders decide what the file is).
std::string damagedCopy(const TempDir& dir, const std::string& source, int index,
                        std::mt19937& rng) {
  std::vector<char> bytes = readAll(source);
  const std::string ext = fs::path(source).extension().string();
  const std::string name = "damaged_" + std::to_string(index) + ext;
  if (!bytes.empty()) {
    if (index % 2 == 0) {
      bytes.resize(std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng));
    } else {
      const int flips = std::uniform_int_distribution<int>(1, 64)(rng);
      const std::size_t span = (index % 4 == 1) ? std::min<std::size_t>(bytes.size(), 4096)
                                                : bytes.size();
      for (int f = 0; f < flips; ++f) {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, span - 1)(rng);
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << (rng() % 8)));
      }
    }
  }
  std::ofstream(dir.file(name), std::ios::binary).write(bytes.data(), bytes.size());
  return dir.file(name);
}

TEST(Robustness, DamagedCopiesComeBackAsResults) {
  const std::vector<std::string> sources = {
      audioFile("tone1k_20s.mp3"),  audioFile("tone1k_20s.m4a"),
      audioFile("tone1k_20s.wav"),  audioFile("tone1k_20s.wma"),
      audioFile("click120_40s.mp3"), audioFile("marker_50s.wav")};
  TempDir dir;
  std::mt19937 rng(20240607);
  SongList songs;
  const int copies = copiesWanted();
  for (int i = 0; i < copies; ++i)
    songs.add(damagedCopy(dir, sources[static_cast<std::size_t>(i) % sources.size()], i, rng));

  SonalyxModule module = SonalyxModule::load(std::string(ZARVELL_PROGRAM_DIR) + "/Sonalyx.so");
  ASSERT_TRUE(module.ok());
  Recorder recorder;
  Session session(module, recorder);
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 0), -1);

  int withFeatures = 0;
  for (const auto& r : results) {
    EXPECT_EQ(std::string(r.md5).size(), 32u);
    ASSERT_LE(r.hasFeatures, 1);
    EXPECT_EQ(r.known, 0);
    EXPECT_GE(secondsOf(r), 0);
    if (r.hasFeatures) {
      ++withFeatures;
      for (float v : featuresOf(r)) EXPECT_TRUE(std::isfinite(v));
    } else {
      EXPECT_EQ(secondsOf(r), 0);
    }
  }
  EXPECT_EQ(recorder.reports.back().text, "Step Processing Complete");
  EXPECT_EQ(recorder.reports.back().analysed, copies);
  std::printf("%d of %d damaged copies still gave features\n", withFeatures, copies);
}

}  // namespace
}  // namespace sonalyx::test
