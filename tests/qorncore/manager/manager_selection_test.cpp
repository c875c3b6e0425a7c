// Selection: pickNextNode with its randomness and fallbacks, boost amounts, keyword
// activation, flat lists and the view filter.
#include <gtest/gtest.h>

#include <cmath>

#include "manager_test_support.h"

namespace {

using enginetest::ids;
using enginetest::LogCapture;
using qorn::qornfloat;

class SelectionTest : public enginetest::ManagerTest {
 protected:
  // Songs 1..n with falling activations (song 1 the most active).
  void songs(int n) {
    for (int id = 1; id <= n; ++id)
      net.song(id)->activation = qornfloat(0.9f - 0.05f * static_cast<float>(id));
    engine.hotlistHolder().markDirty();
  }
};

TEST_F(SelectionTest, EmptyHotlistGivesNull) { EXPECT_EQ(engine.pickNextNode(0.0f), nullptr); }

TEST_F(SelectionTest, RandomnessZeroTakesTheFirstEligibleSong) {
  songs(5);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(engine.pickNextNode(0.0f)->id, 1);
  // Blocked and taboo songs at the top are passed over.
  net.node(1)->apb = false;
  engine.onPlay(net.node(2), false);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(engine.pickNextNode(0.0f)->id, 3);
}

TEST_F(SelectionTest, RandomnessOneBehavesAs098) {
  songs(8);
  std::vector<int> withOne, with098;
  std::srand(7);
  for (int i = 0; i < 200; ++i) withOne.push_back(engine.pickNextNode(1.0f)->id);
  std::srand(7);
  for (int i = 0; i < 200; ++i) with098.push_back(engine.pickNextNode(0.98f)->id);
  EXPECT_EQ(withOne, with098);
  // Passing over almost every song ends most picks at the last eligible one.
  EXPECT_GT(std::count(withOne.begin(), withOne.end(), 8), 100);
}

// Each eligible song in hotlist order takes a draw: a draw of at least the randomness
// picks it, a lower one passes over it. An injected source decides every pick exactly;
// seeding goes back to rand().
TEST_F(SelectionTest, InjectedDrawsDecideEachPassOver) {
  songs(5);
  std::vector<int> draws{100, 100, 900, 499, 500, 0, 0, 0, 0, 0};
  std::size_t next = 0;
  engine.random().inject([&] { return draws[next++ % draws.size()]; });
  EXPECT_EQ(engine.pickNextNode(0.5f)->id, 3);  // 0.1, 0.1 pass over; 0.9 picks
  EXPECT_EQ(engine.pickNextNode(0.5f)->id, 2);  // 0.499 passes over; 0.5 picks
  EXPECT_EQ(engine.pickNextNode(0.5f)->id, 5);  // every draw passes over: the last song
  EXPECT_GE(next, 10u);

  engine.random().seed(7);
  std::vector<int> seeded, viaRand;
  for (int i = 0; i < 50; ++i) seeded.push_back(engine.pickNextNode(0.5f)->id);
  std::srand(7);
  for (int i = 0; i < 50; ++i) viaRand.push_back(engine.pickNextNode(0.5f)->id);
  EXPECT_EQ(seeded, viaRand);
}

TEST_F(SelectionTest, LowRandomnessTakesTheFirstSongNineTimesInTen) {
  songs(10);
  int first = 0;
  for (int i = 0; i < 2000; ++i) first += engine.pickNextNode(0.1f)->id == 1;
  EXPECT_NEAR(first / 2000.0, 0.9, 0.03);
}

TEST_F(SelectionTest, AllPassedOverTakesTheLastEligibleNotTheFallback) {
  songs(3);
  net.node(3)->apb = false;
  LogCapture log;
  for (int i = 0; i < 300; ++i) {
    Node* n = engine.pickNextNode(0.98f);
    ASSERT_TRUE(n->id == 1 || n->id == 2);
  }
  EXPECT_EQ(log.countPrefix("all tracks in hotlist are taboo!"), 0);
}

TEST_F(SelectionTest, AllTabooLooksAroundTheTopOfTheHotlist) {
  // The view shows albums only; the album's songs are found by propagation.
  net.song(1);
  net.song(2);
  net.song(3);
  net.list(10, {1, 2, 3});
  for (int id : {1, 2, 3}) net.link(id, 10, 0.2f);
  ASSERT_TRUE(engine.setViewStyle(2));
  engine.onPlay(net.node(1), false);
  LogCapture log;
  EXPECT_EQ(engine.pickNextNode(0.0f)->id, 2);
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource,
                      "all tracks in hotlist are taboo!"),
            1);
}

TEST_F(SelectionTest, AllTabooEverywhereGivesUpTabooAroundTheEnd) {
  songs(3);
  net.link(1, 2, 0.5f);
  net.link(2, 3, 0.5f);
  for (int id : {1, 2, 3}) engine.onPlay(net.node(id), false);
  // Reached in id order: 1 is the top of the hotlist, so 2 is taken; all lose their taboo.
  EXPECT_EQ(engine.pickNextNode(0.0f)->id, 2);
  for (int id : {1, 2, 3}) EXPECT_EQ(engine.getTaboo(net.node(id)), 0);
}

TEST_F(SelectionTest, NothingEligibleAnywhereTakesTheSecondHotlistNode) {
  songs(3);
  for (int id : {1, 2, 3}) net.node(id)->apb = false;
  EXPECT_EQ(engine.pickNextNode(0.0f)->id, 2);
  engine.removeNodeFromNet(net.node(2));
  engine.removeNodeFromNet(net.node(3));
  EXPECT_EQ(engine.pickNextNode(0.0f)->id, 1);
}

TEST_F(SelectionTest, BoostItemsOfASongWithAlbumAndArtists) {
  net.song(1, -1, 10, {20, 21, 99});  // artist 99 does not exist
  net.song(2);
  net.list(10, {1, 2});
  net.artist(20);
  net.artist(21);
  net.link(1, 2, 0.5f);
  net.link(1, 10, 0.2f);
  net.link(2, 10, 0.2f);
  net.link(1, 20, 0.3f);
  for (int id = 30; id < 42; ++id) {  // artist 21 with 12 more links: k = min(13 + 2, 32) / 5
    net.song(id);
    net.link(21, id, 0.3f);
  }
  net.link(1, 21, 0.3f);
  std::vector<qorn::ExcitationItem> items;
  ASSERT_EQ(engine.boostItems({net.node(1)}, 2.0f, items), 1);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].target->id, 1);
  EXPECT_FLOAT_EQ(items[0].amount.value(), 2.0f * 0.8f * (4 + 2) / 2);  // links to 2, 10, 20, 21
  EXPECT_EQ(items[1].target->id, 10);
  EXPECT_FLOAT_EQ(items[1].amount.value(), 2.0f * 0.1f * (2 + 2) / 2);
  EXPECT_EQ(items[2].target->id, 20);
  EXPECT_FLOAT_EQ(items[2].amount.value(), 2.0f * 0.1f * 0);  // (1 + 2) / 5 = 0
  EXPECT_EQ(items[3].target->id, 21);
  EXPECT_FLOAT_EQ(items[3].amount.value(), 2.0f * 0.1f * 3);  // (13 + 2) / 5 = 3
  for (const auto& item : items) EXPECT_EQ(item.source, 0);
}

TEST_F(SelectionTest, BoostOfAMissingNodeExcitesNothing) {
  net.song(1);
  qorn::SongNode stranger(50);
  const int32_t step = engine.step();
  EXPECT_EQ(engine.boost({net.node(1), &stranger}, 1.0f, false), 0);
  EXPECT_EQ(engine.step(), step);
  EXPECT_FLOAT_EQ(net.node(1)->activation.value(), 0.0f);
  EXPECT_EQ(engine.boost({net.node(1)}, 1.75f, false), 1);  // 1.75 x 0.8 = 1.4
  EXPECT_NEAR(engine.decayNode(net.node(1)).value(), 0.9f, 1e-6);
}

TEST_F(SelectionTest, BoostWithResetFlattensTheHotlistFirst) {
  songs(3);
  engine.getHotlist();  // the sorted index: 1, 2, 3 (lowest 0.75)
  EXPECT_EQ(engine.boost({net.node(3)}, 0.5f, true), 1);
  EXPECT_EQ(engine.step(), 2);  // one for the reset, one for the excitation
  const float flat = 0.75f * 0.95f * 0.95f;
  EXPECT_NEAR(engine.decayNode(net.node(1)).value(), flat, 1e-5);
  EXPECT_NEAR(engine.decayNode(net.node(2)).value(), flat, 1e-5);
  EXPECT_GT(engine.decayNode(net.node(3)).value(), flat);
  EXPECT_EQ(engine.getHotlist().front()->id, 3);
}

TEST_F(SelectionTest, ActivateKeywordsExcitesTheMatchesInSearchOrder) {
  for (int id = 1; id <= 11; ++id) engine.keywords().add("blue", net.song(id));
  engine.keywords().add("Moon", net.node(4));
  std::vector<Node*> found;
  testing::internal::CaptureStdout();
  EXPECT_EQ(engine.activateKeywords("blue moon", found), 0);
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(found.size(), 11u);
  EXPECT_EQ(found[0]->id, 1);
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 11);
  // Node 4 scores e^-1 + 1 (the highest, 1 after normalising), the others e^-1 of it.
  const float other = std::exp(-1.0f) / (std::exp(-1.0f) + 1.0f);
  EXPECT_NEAR(engine.decayNode(net.node(4)).value(), 1 - std::pow(0.1f, 0.8f / 1.4f), 1e-5);
  EXPECT_NEAR(engine.decayNode(net.node(1)).value(), 1 - std::pow(0.1f, 0.8f * other / 1.4f), 1e-5);
  EXPECT_EQ(engine.step(), 1);
}

TEST_F(SelectionTest, FlatListExpandsListsAndArtistsAndFillsDurations) {
  net.song(1, 100, 10, {20});
  net.song(2, 200, 10, {20});
  net.song(3, -1, 0, {20});
  net.song(4, 50);
  net.list(10, {1, 0, 99, 2});  // an empty slot and a missing track
  net.list(11, {1, 2}, 777);   // known duration, complete: kept
  net.artist(20);
  net.link(1, 20, 0.3f);
  net.link(3, 20, 0.3f);
  net.link(4, 20, 0.3f);  // linked but not credited
  LogCapture log;
  std::vector<Node*> flat;
  EXPECT_EQ(engine.getFlatList({net.node(4), net.node(10), net.node(20), nullptr, net.node(11)},
                               flat),
            0);
  EXPECT_EQ(ids(flat), (std::vector<int>{4, 1, 2, 1, 3, 1, 2}));
  EXPECT_EQ(net.node(10)->duration, 300);
  EXPECT_EQ(net.node(20)->duration, 100);
  EXPECT_EQ(net.node(11)->duration, 777);
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource, "entering getFlatList"), 1);
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource, "leaving getFlatList"), 1);
  net.song(5, -1);
  net.node(11)->asSongList()->setTrack(0, 5);  // a track of unknown length: recounted
  flat.clear();
  engine.getFlatList({net.node(11)}, flat);
  EXPECT_EQ(net.node(11)->duration, 300);
}

TEST_F(SelectionTest, ViewStyleReportsOnlyChanges) {
  net.song(1);
  net.artist(2);
  EXPECT_TRUE(engine.setViewStyle(7));  // from 255
  EXPECT_FALSE(engine.setViewStyle(7));
  EXPECT_TRUE(engine.setViewStyle(4));
  EXPECT_EQ(ids(engine.getHotlist()), std::vector<int>{2});
  EXPECT_EQ(engine.getListLength(0), 1);
  EXPECT_EQ(engine.getNodeFromList(0, 1), nullptr);
}

TEST_F(SelectionTest, LinkStrengthAndNeighbours) {
  net.song(1);
  net.song(2);
  net.artist(3);
  net.link(1, 2, 0.5f);
  net.link(1, 3, 0.3f);
  for (int i = 0; i < 3; ++i) engine.advanceStep();
  EXPECT_NEAR(engine.getLinkStrength(net.node(2), net.node(1)), 0.5f * std::pow(0.99f, 3), 1e-6);
  LogCapture log;
  EXPECT_FLOAT_EQ(engine.getLinkStrength(net.node(2), net.node(3)), -1.0f);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kPlexSource,
                      "warning: returning invalid linkstrength!"),
            1);
  std::vector<Node*> found;
  EXPECT_EQ(engine.getNeighbours(net.node(1), found), 0);
  EXPECT_EQ(ids(found), (std::vector<int>{2, 3}));
}

}  // namespace
