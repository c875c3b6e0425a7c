// Learning: song-end learning inside the 300 s window, transition verdicts with removal and
// repair, penalty counters, path learning and new links, and events that teach nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "manager_test_support.h"

namespace {

using enginetest::LogCapture;

class LearningTest : public enginetest::ManagerTest {
 protected:
  // Song a ends at 100; song b starts `gap` seconds later and plays to its end.
  void backToBack(Node* a, Node* b, int32_t gap) {
    play(a, 0, 100);
    play(b, 100 + gap, 100 + gap + 180);
  }
};

struct WindowCase {
  int32_t gap;
  float expected;
};

class SongEndWindowTest : public LearningTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(SongEndWindowTest, StrengthensOnlyInsideTheWindow) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.link(1, 2, 0.5f);
  LogCapture log;
  backToBack(a, b, GetParam().gap);
  EXPECT_NEAR(net.strength(1, 2), GetParam().expected, 1e-5);
  const bool learned = GetParam().gap < 300;
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource,
                      "no learning, songs are too far apart"),
            learned ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Gaps, SongEndWindowTest,
                         ::testing::Values(WindowCase{0, 0.5f * std::pow(0.99f, -12)},
                                           WindowCase{299, 0.5f * std::pow(0.99f, -12)},
                                           WindowCase{300, 0.5f}, WindowCase{5000, 0.5f}));

TEST_F(LearningTest, BackToBackGives0_564AndCountsThePlays) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.link(1, 2, 0.5f);
  backToBack(a, b, 0);
  EXPECT_NEAR(net.strength(1, 2), 0.564f, 5e-4);
  EXPECT_EQ(a->playcount, 1);
  EXPECT_EQ(b->playcount, 1);
  EXPECT_EQ(b->lastplayed.seconds(), kT0 + 280);
  EXPECT_EQ(history(), (std::vector<int>{1, 2}));
  // Taboo since its start (its oldest entry): (18100 - 280) / 180.
  EXPECT_EQ(engine.getTaboo(b), 99);
}

struct CapCase {
  int otherKind;
  float start, expected;
};

class SongEndCapTest : public LearningTest, public ::testing::WithParamInterface<CapCase> {};

TEST_P(SongEndCapTest, StrengthenedLinksKeepTheirCaps) {
  // The older "song" of the pair is a song; the link under test joins it to the newer one.
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.link(1, 2, GetParam().start);
  backToBack(a, b, 10);
  EXPECT_NEAR(net.strength(1, 2), GetParam().expected, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Caps, SongEndCapTest,
                         ::testing::Values(CapCase{qorn::kSong, 0.95f, 1.0f},
                                           CapCase{qorn::kSong, 0.00001f, 0.00001f * 1.12836f}));

TEST_F(LearningTest, AutoSelectedSongsTeachNothing) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.link(1, 2, 0.5f);
  LogCapture log;
  play(a, 0, 100);
  play(b, 100, 280, /*autoSelected=*/true);
  EXPECT_FLOAT_EQ(net.strength(1, 2), 0.5f);
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource,
                      "skipped learning for auto selected track"),
            1);
  EXPECT_EQ(history(), (std::vector<int>{1, 2}));
  EXPECT_EQ(b->playcount, 1);
}

TEST_F(LearningTest, NegativeGapIsLoggedAndStillLearns) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.link(1, 2, 0.5f);
  play(a, 0, 100);
  LogCapture log;
  at(500);
  engine.onSongEndReached(b, false);  // b was never started: lastplayed -1
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource, "negative difftime"), 1);
  EXPECT_GT(net.strength(1, 2), 0.5f);
}

TEST_F(LearningTest, SongEndOverAPathStrengthensThePath) {
  Node* a = net.song(1);
  net.song(2);
  Node* c = net.song(3);
  net.link(1, 2, 0.3f);
  net.link(2, 3, 0.4f);
  backToBack(a, c, 0);
  const float factor = std::pow(0.95f, -12);
  EXPECT_NEAR(net.strength(1, 2), 0.3f * factor, 1e-5);
  EXPECT_NEAR(net.strength(2, 3), 0.4f * factor, 1e-5);
  EXPECT_EQ(engine.links().find(1, 3), nullptr);
}

TEST_F(LearningTest, SongEndWithoutPathCreatesANewLink) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  backToBack(a, b, 0);
  EXPECT_FLOAT_EQ(net.strength(1, 2), 0.1f);
}

TEST_F(LearningTest, PenaltyCounterOfNineGoesOnTheNextStrengthening) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.song(3);
  net.song(4);
  net.link(1, 2, 0.5f);
  net.link(1, 3, 0.5f);
  net.link(2, 4, 0.5f);
  engine.links().setPenalty(engine.links().find(1, 2), 9);
  backToBack(a, b, 0);
  EXPECT_EQ(engine.links().find(1, 2), nullptr);
  // Repair: 3 (the two-step side of 1) and 4 (of 2) are joined.
  EXPECT_FLOAT_EQ(net.strength(3, 4), 0.1f);
}

TEST_F(LearningTest, SmallPenaltyCounterIsRelievedAndTheLinkKept) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  qorn::Asc* l = net.link(1, 2, 0.5f);
  engine.links().setPenalty(l, 2);
  backToBack(a, b, 0);
  EXPECT_EQ(engine.links().penalty(l), 1);
  EXPECT_NEAR(l->strength.value(), 0.5f * std::pow(0.99f, -12), 1e-5);
  play(a, 280, 400);
  EXPECT_FALSE(engine.links().hasPenalty(l));
}

TEST_F(LearningTest, BadVerdictRemovesTheLinkAndRepairs) {
  // 3 - 1 - 2 - 4, each side with one more song: 3 - 5 and 4 - 6.
  for (int id = 1; id <= 6; ++id) net.song(id);
  net.link(1, 2, 0.9f);
  net.link(1, 3, 0.5f);
  net.link(3, 5, 0.5f);
  net.link(2, 4, 0.5f);
  net.link(4, 6, 0.5f);
  LogCapture log;
  EXPECT_EQ(engine.learnTransition(net.node(1), net.node(2), false), 1);
  EXPECT_EQ(log.count(enginetest::kInfo, enginetest::kManagerSource,
                      "transition learning song1 to song2"),
            1);
  EXPECT_EQ(engine.links().find(1, 2), nullptr);
  // Two steps from 2: {6} (via 4); from 1: {5} (via 3). The least linked songs are joined.
  EXPECT_FLOAT_EQ(net.strength(5, 6), 0.1f);
  EXPECT_EQ(engine.links().size(), 5u);
}

TEST_F(LearningTest, GoodVerdictOnALinkStrengthens) {
  net.song(1);
  net.song(2);
  net.link(1, 2, 0.3f);
  EXPECT_EQ(engine.learnTransition(net.node(1), net.node(2), true), 1);
  EXPECT_NEAR(net.strength(1, 2), 0.3f * std::pow(0.99f, -80), 1e-5);
}

TEST_F(LearningTest, GoodVerdictWithoutPathFindsNoWeakestLink) {
  net.song(1);
  net.song(2);
  LogCapture log;
  EXPECT_EQ(engine.learnTransition(net.node(1), net.node(2), true), 1);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource,
                      "no weakest link in doLearningStrong"),
            1);
  EXPECT_EQ(engine.links().size(), 0u);
  // The weak form creates the link instead.
  EXPECT_EQ(engine.doLearning(net.node(2), net.node(1), -12, false), 1);
  EXPECT_FLOAT_EQ(net.strength(1, 2), 0.1f);
}

TEST_F(LearningTest, GoodVerdictOverAPathLeavesOneLinkPerPair) {
  // a - b - c: the weakest link a-b goes; its repair already joins a and c, and the strong
  // step asks for a-c again. One link must remain for the pair.
  net.song(1);
  net.song(2);
  net.song(3);
  net.link(1, 2, 0.2f);
  net.link(2, 3, 0.5f);
  EXPECT_EQ(engine.learnTransition(net.node(1), net.node(3), true), 1);
  EXPECT_EQ(engine.links().find(1, 2), nullptr);
  EXPECT_FLOAT_EQ(net.strength(1, 3), 0.1f);
  EXPECT_EQ(engine.links().size(), 2u);
  EXPECT_EQ(engine.links().degree(1), 1u);
  EXPECT_TRUE(engine.links().remove(1, 3));
  EXPECT_EQ(engine.links().find(1, 3), nullptr);
}

TEST_F(LearningTest, VerdictArgumentsAndResultCodes) {
  Node* a = net.song(1);
  net.list(10, {1});
  LogCapture log;
  EXPECT_EQ(engine.learnTransition(nullptr, a, true), -1);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource,
                      "a is null in call to learnTransition"),
            1);
  EXPECT_EQ(engine.learnTransition(a, nullptr, true), -1);
  EXPECT_EQ(log.count(enginetest::kError, enginetest::kManagerSource,
                      "history is empty in call to learnTransition"),
            1);
  EXPECT_EQ(engine.learnTransition(a, net.node(10), true), -2);
  // Without a second song the last history entry is taken; the same song teaches nothing.
  play(a, 0, 100);
  EXPECT_EQ(engine.learnTransition(a, nullptr, false), 1);
  EXPECT_EQ(engine.links().size(), 0u);
}

TEST_F(LearningTest, AbortedSongsNeverChangeALink) {
  Node* a = net.song(1);
  Node* b = net.song(2);
  net.link(1, 2, 0.5f);
  LogCapture log;
  play(a, 0, 100);
  at(120);
  engine.onPlay(b, false);
  at(130);
  EXPECT_EQ(engine.onAbortedSong(b, 10.0f, true), 1);
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource,
                      "restricted auto learning: ignored abort song"),
            1);
  EXPECT_FLOAT_EQ(net.strength(1, 2), 0.5f);
  EXPECT_EQ(history(), (std::vector<int>{1, 2}));
  EXPECT_EQ(engine.history().committed(), 1u);
  EXPECT_EQ(engine.getTaboo(b), 99);  // since its start at 120
  EXPECT_EQ(b->playcount, 0);
}

TEST_F(LearningTest, EventsOnOtherKinds) {
  net.list(10, {});
  Node* list = net.node(10);
  EXPECT_EQ(engine.onPlay(list, false), -1);
  EXPECT_EQ(engine.onStop(list, 0, true), 0);
  EXPECT_EQ(engine.onAbortedSong(list, 0, true), 0);
  EXPECT_EQ(engine.onSongEndReached(list, false), 0);
  EXPECT_EQ(engine.onPrev(), 1);
  EXPECT_TRUE(history().empty());
}

}  // namespace
