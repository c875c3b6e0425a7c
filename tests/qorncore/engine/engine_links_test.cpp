// The link store: lookups in both directions, strength caps, the mended create, neighbour
// order and filtering, the best path search and its busy-node rule.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine_test_support.h"

namespace {

using enginetest::Builder;
using enginetest::ids;
using qorn::AscHolder;
using qorn::qornfloat;

class LinksTest : public ::testing::Test {
 protected:
  qorn::PlexEngine engine;
  Builder net{engine};
  AscHolder& links() { return engine.links(); }
};

TEST_F(LinksTest, FindIgnoresDirectionAndRemoveDeletesBothEntries) {
  net.song(1);
  net.song(2);
  qorn::Asc* l = net.link(1, 2, 0.4f);
  EXPECT_EQ(links().find(1, 2), l);
  EXPECT_EQ(links().find(2, 1), l);
  EXPECT_TRUE(links().remove(2, 1));
  EXPECT_EQ(links().find(1, 2), nullptr);
  EXPECT_FALSE(links().remove(1, 2));
  EXPECT_EQ(links().size(), 0u);
}

TEST_F(LinksTest, CreateRefusesUnknownOrSameNodes) {
  net.song(1);
  EXPECT_EQ(links().create(1, 99, qornfloat(0.5f)), nullptr);
  EXPECT_EQ(links().create(1, 1, qornfloat(0.5f)), nullptr);
  EXPECT_EQ(links().size(), 0u);
}

TEST_F(LinksTest, CreateOfAnExistingPairKeepsTheOneLink) {
  net.song(1);
  net.song(2);
  qorn::Asc* first = net.link(1, 2, 0.4f);
  EXPECT_EQ(links().create(2, 1, qornfloat(0.1f)), first);
  EXPECT_EQ(links().size(), 1u);
  EXPECT_FLOAT_EQ(first->strength.value(), 0.4f);
  EXPECT_EQ(ids(links().neighbours(1, 0, true)), std::vector<int>{2});
}

TEST_F(LinksTest, NewLinkTakesTheCurrentStep) {
  net.song(1);
  net.song(2);
  engine.advanceStep();
  engine.advanceStep();
  EXPECT_EQ(net.link(1, 2, 0.5f)->lastvisited, 2);
}

struct CapCase {
  int kindA, kindB;
  float requested, stored;
  bool uncapped;
};

class StrengthCapTest : public LinksTest, public ::testing::WithParamInterface<CapCase> {};

TEST_P(StrengthCapTest, CapsByEndKinds) {
  const CapCase c = GetParam();
  auto make = [&](int id, int kind) {
    if (kind == qorn::kSong) net.song(id);
    if (kind == qorn::kSongList) net.list(id, {});
    if (kind == qorn::kArtist) net.artist(id);
  };
  make(1, c.kindA);
  make(2, c.kindB);
  qorn::Asc* l = links().create(1, 2, qornfloat(0.0f));
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(AscHolder::setStrength(*l, qornfloat(c.requested)), c.uncapped);
  EXPECT_FLOAT_EQ(l->strength.value(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Caps, StrengthCapTest,
    ::testing::Values(CapCase{qorn::kSong, qorn::kSongList, 0.8f, 0.3f, false},
                      CapCase{qorn::kSongList, qorn::kSong, 0.3f, 0.3f, true},
                      CapCase{qorn::kSong, qorn::kArtist, 0.31f, 0.3f, false},
                      CapCase{qorn::kSong, qorn::kSong, 1.2f, 1.0f, false},
                      CapCase{qorn::kSong, qorn::kSong, 0.8f, 0.8f, true},
                      CapCase{qorn::kSongList, qorn::kArtist, 0.8f, 0.8f, true},
                      CapCase{qorn::kArtist, qorn::kSongList, 1.5f, 1.0f, false}));

TEST_F(LinksTest, NeighboursInIdOrderWithExcludeAndMetaFilter) {
  net.song(5);
  net.song(3);
  net.song(9);
  net.list(7, {5});
  net.artist(4);
  net.link(5, 9, 0.5f);
  net.link(5, 3, 0.5f);
  net.link(5, 7, 0.2f);
  net.link(4, 5, 0.3f);
  EXPECT_EQ(ids(links().neighbours(5, 0, true)), (std::vector<int>{3, 4, 7, 9}));
  EXPECT_EQ(ids(links().neighbours(5, 3, true)), (std::vector<int>{4, 7, 9}));
  EXPECT_EQ(ids(links().neighbours(5, 0, false)), (std::vector<int>{3, 9}));
  // An album's links all lead to songs, but none is song-to-song.
  EXPECT_TRUE(links().neighbours(7, 0, false).empty());
  EXPECT_EQ(links().degree(5), 4u);
}

TEST_F(LinksTest, PairOrderWalkGivesEachLinkOnceByFirstThenSecondId) {
  for (int id : {1, 2, 3, 4}) net.song(id);
  net.link(3, 1, 0.1f);
  net.link(2, 4, 0.2f);
  net.link(1, 2, 0.3f);
  std::vector<std::pair<int, int>> seen;
  links().forEachLinkInPairOrder([&](qorn::Asc&, int a, int b) { seen.emplace_back(a, b); });
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 2}, {1, 3}, {2, 4}}));
}

TEST_F(LinksTest, AddReplacesTheExistingLinkAndKeepsPositiveCounters) {
  net.song(1);
  net.song(2);
  net.link(1, 2, 0.9f);
  qorn::Asc read(net.node(2), net.node(1), qornfloat(0.25f), 0);
  qorn::Asc* stored = links().add(read, 9);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(links().size(), 1u);
  EXPECT_EQ(links().find(1, 2), stored);
  EXPECT_FLOAT_EQ(stored->strength.value(), 0.25f);
  EXPECT_EQ(links().penalty(stored), 9);
  qorn::Asc dangling(net.node(1), nullptr, qornfloat(0.5f), 0);
  EXPECT_EQ(links().add(dangling, 0), nullptr);
}

// A run of links (the network reader's way) stores exactly what add() stores link by link:
// the same lists, link numbers, ends, values and penalty counters.
struct RunCase {
  const char* name;
  // from, to, strength, penalty; ids 1-6 are songs, 9 names no node
  std::vector<std::tuple<int, int, float, int>> links;
};

class LinkRunTest : public ::testing::TestWithParam<RunCase> {};

std::string store(qorn::PlexEngine& engine) {
  std::ostringstream out;
  AscHolder& links = engine.links();
  out << links.size() << " links, numbers below " << links.linkNumberLimit() << "\n";
  for (int id = 1; id <= 9; ++id) {
    out << id << ":";
    for (const AscHolder::Entry& e : links.entriesOf(id)) {
      const qorn::Asc& l = links.linkAt(e.slot);
      out << ' ' << e.other << '#' << e.slot << '(' << l.from->id << '>' << l.to->id << ' '
          << l.strength.value() << " @" << l.lastvisited << " p" << links.penalty(&l) << ')';
    }
    out << "\n";
  }
  return out.str();
}

TEST_P(LinkRunTest, RunStoresWhatAddStores) {
  qorn::PlexEngine oneByOne, inRun;
  Builder a{oneByOne}, b{inRun};
  for (int id = 1; id <= 6; ++id) {
    a.song(id);
    b.song(id);
  }
  ASSERT_TRUE(inRun.links().beginRun());
  int step = 0;
  for (const auto& [from, to, strength, penalty] : GetParam().links) {
    ++step;
    qorn::Asc x(oneByOne.nodes().find(from), oneByOne.nodes().find(to), qornfloat(strength), step);
    qorn::Asc y(inRun.nodes().find(from), inRun.nodes().find(to), qornfloat(strength), step);
    EXPECT_EQ(inRun.links().append(y, from, to, penalty),
              oneByOne.links().add(x, from, to, penalty) != nullptr);
  }
  EXPECT_EQ(inRun.links().find(1, 2), nullptr);  // not yet: the lists come at the end
  inRun.links().endRun();
  EXPECT_FALSE(inRun.links().inRun());
  EXPECT_EQ(store(inRun), store(oneByOne));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkRunTest,
    ::testing::Values(
        RunCase{"InPairOrder", {{1, 2, 0.5f, 0}, {1, 3, 0.25f, 2}, {2, 3, 0.75f, 0}, {3, 6, 0.1f, 0}}},
        RunCase{"AnyOrder", {{6, 1, 0.5f, 0}, {4, 2, 0.25f, 1}, {2, 1, 0.75f, 0}, {5, 3, 0.1f, 3}}},
        RunCase{"RepeatedPairs",
                {{1, 2, 0.5f, 4}, {3, 4, 0.2f, 0}, {2, 1, 0.9f, 0}, {5, 6, 0.3f, 1}, {3, 4, 0.6f, 7}}},
        RunCase{"RefusedEnds", {{1, 9, 0.5f, 0}, {2, 2, 0.5f, 1}, {3, 1, 0.4f, 0}}},
        RunCase{"Empty", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinksTest, ARunOnAStoreWithLinksAddsEachLinkAtOnce) {
  for (int id = 1; id <= 3; ++id) net.song(id);
  net.link(1, 2, 0.5f);
  EXPECT_FALSE(links().beginRun());
  qorn::Asc l(net.node(2), net.node(3), qornfloat(0.25f), 0);
  EXPECT_TRUE(links().append(l, 2, 3, 0));
  ASSERT_NE(links().find(3, 2), nullptr);
  EXPECT_FLOAT_EQ(links().find(3, 2)->strength.value(), 0.25f);
  links().endRun();
  EXPECT_EQ(links().size(), 2u);
}

class PathTest : public LinksTest {
 protected:
  std::vector<int32_t> path(int from, int to, float* cost = nullptr) {
    float c = -1;
    auto p = links().findPath(3, from, to, c, [this](qorn::Asc& l) { return engine.decayLink(l); });
    if (cost) *cost = c;
    return p;
  }
};

TEST_F(PathTest, ReturnsTargetFirstAndSumsTheRecordedCosts) {
  for (int id : {1, 2, 3}) net.song(id);
  net.link(1, 2, 0.5f);
  net.link(2, 3, 0.5f);
  float cost = 0;
  EXPECT_EQ(path(1, 3, &cost), (std::vector<int32_t>{3, 2, 1}));
  // 1 has one link: step cost 0; 2 has two equal links: step cost 0.5.
  EXPECT_FLOAT_EQ(cost, 0.0f + 0.0f + 0.5f);
  EXPECT_EQ(path(2, 2), std::vector<int32_t>{2});
}

TEST_F(PathTest, NoPathBeyondThreeLinks) {
  for (int id = 1; id <= 5; ++id) net.song(id);
  for (int id = 1; id < 5; ++id) net.link(id, id + 1, 0.5f);
  EXPECT_EQ(path(1, 4).size(), 4u);
  EXPECT_TRUE(path(1, 5).empty());
}

TEST_F(PathTest, BusyNodesAreNotExpanded) {
  // 1 - hub - 2, the hub with exactly 30 links, then 29.
  net.song(1);
  net.song(2);
  net.song(100);
  net.link(1, 100, 0.5f);
  net.link(100, 2, 0.5f);
  for (int id = 200; id < 228; ++id) {
    net.song(id);
    net.link(100, id, 0.1f);
  }
  ASSERT_EQ(links().degree(100), 30u);
  EXPECT_TRUE(path(1, 2).empty());
  links().remove(100, 227);
  EXPECT_EQ(path(1, 2), (std::vector<int32_t>{2, 100, 1}));
}

TEST_F(PathTest, AlbumsAreSkippedButPlaylistsPassed) {
  net.song(1);
  net.song(2);
  net.list(10, {1, 2});
  net.link(1, 10, 0.2f);
  net.link(2, 10, 0.2f);
  EXPECT_TRUE(path(1, 2).empty());
  net.list(11, {1, 2}, -1, qorn::kPlayList);
  net.link(1, 11, 0.2f);
  net.link(2, 11, 0.2f);
  EXPECT_EQ(path(1, 2), (std::vector<int32_t>{2, 11, 1}));
}

}  // namespace
