// GetFeatures through the real module against a community server on 127.0.0.1: chunks of
// 25 downloaded, the unknown songs analysed and uploaded in chunks of 25, sent flags, the
// call's status, and the fall-back to local analysis when the server cannot be reached.
#include <gtest/gtest.h>

#include "CommunityTestSupport.h"
#include "zarvell/deployment.h"
#include "SonalyxTestSupport.h"

namespace sonalyx::test {
namespace {

class CommunityPipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = SonalyxModule::load(std::string(ZARVELL_PROGRAM_DIR) + "/Sonalyx.so");
    ASSERT_TRUE(module_.ok()) << module_.module.error();
  }
  SonalyxModule module_;
};

// Answers downloads by position: song g (counted over all downloads) is known to the server
// unless `unknown(g)`; unknown songs get an entry without features.
struct PositionalServer {
  std::function<bool(int)> unknown;
  int next = 0;
  std::vector<int> downloadSizes;
  int uploads = 0;
  int dropUpload = -1;  // index of the upload answered by closing the connection

  ScriptedReply operator()(const RecordedRequest& r) {
    const std::string packet = packetOf(r);
    if (r.target == "/community/FeatureUpload") {
      return uploads++ == dropUpload ? ScriptedReply::drop() : ScriptedReply::ok("");
    }
    const int n = countOf(packet, "<ET>");
    downloadSizes.push_back(n);
    std::vector<std::string> entries;
    for (int i = 0; i < n; ++i, ++next)
      entries.push_back(unknown(next) ? "<MD/>" : ftElement(next));
    return ScriptedReply::ok(featuresXml(entries));
  }
};

TEST_F(CommunityPipeline, SixtySongsAreDownloadedAnalysedAndUploadedInChunks) {
  PositionalServer script;
  script.unknown = [](int g) { return g % 2 == 1 && g < 54; };  // 27 songs
  script.dropUpload = 1;  // the last exchange of the call fails
  FixtureHttpServer server([&script](const RecordedRequest& r) { return script(r); });
  ASSERT_TRUE(server.ok());
  ScopedEnv host(zarvell::kCommunityHostVariable, server.hostPort());

  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  for (int i = 0; i < 60; ++i) songs.add(audioFile("silence_30s.wav"));
  auto& items = songs.items();
  std::vector<FeatureResult> results(60);
  const int32_t status = module_.getFeatures(session.handle(), items.data(), 60, results.data(), 3);
  EXPECT_EQ(status, kHttpErrorConnectionAborted);

  const auto requests = server.requests();
  EXPECT_EQ(script.downloadSizes, (std::vector<int>{25, 25, 10}));
  ASSERT_EQ(script.uploads, 2);
  std::vector<std::string> uploads;
  for (const auto& r : requests)
    if (r.target == "/community/FeatureUpload") uploads.push_back(packetOf(r));
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_EQ(countOf(uploads[0], "<ET>"), 25);
  EXPECT_EQ(countOf(uploads[0], "\t<FT f300=\""), 25);
  EXPECT_EQ(countOf(uploads[0], "\t\tfn=\"silence_30s.wav\"\n"), 25);
  EXPECT_EQ(countOf(uploads[1], "<ET>"), 2);

  int analysed = 0;
  for (int g = 0; g < 60; ++g) {
    const FeatureResult& r = results[static_cast<std::size_t>(g)];
    EXPECT_EQ(r.hasFeatures, 1) << g;
    EXPECT_EQ(r.known, 0) << g;
    EXPECT_EQ(int32_t{items[static_cast<std::size_t>(g)].sent}, 1) << g;
    const auto f = featuresOf(r);
    if (script.unknown(g)) {
      ++analysed;
      EXPECT_EQ(secondsOf(r), 30) << g;
      EXPECT_NE(f[0], serverFeature(g, 0)) << g;
    } else {
      EXPECT_EQ(secondsOf(r), 0) << g;
      EXPECT_EQ(f[71], serverFeature(g, 71)) << g;
    }
  }
  EXPECT_EQ(analysed, 27);
  // The uploaded features are those computed for the first queued song.
  const auto first = featuresOf(results[1]);
  char f300[64];
  std::snprintf(f300, sizeof f300, "f300=\"%0.8f\" f301=\"%0.8f\"", static_cast<double>(first[0]),
                static_cast<double>(first[1]));
  EXPECT_NE(uploads[0].find(f300), std::string::npos);
}

TEST_F(CommunityPipeline, DownloadOnlyRunsNeedNoAnalysis) {
  PositionalServer script;
  script.unknown = [](int) { return false; };
  FixtureHttpServer server([&script](const RecordedRequest& r) { return script(r); });
  ASSERT_TRUE(server.ok());
  ScopedEnv host(zarvell::kCommunityHostVariable, server.hostPort());
  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  for (int i = 0; i < 3; ++i) songs.add(audioFile("silence_30s.wav"));
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, SONALYX_FLAG_DOWNLOAD), 0);
  EXPECT_EQ(script.downloadSizes, (std::vector<int>{3}));
  EXPECT_EQ(script.uploads, 0);
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(results[static_cast<std::size_t>(g)].hasFeatures, 1);
    EXPECT_EQ(featuresOf(results[static_cast<std::size_t>(g)])[2], serverFeature(g, 2));
  }
}

TEST_F(CommunityPipeline, UnreachableServerFallsBackToLocalAnalysis) {
  RefusingPort refusing;
  ScopedEnv host(zarvell::kCommunityHostVariable, refusing.hostPort());
  Recorder recorder;
  Session session(module_, recorder);
  SongList songs;
  for (int i = 0; i < 3; ++i) songs.add(audioFile("silence_30s.wav"));
  std::vector<FeatureResult> results;
  EXPECT_EQ(session.run(songs, results, 3), kHttpErrorCannotConnect);
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(results[static_cast<std::size_t>(g)].hasFeatures, 1) << g;
    EXPECT_EQ(secondsOf(results[static_cast<std::size_t>(g)]), 30) << g;
  }
}

}  // namespace
}  // namespace sonalyx::test
