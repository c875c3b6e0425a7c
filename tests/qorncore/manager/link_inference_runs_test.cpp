// The full inference and the merge through the manager: real models (trained by the test),
// a real feature store, real links; progress, log lines, failures and cancel.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "../engine/engine_test_support.h"
#include "inference_test_support.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/ErrorReport.h"

namespace inferencetest {
namespace {

using enginetest::kDebug;
using enginetest::kError;
using enginetest::kInfo;
constexpr const char* kSvm = "qorncore/manager/qornManagerSVM";

TEST_F(InferenceFixture, FullInferenceLinksSongsOfOneClusterAndReports) {
  standardModels();
  enginetest::LogCapture log;
  std::vector<Node*> s = songs(1, 30);
  ASSERT_EQ(engine().inferLinksFull(s, 0.5f), 1);
  EXPECT_EQ(log.countPrefix("found HLC model "), 3);
  EXPECT_TRUE(engine().linkInference().classVectors().empty());  // CVs live for one run
  engine().linkInference().buildClassVectors(s);  // again, to compare strengths

  int cross = 0, total = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    for (Node* n : engine().links().neighbours(s[i]->id, 0, false)) {
      const qorn::Asc* link = engine().links().find(s[i]->id, n->id);
      ASSERT_TRUE(link);
      EXPECT_GT(link->strength.value(), 0.0f);
      EXPECT_FLOAT_EQ(link->strength.value(), engine().similarity(s[i], n));
      cross += (n->id - 1) % 3 != static_cast<int>(i % 3);
      ++total;
    }
  }
  EXPECT_GT(total, 0);
  EXPECT_LE(cross, 4);  // the last songs of a cluster may find only other clusters
  EXPECT_EQ(log.count(kDebug, kSvm, "created " + std::to_string(total / 2) + " song-song links"), 1);
  EXPECT_EQ(log.countPrefix("#CV Comps:  "), 1);

  ASSERT_EQ(progress.entries.size(), 31u);
  const auto& first = progress.entries.front();
  EXPECT_EQ(first.caption, "Building Network");
  EXPECT_EQ(first.detail, "Initializing...");
  EXPECT_EQ(first.detail2, "Please wait...");
  EXPECT_EQ(first.current, 0);
  for (const auto& e : progress.entries) {
    EXPECT_EQ(e.stage, 3);
    EXPECT_EQ(e.stages, 3);
    EXPECT_EQ(e.total, 30);
  }
  EXPECT_EQ(progress.entries.back().current, 30);
  EXPECT_EQ(progress.entries.back().detail.rfind("song", 0), 0u);
}

TEST_F(InferenceFixture, FullInferenceCancelKeepsTheLinksMadeSoFar) {
  standardModels();
  enginetest::LogCapture log;
  std::vector<Node*> s = songs(1, 30);
  progress.refuseAt = 5;  // the fourth visit's report is refused
  EXPECT_EQ(engine().inferLinksFull(s, 0.5f), 0);
  EXPECT_EQ(progress.entries.size(), 5u);
  EXPECT_EQ(log.count(kInfo, kSvm, "ABORTED inferLinksSVM"), 1);
  const long kept = totalSongLinks(s);
  EXPECT_GT(kept, 0);
  EXPECT_LE(kept, 4 * 5);
  EXPECT_EQ(log.countPrefix("#CV Comps:"), 0);
}

TEST_F(InferenceFixture, IncompleteNormaliserTableLinksNothing) {
  standardModels();
  std::ostringstream console;
  qorn::ScopedEngineConsole scoped(console);
  enginetest::LogCapture log;
  std::vector<Node*> s = songs(1, 6);
  qorn::NormaliserTable partial = identityTable();
  qorn::normaliserTable().clear();
  for (int i = 0; i < 71; ++i) qorn::normaliserTable().add(*partial.at(i));
  EXPECT_EQ(engine().inferLinksFull(s, 0.5f), 1);
  EXPECT_EQ(totalSongLinks(s), 0);
  const std::string line = "Error: Normaliser info is missing in " + qorn::normaliserFilePath();
  EXPECT_NE(console.str().find(line + "\n"), std::string::npos);
  EXPECT_EQ(log.count(kError, kSvm, line), 6);  // each visit restarts
}

TEST_F(InferenceFixture, SongsWithoutFeaturesAreLeftOutOfThePool) {
  standardModels();
  std::ostringstream console;
  qorn::ScopedEngineConsole scoped(console);
  std::vector<Node*> s = songs(1, 6);
  s.push_back(bareSong(50));
  EXPECT_EQ(engine().inferLinksFull(s, 0.5f), 1);
  EXPECT_EQ(songLinks(s.back()), 0);
  EXPECT_NE(console.str().find("no features available for song song50\n"), std::string::npos);
  EXPECT_GT(totalSongLinks(s), 0);
}

class MergeTest : public InferenceFixture {
 protected:
  // `old` old songs (ids 1..) and `fresh` new ones (ids 10001..), all in the network.
  void build(int old, int fresh) {
    oldSongs = songs(1, old);
    for (int i = 0; i < fresh; ++i) newNodes.push_back(song(10001 + i, i % 3, 500 + i));
    linksBefore = totalSongLinks(oldSongs);
  }
  std::vector<Node*> oldSongs, newNodes;
  long linksBefore = 0;
};

TEST_F(MergeTest, ThreeNewSongsLinkToFiveOfTwentyKeyTracks) {
  standardModels();
  enginetest::LogCapture log;
  build(500, 3);
  std::vector<Node*> fresh = newNodes;
  std::srand(3);
  engine().random().seed(3);
  ASSERT_EQ(engine().inferLinksMerge(oldSongs, newNodes, false), 1);
  EXPECT_EQ(newNodes.size(), 3u);
  std::set<const Node*> keys;
  for (Node* n : fresh) {
    const std::vector<Node*> linked = engine().links().neighbours(n->id, 0, false);
    EXPECT_EQ(linked.size(), 5u);
    for (Node* k : linked) {
      EXPECT_LE(k->id, 500) << "linked to a new song";
      keys.insert(k);
      const qorn::Asc* link = engine().links().find(n->id, k->id);
      EXPECT_FLOAT_EQ(link->strength.value(), engine().similarity(n, k));
      EXPECT_EQ(link->lastvisited, engine().step());
    }
  }
  EXPECT_LE(keys.size(), 20u);
  EXPECT_EQ(log.count(kInfo, kSvm, "link Songs 0 keytracks available"), 1);
  EXPECT_EQ(log.countPrefix("infered link: song1000"), 3);
  ASSERT_EQ(progress.entries.size(), 5u);
  EXPECT_EQ(progress.entries[0].caption, "Inserting Tracks");  // fewer than 50: insert
  EXPECT_EQ(progress.entries[0].detail, "initializing");
  EXPECT_EQ(progress.entries.back().current, 3);
  EXPECT_EQ(progress.entries.back().total, 3);
}

TEST_F(MergeTest, PaletteSongsAreTheKeyTracksAndASixthIsMerged) {
  standardModels();
  enginetest::LogCapture log;
  build(40, 60);
  // Twenty palette songs (ids 21..40): no random key tracks are drawn.
  for (int id = 21; id <= 40; ++id)
    ASSERT_EQ(engine().addToPalette({{"id", std::to_string(id)}, {"type", "s"}}), 1);
  std::vector<Node*> fresh = newNodes;
  ASSERT_EQ(engine().inferLinksMerge(oldSongs, newNodes, false), 1);
  int linked = 0;
  for (Node* n : fresh) {
    const auto ns = engine().links().neighbours(n->id, 0, false);
    if (ns.empty()) continue;
    ++linked;
    EXPECT_EQ(ns.size(), 5u);
    for (Node* k : ns) {
      EXPECT_GE(k->id, 21);
      EXPECT_LE(k->id, 40);
      EXPECT_EQ((k->id - 1) % 3, (n->id - 10001) % 3) << "the best key tracks share the cluster";
    }
  }
  EXPECT_EQ(log.count(kInfo, kSvm, "link Songs 20 keytracks available"), 1);
  EXPECT_EQ(linked, 10);  // 60 / 6
  EXPECT_EQ(progress.entries.front().caption, "Merging Network");
}

TEST_F(MergeTest, CancelRemovesEveryNewNodeAndLinksNothing) {
  standardModels();
  enginetest::LogCapture log;
  for (int refuseAt : {2, 4}) {  // the second "initializing" report, the second song
    SCOPED_TRACE(refuseAt);
    oldSongs.clear();
    newNodes.clear();
    engine().clear();
    progress.entries.clear();
    progress.refuseAt = refuseAt;
    build(30, 5);
    auto* album = new qorn::SongListNode(20001);
    ASSERT_EQ(engine().addNode(album), 1);
    newNodes.push_back(album);
    const std::vector<int32_t> ids{10001, 10002, 10003, 10004, 10005, 20001};
    EXPECT_EQ(engine().inferLinksMerge(oldSongs, newNodes, true), 0);
    EXPECT_TRUE(newNodes.empty());
    for (int32_t id : ids) EXPECT_EQ(engine().nodes().find(id), nullptr) << id;
    EXPECT_EQ(totalSongLinks(oldSongs), linksBefore);
  }
  EXPECT_EQ(log.count(kInfo, kSvm, "Aborting network merging"), 1);
  EXPECT_EQ(log.count(kInfo, kSvm, "Aborting network merge"), 1);
}

TEST_F(MergeTest, SongsWithoutFeaturesAreLinkedWithZeroSimilarity) {
  standardModels();
  enginetest::LogCapture log;
  build(25, 0);
  newNodes.push_back(bareSong(10001));
  ASSERT_EQ(engine().inferLinksMerge(oldSongs, newNodes, true), 1);
  EXPECT_EQ(songLinks(newNodes[0]), 5);
  EXPECT_EQ(log.countPrefix("   zero similarity (no features?) "), 5);
}

}  // namespace
}  // namespace inferencetest
