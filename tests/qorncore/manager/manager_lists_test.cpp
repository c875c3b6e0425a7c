// History and the previous song, the play queue, removing a node from the network,
// playlists, the palette and Kalvorets lists, and list access by number.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "manager_test_support.h"

namespace {

using enginetest::ids;
using enginetest::LogCapture;

class ListsTest : public enginetest::ManagerTest {};

TEST_F(ListsTest, StoppedSongIsDroppedWhenTheNextCompletes) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  Node* c = net.song(3);
  play(a, 0, 100);
  EXPECT_EQ(engine.onStop(b, 12.5f, true), 1);
  EXPECT_EQ(history(), (std::vector<int>{1, 2}));
  play(c, 200, 400);
  EXPECT_EQ(history(), (std::vector<int>{1, 3}));
  EXPECT_EQ(engine.history().committed(), 2u);
  EXPECT_EQ(engine.getListLength(2), 2);
  EXPECT_EQ(engine.getNodeFromList(2, 1), c);
  EXPECT_EQ(engine.getNodeFromList(2, 2), nullptr);  // beyond the end: null, never a crash
}

TEST_F(ListsTest, PreviousSongAndPlayingItAgain) {
  Node* a = net.song(1);
  Node* c = net.song(3);
  play(a, 0, 100);
  play(c, 150, 300);
  bool committed = false;
  EXPECT_EQ(engine.pickPrevNode(&committed), c);
  EXPECT_TRUE(committed);
  EXPECT_EQ(history(), std::vector<int>{1});
  EXPECT_EQ(engine.pickPrevNode(nullptr), nullptr);
  play(c, 320, 500);
  EXPECT_EQ(history(), (std::vector<int>{1, 3}));
  EXPECT_EQ(engine.history().committed(), 2u);
  EXPECT_TRUE(engine.history().previousSongs().empty());
}

TEST_F(ListsTest, PreviousOfATentativeSongIsNotRemembered) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  play(a, 0, 100);
  engine.onStop(b, 0, true);
  bool committed = true;
  EXPECT_EQ(engine.pickPrevNode(&committed), b);
  EXPECT_FALSE(committed);
  EXPECT_TRUE(engine.history().previousSongs().empty());
  EXPECT_EQ(engine.pickPrevNode(&committed), a);
  EXPECT_TRUE(committed);
  EXPECT_EQ(engine.pickPrevNode(&committed), nullptr);
}

TEST_F(ListsTest, SameSongTwiceIsOneEntry) {
  Node* a = net.song(1);
  play(a, 0, 100);
  play(a, 100, 200);
  EXPECT_EQ(history(), std::vector<int>{1});
}

struct RemoveCase {
  std::vector<int> positions;
  int result;
  std::vector<int> left;
  std::size_t committed;
};

class RemoveEntriesTest : public ListsTest, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveEntriesTest, RemovesPositionsInsideTheHistory) {
  for (int id = 1; id <= 3; ++id) play(net.song(id), id * 100, id * 100 + 50);
  engine.onStop(net.song(4), 0, true);  // tentative fourth entry
  std::vector<int> p = GetParam().positions;
  int none = 0;  // a valid pointer with no positions (a null pointer clears everything)
  EXPECT_EQ(engine.removeEntriesFromHistory(p.empty() ? &none : p.data(), static_cast<int>(p.size())),
            GetParam().result);
  EXPECT_EQ(history(), GetParam().left);
  EXPECT_EQ(engine.history().committed(), GetParam().committed);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RemoveEntriesTest,
    ::testing::Values(RemoveCase{{0, 7}, 1, {2, 3, 4}, 2}, RemoveCase{{7, -1}, 0, {1, 2, 3, 4}, 3},
                      RemoveCase{{3}, 1, {1, 2, 3}, 3}, RemoveCase{{2, 2, 1}, 1, {1, 4}, 1},
                      RemoveCase{{}, 0, {1, 2, 3, 4}, 3}));

TEST_F(ListsTest, RemoveEntriesWithoutPositionsClearsTheHistory) {
  play(net.song(1), 0, 10);
  EXPECT_EQ(engine.removeEntriesFromHistory(nullptr, 5), 1);
  EXPECT_TRUE(history().empty());
}

TEST_F(ListsTest, PlayQueueKeepsSongsOnly) {
  net.song(1);
  net.song(2);
  net.list(10, {1, 2});
  qorn::SongNode gone(77);
  LogCapture log;
  engine.syncPlayQueue({net.node(1), nullptr, net.node(10), net.node(2), &gone});
  EXPECT_EQ(ids(engine.getPlayQueue()), (std::vector<int>{1, 2}));
  EXPECT_EQ(log.count(enginetest::kWarn, enginetest::kManagerSource, "null ptr in setPlaybackqueue !"),
            2);
  EXPECT_EQ(engine.addToPlayQueue(1), 3);
  EXPECT_EQ(engine.addToPlayQueue(10), 0);
  EXPECT_EQ(log.count(enginetest::kWarn, enginetest::kManagerSource,
                      "attempt to add unknown id to playqueue: 10"),
            1);
}

TEST_F(ListsTest, RemovedSongReconnectsItsNeighboursInARing) {
  Node* hub = net.song(1, 200, 10, {20});
  for (int id = 2; id <= 5; ++id) net.song(id);
  net.list(10, {1}, 1000);
  net.artist(20, 500);
  for (int id = 2; id <= 5; ++id) net.link(1, id, 0.5f);
  net.link(1, 10, 0.2f);
  net.link(1, 20, 0.3f);
  net.link(2, 3, 0.7f);  // 3 is a neighbour of 2 taken before it: left out of the ring
  hub->addRef();         // the application's reference keeps the object for the checks
  play(hub, 0, 100);
  engine.syncPlayQueue({hub, net.node(2)});
  engine.setMyKalvorets({hub});
  engine.keywords().add("gone", hub);

  EXPECT_EQ(engine.removeNodeFromNet(hub), 1);
  EXPECT_EQ(engine.nodes().find(1), nullptr);
  EXPECT_FLOAT_EQ(hub->activation.value(), 0.0f);
  EXPECT_EQ(engine.links().degree(1), 0u);
  std::set<std::pair<int, int>> links;
  engine.links().forEachLinkInPairOrder([&](qorn::Asc& l, int a, int b) {
    links.emplace(a, b);
    if (!(a == 2 && b == 3)) {
      EXPECT_FLOAT_EQ(l.strength.value(), 0.1f);
    }
  });
  EXPECT_EQ(links, (std::set<std::pair<int, int>>{{2, 3}, {2, 4}, {2, 5}, {4, 5}}));
  EXPECT_EQ(net.node(10)->duration, 800);  // subtracted once, though album and neighbour
  EXPECT_EQ(net.node(20)->duration, 300);
  EXPECT_TRUE(history().empty());
  EXPECT_EQ(ids(engine.getPlayQueue()), std::vector<int>{2});
  EXPECT_TRUE(engine.myKalvorets().empty());
  EXPECT_EQ(engine.keywordsOf(hub), "");
  EXPECT_EQ(engine.getTaboo(hub), 0);
  EXPECT_EQ(hub->release(), 0);
  EXPECT_EQ(engine.removeNodeFromNet(nullptr), 0);
}

TEST_F(ListsTest, TwoKeptNeighboursGetOneLink) {
  Node* hub = net.song(1);
  net.song(2);
  net.song(3);
  net.link(1, 2, 0.5f);
  net.link(1, 3, 0.5f);
  EXPECT_EQ(engine.removeNodeFromNet(hub), 1);
  EXPECT_EQ(engine.links().size(), 1u);
  EXPECT_NE(engine.links().find(2, 3), nullptr);
}

TEST_F(ListsTest, CreatePlayListStoresTracksByPositionAndLinksThem) {
  net.song(1);
  net.song(2);
  net.list(10, {});
  LogCapture log;
  Node* list = engine.createPlayList("Road Mix", {net.node(1), nullptr, net.node(10), net.node(2)});
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->id, 11);
  EXPECT_EQ(list->name.str(), "Road Mix");
  EXPECT_FLOAT_EQ(list->activation.value(), 0.5f);
  ASSERT_NE(list->asSongList(), nullptr);
  EXPECT_EQ(list->asSongList()->listType, qorn::kPlayList);
  EXPECT_EQ(list->asSongList()->tracks, (std::vector<int32_t>{1, 0, 0, 2}));
  EXPECT_FLOAT_EQ(net.strength(1, 11), 0.2f);
  EXPECT_FLOAT_EQ(net.strength(2, 11), 0.2f);
  EXPECT_EQ(engine.links().find(10, 11), nullptr);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource, "null pointer in createPlayList"), 1);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource, "non song pointer in createPlayList"),
            1);
}

TEST_F(ListsTest, PaletteEntriesFromTheReader) {
  net.song(1);
  LogCapture log;
  EXPECT_EQ(engine.addToPalette({{"id", "1"}, {"type", "m"}}), 1);
  EXPECT_EQ(engine.addToPalette({{"id", "1"}}), 1);  // type "s" by default
  EXPECT_EQ(engine.addToPalette({{"id", "1"}, {"type", "x"}}), 0);
  EXPECT_EQ(engine.addToPalette({{"id", "5"}, {"type", "s"}}), 0);
  EXPECT_EQ(engine.addToPalette({{"id", "5"}, {"type", ""}}), 0);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource, "unknown entry id 1 in addToPalette"), 1);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource, "unknown entry id 5 in addToPalette"), 1);
  EXPECT_EQ(ids(engine.myKalvorets()), std::vector<int>{1});
  EXPECT_EQ(engine.getListLength(1), 1);
  EXPECT_EQ(engine.getNodeFromList(1, 0)->id, 1);
  EXPECT_EQ(engine.getNodeFromList(1, 5), nullptr);
  EXPECT_EQ(engine.getListLength(3), 0);
  EXPECT_EQ(engine.getNodeFromList(3, 0), nullptr);
}

// Two clusters of twelve songs, each song linked to its next five (a ring with chords).
class PaletteTest : public ListsTest {
 protected:
  void cluster(int first) {
    for (int i = 0; i < 12; ++i) net.song(first + i);
    for (int i = 0; i < 12; ++i)
      for (int k = 1; k <= 5; ++k) {
        const int a = first + i;
        const int b = first + (i + k) % 12;
        if (!engine.links().find(a, b)) net.link(a, b, 0.2f + 0.05f * static_cast<float>(k));
      }
  }
};

TEST_F(PaletteTest, EveryClusterGetsARepresentative) {
  cluster(1);
  cluster(101);
  net.song(500);  // a cluster of one: skipped
  LogCapture log;
  EXPECT_EQ(engine.createPalette(), 0);
  const std::vector<int> palette = ids(engine.palette());
  ASSERT_FALSE(palette.empty());
  EXPECT_TRUE(std::any_of(palette.begin(), palette.end(), [](int id) { return id < 100; }));
  EXPECT_TRUE(std::any_of(palette.begin(), palette.end(), [](int id) { return id > 100 && id < 500; }));
  EXPECT_EQ(std::count(palette.begin(), palette.end(), 500), 0);
  for (const char* line : {"entering createPalette", "network has 3 clusters", "starting clusters loop",
                           "leaft clusters loop", "leaving createPalette"})
    EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource, line), 1) << line;
  // Propagation only: nothing was excited and no link changed.
  EXPECT_EQ(engine.step(), 0);
  EXPECT_FLOAT_EQ(net.node(1)->activation.value(), 0.0f);
  EXPECT_FLOAT_EQ(net.strength(1, 2), 0.25f);
}

// Links the palette's propagations read are left decayed to the current step, as any
// propagation leaves them.
TEST_F(PaletteTest, ReadLinksAreLeftDecayed) {
  cluster(1);
  for (int i = 0; i < 10; ++i) engine.advanceStep();
  engine.createPalette();
  const qorn::Asc* link = engine.links().find(1, 2);
  EXPECT_EQ(link->lastvisited, 10);
  EXPECT_EQ(link->strength.value(),
            (qorn::qornfloat(0.25f) * qorn::qornfloat(qorn::kLinkDecayFactor).pow(10)).value());
  EXPECT_EQ(engine.step(), 10);
}

// A link last decayed at a step ahead of the engine's (as a network file may carry): the
// propagations meet it and move the step forward, as every propagation does.
TEST_F(PaletteTest, LinkAheadOfTheStepMovesTheStepForward) {
  cluster(1);
  cluster(101);
  engine.links().find(1, 2)->lastvisited = 50;
  engine.createPalette();
  const std::vector<int> palette = ids(engine.palette());
  EXPECT_TRUE(std::any_of(palette.begin(), palette.end(), [](int id) { return id < 100; }));
  EXPECT_TRUE(std::any_of(palette.begin(), palette.end(), [](int id) { return id > 100; }));
  EXPECT_EQ(engine.step(), 50);
}

TEST_F(PaletteTest, OwnSongsCoverTheirClusterFirst) {
  cluster(1);
  cluster(101);
  engine.setMyKalvorets({net.node(1)});
  engine.createPalette();
  // The first cluster is covered by the user's own song: only the second gets candidates.
  for (int id : ids(engine.palette())) EXPECT_GT(id, 100);
  EXPECT_EQ(ids(engine.myKalvorets()), std::vector<int>{1});
}

}  // namespace
