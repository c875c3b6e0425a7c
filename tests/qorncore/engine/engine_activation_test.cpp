// Spreading activation: saturation, lazy decay, the propagation threshold, frozen links,
// the share passed to neighbours, link strengthening, the hotlist and the keyword index.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "engine_test_support.h"
#include "qorncore/datatypes/EngineConsole.h"

namespace {

using enginetest::Builder;
using enginetest::ids;
using enginetest::LogCapture;
using qorn::ExcitationItem;
using qorn::qornfloat;

constexpr const char* kPlex = "qorncore/engine/PlexEngine";

class ActivationTest : public ::testing::Test {
 protected:
  int excite(Node* n, float amount) {
    return engine.excite({ExcitationItem{qornfloat(amount), 0, n}});
  }
  float activation(int id) { return engine.decayNode(net.node(id)).value(); }

  qorn::PlexEngine engine;
  Builder net{engine};
};

TEST_F(ActivationTest, SaturationAndDecayOfOneSong) {
  Node* s = net.song(1);
  EXPECT_EQ(excite(s, 1.4f), 1);
  EXPECT_EQ(engine.step(), 1);
  EXPECT_NEAR(activation(1), 0.9f, 1e-6);
  // One step later: decayed to 0.855 first, then raised by the same saturation.
  engine.advanceStep();
  EXPECT_NEAR(activation(1), 0.855f, 1e-6);
  engine.excite({});  // the node's decay is already at this step's predecessor
  excite(s, 1.4f);
  const float decayed = 0.855f * 0.95f * 0.95f;
  EXPECT_NEAR(activation(1), decayed + (1 - decayed) * 0.9f, 1e-5);
}

TEST_F(ActivationTest, SecondExcitationOneStepLaterGives0_9855) {
  Node* s = net.song(1);
  excite(s, 1.4f);
  excite(s, 1.4f);
  EXPECT_EQ(engine.step(), 2);
  EXPECT_NEAR(activation(1), 0.9855f, 1e-5);
}

TEST_F(ActivationTest, TenUntouchedStepsKeep0_95PowerTen) {
  Node* s = net.song(1);
  net.song(2);
  excite(s, 1.4f);
  for (int i = 0; i < 10; ++i) excite(net.node(2), 0.5f);
  EXPECT_EQ(s->decayedAt, 1);  // lazy: nothing touched it
  EXPECT_NEAR(activation(1), 0.9f * std::pow(0.95f, 10), 1e-6);
  EXPECT_EQ(s->decayedAt, 11);
}

TEST_F(ActivationTest, DecayOfANodeAheadOfTheCounterMovesTheCounter) {
  Node* s = net.song(1);
  s->decayedAt = 40;
  engine.decayNode(s);
  EXPECT_EQ(engine.step(), 40);
}

struct ThresholdCase {
  float amount;
  bool spreads;
};

class ThresholdTest : public ActivationTest,
                      public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(ThresholdTest, OnlyItemsAboveTheThresholdSpread) {
  net.song(1);
  net.song(2);
  net.link(1, 2, 0.5f);
  qorn::Propagation p;
  ASSERT_TRUE(engine.propagate({ExcitationItem{qornfloat(GetParam().amount), 0, net.node(1)}}, p));
  EXPECT_FLOAT_EQ(p.nodes.at(net.node(1)).value(), GetParam().amount);
  EXPECT_EQ(p.nodes.count(net.node(2)) == 1, GetParam().spreads);
}

INSTANTIATE_TEST_SUITE_P(Threshold, ThresholdTest,
                         ::testing::Values(ThresholdCase{0.012f, false},
                                           ThresholdCase{0.0121f, true},
                                           ThresholdCase{0.011f, false}, ThresholdCase{1.0f, true}));

class OneNeighbourTest : public ActivationTest, public ::testing::WithParamInterface<float> {};

TEST_P(OneNeighbourTest, PassesNineTenthsWhateverTheStrength) {
  net.song(1);
  net.song(2);
  net.link(1, 2, GetParam());
  qorn::Propagation p;
  ASSERT_TRUE(engine.propagate({ExcitationItem{qornfloat(1.0f), 0, net.node(1)}}, p));
  EXPECT_FLOAT_EQ(p.nodes.at(net.node(2)).value(), 0.9f);
  // The neighbour passes nothing back over the link it came by.
  EXPECT_FLOAT_EQ(p.nodes.at(net.node(1)).value(), 1.0f);
}

INSTANTIATE_TEST_SUITE_P(Strengths, OneNeighbourTest, ::testing::Values(0.00001f, 0.1f, 0.5f, 1.0f));

TEST_F(ActivationTest, ExcitationIsSharedByLinkStrength) {
  for (int id : {1, 2, 3, 4}) net.song(id);
  net.link(1, 2, 0.6f);
  net.link(1, 3, 0.2f);
  net.link(3, 4, 0.2f);
  qorn::Propagation p;
  ASSERT_TRUE(engine.propagate({ExcitationItem{qornfloat(1.0f), 0, net.node(1)}}, p));
  EXPECT_NEAR(p.nodes.at(net.node(2)).value(), 0.9f * 0.75f, 1e-6);
  EXPECT_NEAR(p.nodes.at(net.node(3)).value(), 0.9f * 0.25f, 1e-6);
  EXPECT_NEAR(p.nodes.at(net.node(4)).value(), 0.9f * 0.9f * 0.25f, 1e-6);
  EXPECT_NEAR(p.links.at(engine.links().find(3, 4)).value(), 0.9f * 0.9f * 0.25f, 1e-6);
}

TEST_F(ActivationTest, WithoutPropagationToMetaOnlySongsAreReached) {
  net.song(1);
  net.song(2);
  net.list(10, {1});
  net.link(1, 10, 0.3f);
  net.link(1, 2, 0.3f);
  engine.setPropagateToMeta(false);
  qorn::Propagation p;
  ASSERT_TRUE(engine.propagate({ExcitationItem{qornfloat(1.0f), 0, net.node(1)},
                                ExcitationItem{qornfloat(1.0f), 0, net.node(10)}},
                               p));
  EXPECT_EQ(p.nodes.count(net.node(10)), 0u);
  EXPECT_FLOAT_EQ(p.nodes.at(net.node(2)).value(), 0.9f);
}

TEST_F(ActivationTest, ExcitationStrengthensCarryingLinks) {
  net.song(1);
  net.song(2);
  qorn::Asc* l = net.link(1, 2, 0.5f);
  excite(net.node(1), 1.0f);
  // Decayed one step (0.495), then undone and raised by 0.001 x 0.9 / (0.9 + 0.5).
  EXPECT_NEAR(l->strength.value(), 0.5f + 0.001f * 0.9f / 1.4f, 1e-6);
  EXPECT_EQ(l->lastvisited, 1);
  EXPECT_NEAR(activation(2), 1 - std::pow(0.1f, 0.9f / 1.4f), 1e-6);
}

TEST_F(ActivationTest, FrozenLinksKeepStepAndStrengthsButActivationsChange) {
  LogCapture log;
  net.song(1);
  net.song(2);
  qorn::Asc* l = net.link(1, 2, 0.5f);
  engine.freezeLinks(true);
  EXPECT_EQ(log.count(enginetest::kInfo, kPlex, "'!!! freezeLinks is set to true"), 1);
  excite(net.node(1), 1.4f);
  EXPECT_EQ(engine.step(), 0);
  EXPECT_FLOAT_EQ(l->strength.value(), 0.5f);
  EXPECT_NEAR(activation(1), 0.9f, 1e-6);
  EXPECT_GT(activation(2), 0.0f);
  engine.freezeLinks(false);
  EXPECT_EQ(log.count(enginetest::kInfo, kPlex, "'!!! freezeLinks is set to true"), 2);
}

TEST_F(ActivationTest, StrengthenRules) {
  EXPECT_NEAR(engine.strengthen(qornfloat(0.5f), qornfloat(10.0f)).value(), 0.5f / 0.99f + 0.001f,
              1e-6);
  EXPECT_NEAR(engine.strengthen(qornfloat(0.5f), qornfloat(0.5f)).value(),
              0.5f / 0.99f + 0.0005f, 1e-6);
  EXPECT_NEAR(engine.strengthen(qornfloat(0.0f), qornfloat(0.5f)).value(), 0.00001f + 0.0005f,
              1e-7);
  LogCapture log;
  EXPECT_FLOAT_EQ(engine.strengthen(qornfloat(1.0f), qornfloat(10.0f)).value(), 1.0f);
  EXPECT_EQ(log.countPrefix("Warning: illegal illedal link strength: "), 1);
  // A step of at most 1% + 0.001 stays below the 0.02 warning step.
  std::ostringstream console;
  {
    qorn::ScopedEngineConsole captured(console);
    engine.strengthen(qornfloat(0.9f), qornfloat(1.0f));
  }
  EXPECT_EQ(console.str(), "");
  engine.freezeLinks(true);
  EXPECT_FLOAT_EQ(engine.strengthen(qornfloat(0.3f), qornfloat(10.0f)).value(), 0.3f);
}

TEST_F(ActivationTest, NormalizeRejectsNegativeExcitation) {
  LogCapture log;
  EXPECT_FLOAT_EQ(qorn::PlexEngine::normalizeNodeActivation(qornfloat(-1.0f), qornfloat(0.4f)).value(),
                  0.4f);
  EXPECT_EQ(log.count(enginetest::kError, kPlex, "received illegal excitation -1"), 1);
  EXPECT_FLOAT_EQ(qorn::PlexEngine::normalizeNodeActivation(qornfloat(50.0f), qornfloat(0.0f)).value(),
                  1.0f);
  EXPECT_EQ(engine.decayNode(nullptr).value(), 0.0f);
  EXPECT_EQ(log.count(enginetest::kError, kPlex, "call to PlexEngine::decayNode with NULL ptr"), 1);
}

TEST_F(ActivationTest, LinkDecayHasAFloor) {
  net.song(1);
  net.song(2);
  qorn::Asc* l = net.link(1, 2, 0.001f);
  for (int i = 0; i < 2000; ++i) engine.advanceStep();
  EXPECT_FLOAT_EQ(engine.decayLink(*l).value(), 0.00001f);
}

TEST_F(ActivationTest, HotlistKeepsTheHundredMostActiveInOrder) {
  for (int id = 1; id <= 150; ++id) {
    net.song(id);
    net.node(id)->activation = qornfloat(id % 2 ? 0.5f : 0.001f * static_cast<float>(id));
  }
  engine.hotlistHolder().markDirty();
  const std::vector<Node*>& hot = engine.getHotlist();
  ASSERT_EQ(hot.size(), 100u);
  // 75 odd ids at 0.5 first (ties by id), then the even ids from 150 down.
  EXPECT_EQ(hot[0]->id, 1);
  EXPECT_EQ(hot[74]->id, 149);
  EXPECT_EQ(hot[75]->id, 150);
  EXPECT_EQ(hot[99]->id, 102);
}

TEST_F(ActivationTest, FilterChangesAndIllegalFilter) {
  net.song(1);
  net.artist(2);
  EXPECT_EQ(engine.hotlistHolder().setFilter(1, engine.nodes()), 1);
  EXPECT_EQ(ids(engine.getHotlist()), std::vector<int>{1});
  EXPECT_EQ(engine.hotlistHolder().setFilter(1, engine.nodes()), 0);
  LogCapture log;
  std::ostringstream console;
  {
    qorn::ScopedEngineConsole captured(console);
    EXPECT_EQ(engine.hotlistHolder().setFilter(8, engine.nodes()), 0);
  }
  EXPECT_EQ(console.str(), "Warning illegal hotlist filter!8\n");
  EXPECT_EQ(log.count(enginetest::kError, kPlex, "Warning illegal hotlist filter8"), 1);
  EXPECT_EQ(engine.hotlistHolder().filter(), 1);
}

TEST_F(ActivationTest, KeywordScoresWeighCommonTokensLess) {
  // "rare" on one node, "common" on eleven: e^-1 each.
  net.song(1)->pendingKeywords = "";
  engine.keywords().add("Rare Common", net.node(1));
  for (int id = 2; id <= 11; ++id) engine.keywords().add("common", net.song(id));
  testing::internal::CaptureStdout();
  auto onlyCommon = engine.keywords().search("common");
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(onlyCommon.size(), 11u);
  for (const auto& [node, score] : onlyCommon) EXPECT_FLOAT_EQ(score, 1.0f);
  testing::internal::CaptureStdout();
  auto both = engine.keywords().search("the rare COMMON");
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(both.size(), 11u);
  EXPECT_EQ(both[0].first->id, 1);
  EXPECT_FLOAT_EQ(both[0].second, 1.0f);
  EXPECT_NEAR(both[1].second, std::exp(-1.0f) / (1.0f + std::exp(-1.0f)), 1e-6);
  EXPECT_EQ(printed.substr(0, 2), "1\n");
  EXPECT_EQ(engine.keywords().keywordsOf(net.node(1)), "common, rare");
}

TEST_F(ActivationTest, PendingKeywordsAreIndexedWhenTheNodeJoins) {
  auto* s = new qorn::SongNode(0);
  s->pendingKeywords = "Night Drive";
  ASSERT_EQ(engine.addNode(s), 1);
  EXPECT_EQ(s->id, 1);
  EXPECT_TRUE(s->pendingKeywords.empty());
  EXPECT_EQ(engine.keywords().keywordsOf(s), "drive, night");
  EXPECT_EQ(engine.setNodeField(1, "keywords", "dawn"), 1);
  EXPECT_EQ(engine.keywords().keywordsOf(s), "dawn");
  EXPECT_EQ(engine.setNodeField(1, "add:keywords", "dusk"), 1);
  EXPECT_EQ(engine.keywords().keywordsOf(s), "dawn, dusk");
  testing::internal::CaptureStdout();
  EXPECT_EQ(engine.setNodeField(1, "colour", "red"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning unsupported node field: colour\n");
}

}  // namespace

namespace {

// The reused accumulator must forget every key on clear, also keys whose probe chains ran
// through slots cleared before them.
TEST(AccumulatorTest, ClearForgetsEveryKeyAcrossManyReuses) {
  std::vector<qorn::SongNode> nodes(3000);
  qorn::Accumulator<Node> acc;
  for (int round = 0; round < 20; ++round) {
    const std::size_t n = 50 + static_cast<std::size_t>(round) * 140;
    for (std::size_t i = 0; i < n; ++i) acc.add(&nodes[i], qorn::qornfloat(1.0f));
    for (std::size_t i = 0; i < n; i += 7) acc.add(&nodes[i], qorn::qornfloat(1.0f));
    ASSERT_EQ(acc.size(), n);
    EXPECT_FLOAT_EQ(acc.at(&nodes[0]).value(), 2.0f);
    EXPECT_FLOAT_EQ(acc.at(&nodes[1]).value(), 1.0f);
    EXPECT_EQ(acc.count(&nodes[n]), 0u);
    acc.clear();
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(acc.count(&nodes[i]), 0u);
  }
}

}  // namespace
