// The taboo list over time: proportions, durations, list and artist lengths, purging,
// repairs, and the local taboo lists.
#include <gtest/gtest.h>

#include "manager_test_support.h"

namespace {

using enginetest::LogCapture;

class TabooTest : public enginetest::ManagerTest {
 protected:
  int taboo(int id) { return engine.getTaboo(net.node(id)); }
};

struct ProportionCase {
  int32_t offset;
  int proportion;
};

class SongProportionTest : public TabooTest,
                           public ::testing::WithParamInterface<ProportionCase> {};

TEST_P(SongProportionTest, FallsFromHundredToZeroOverTheSongTime) {
  net.song(1);
  engine.onPlay(net.node(1), false);
  at(GetParam().offset);
  EXPECT_EQ(taboo(1), GetParam().proportion);
}

INSTANTIATE_TEST_SUITE_P(OverTime, SongProportionTest,
                         ::testing::Values(ProportionCase{0, 100}, ProportionCase{1, 99},
                                           ProportionCase{9000, 50}, ProportionCase{17999, 0},
                                           ProportionCase{18000, 0}, ProportionCase{30000, 0}));

TEST_F(TabooTest, ListsAndArtistsAddTheirLength) {
  net.list(10, {}, 0);                     // no tracks, no length: the list time alone
  net.list(11, {}, 600);                   // 600 s plus the list time
  net.list(12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0);  // 12 x 240 s
  net.artist(20, 0);
  for (int id = 1; id <= 3; ++id) {
    net.song(id);
    net.link(id, 20, 0.3f);
  }
  for (int id : {10, 11, 12, 20}) engine.setTaboo(net.node(id), true);
  // Each is still taboo with 1% of its whole length left, and no longer at its expiry
  // (shortest first: a later time purges every entry that expired before it).
  struct Span {
    int id;
    int32_t length;
  };
  for (const Span& s : {Span{10, 18000}, Span{11, 18600}, Span{20, 18000 + 720},
                        Span{12, 18000 + 2880}}) {
    at(s.length - (s.length + 99) / 100);
    EXPECT_EQ(taboo(s.id), 1) << s.id;
    at(s.length);
    EXPECT_EQ(taboo(s.id), 0) << s.id;
    at(0);
  }
}

TEST_F(TabooTest, ListProportionCountsTheExtraLength) {
  LogCapture log;
  net.list(11, {}, 2000);
  engine.setTaboo(net.node(11), true);
  EXPECT_EQ(taboo(11), 100);
  at(10000);  // half of 20000
  EXPECT_EQ(taboo(11), 50);
  EXPECT_EQ(log.countPrefix("illegal taboo proportion"), 0);
}

TEST_F(TabooTest, SetTabooOffAndAgain) {
  net.song(1);
  engine.setTaboo(net.node(1), true);
  engine.setTaboo(net.node(1), false);
  EXPECT_EQ(taboo(1), 0);
  at(5000);
  engine.setTaboo(net.node(1), true);
  // The first, removed entry must not end the new taboo when its time comes.
  at(18001);
  EXPECT_GT(taboo(1), 0);
  at(23000);
  EXPECT_EQ(taboo(1), 0);
  engine.setTaboo(nullptr, true);
}

TEST_F(TabooTest, ShorterSongTimeMovesExpiriesEarlierButNotBeyondTheNewTime) {
  LogCapture log;
  net.song(1);
  net.song(2);
  engine.onPlay(net.node(1), false);  // expires at 18000
  at(10000);
  engine.onPlay(net.node(2), false);  // expires at 28000
  EXPECT_EQ(engine.setTabooDuration(3600, 18000), 0);
  EXPECT_EQ(log.count(enginetest::kInfo, enginetest::kTabooSource, "set absolute taboo"), 1);
  // Song 1: 18000 - 14400 = 3600, already past: not taboo. Song 2: 13600, capped at 13600.
  EXPECT_EQ(taboo(1), 0);
  EXPECT_EQ(taboo(2), 100);
  at(10000 + 1800);
  EXPECT_EQ(taboo(2), 50);
  at(13600);
  EXPECT_EQ(taboo(2), 0);
}

TEST_F(TabooTest, IllegalOrUnchangedDurationsChangeNothing) {
  LogCapture log;
  net.song(1);
  engine.onPlay(net.node(1), false);
  engine.setTabooDuration(-1, 100);
  engine.setTabooDuration(18000, 18000);
  EXPECT_EQ(engine.tabooList().songTime(), 18000);
  EXPECT_EQ(engine.tabooList().listTime(), 18000);
  EXPECT_EQ(log.countPrefix("set absolute taboo"), 0);
  at(9000);
  EXPECT_EQ(taboo(1), 50);
}

TEST_F(TabooTest, EntryBeyondItsDurationIsRepairedAndLogged) {
  LogCapture log;
  net.song(1);
  engine.tabooList().addWithExpiry(enginetest::ManagerTest::kT0 + 40000, 0, net.node(1));
  EXPECT_EQ(taboo(1), 100);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kTabooSource,
                      "illegal taboo proportion 222 for song1"),
            1);
  at(9000);
  EXPECT_EQ(taboo(1), 50);  // now measured from the repaired expiry
}

TEST_F(TabooTest, ZeroDurationMakesNothingTaboo) {
  net.song(1);
  engine.setTabooDuration(0, 0);
  EXPECT_EQ(engine.tabooList().add(0, net.node(1)), 0);
  EXPECT_EQ(taboo(1), 0);
  EXPECT_EQ(engine.tabooList().add(0, nullptr), 0);
}

TEST_F(TabooTest, LocalTabooListsAreSavedAndRestoredOldestFirst) {
  net.song(1);
  net.song(2);
  net.song(3);
  engine.setTabooDuration(7200, 7200);
  engine.onPlay(net.node(1), false);
  engine.setLocalTabooList(false);  // saved: {1}; now empty with default times
  EXPECT_EQ(taboo(1), 0);
  EXPECT_EQ(engine.tabooList().songTime(), 18000);
  engine.onPlay(net.node(2), false);
  engine.setLocalTabooList(true);  // saved: {1}, {2}; current stays {2}
  EXPECT_EQ(taboo(2), 100);
  engine.onPlay(net.node(3), false);
  engine.resetLocalTabooList();  // back to the first saved list
  EXPECT_EQ(taboo(1), 100);
  EXPECT_EQ(taboo(2), 0);
  EXPECT_EQ(taboo(3), 0);
  EXPECT_EQ(engine.tabooList().songTime(), 7200);
  engine.resetLocalTabooList();
  EXPECT_EQ(taboo(2), 100);
  EXPECT_EQ(engine.savedTabooLists(), 0u);
  engine.resetLocalTabooList();  // nothing saved: nothing happens
  EXPECT_EQ(taboo(2), 100);
}

}  // namespace
