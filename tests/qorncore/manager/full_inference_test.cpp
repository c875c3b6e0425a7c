// The visiting and linking rules of the full inference, on songs whose similarities the
// test sets.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "qorncore/engine/Node.h"
#include "qorncore/manager/FullInference.h"

namespace {

using qorn::FullInferenceHooks;
using qorn::ScoredSong;

// Songs 0..n-1 with similarity sim(i, j) given by a function; links and visits recorded.
class Fixture {
 public:
  explicit Fixture(int n, std::function<float(int, int)> sim) : sim_(std::move(sim)) {
    for (int i = 0; i < n; ++i) {
      nodes_.push_back(std::make_unique<qorn::SongNode>(i + 1));
      songs.push_back(nodes_.back().get());
    }
    hooks.compare = [this](Node* y, const std::vector<Node*>& pool, std::vector<ScoredSong>& out) {
      ++compares;
      poolSizes.push_back(pool.size());
      for (Node* p : pool) {
        EXPECT_NE(p, y);
        EXPECT_EQ(visited.count(p), 0u) << "a visited song is compared again";
        out.emplace_back(sim_(idx(y), idx(p)), p);
      }
      return !failCompare;
    };
    hooks.link = [this](Node* y, Node* other, float s) {
      const std::pair<int, int> key{std::min(idx(y), idx(other)), std::max(idx(y), idx(other))};
      if (!links.emplace(key, s).second) return false;
      ++perVisit.back();
      return true;
    };
    hooks.progress = [this](int n, Node*) {
      EXPECT_EQ(n, static_cast<int>(order.size()));
      return cancelAfter <= 0 || n < cancelAfter;
    };
    hooks.random = [this] { return static_cast<int>(rng_ = rng_ * 1103515245u + 12345u) & 0x7fff; };
    auto compare = hooks.compare;
    hooks.compare = [this, compare](Node* y, const std::vector<Node*>& pool, std::vector<ScoredSong>& out) {
      EXPECT_EQ(visited.count(y), 0u) << "song visited twice";
      visited.insert(y);
      order.push_back(idx(y));
      perVisit.push_back(0);
      return compare(y, pool, out);
    };
  }
  static int idx(const Node* n) { return n->id - 1; }
  int degree(int i) const {
    int d = 0;
    for (const auto& [k, s] : links) d += k.first == i || k.second == i;
    return d;
  }

  std::vector<Node*> songs;
  FullInferenceHooks hooks;
  std::map<std::pair<int, int>, float> links;
  std::set<const Node*> visited;
  std::vector<int> order;
  std::vector<int> perVisit;
  std::vector<std::size_t> poolSizes;
  int compares = 0;
  int cancelAfter = 0;
  bool failCompare = false;

 private:
  std::function<float(int, int)> sim_;
  std::vector<std::unique_ptr<qorn::SongNode>> nodes_;
  unsigned rng_ = 1;
};

TEST(FullInference, EverySongIsVisitedOnceAndLinkedToItsBestMatches) {
  // Two clusters: 0.9 within (0.95 between neighbours 2k, 2k+1), 0.1 across.
  Fixture f(20, [](int a, int b) {
    if (a % 2 != b % 2) return 0.1f;
    return std::abs(a - b) == 2 ? 0.95f : 0.9f;
  });
  qorn::FullInferenceStats stats;
  ASSERT_EQ(qorn::runFullInference(f.songs, 0.5f, f.hooks, &stats), 1);
  EXPECT_EQ(f.visited.size(), 20u);
  EXPECT_EQ(stats.visits, 20);
  EXPECT_EQ(stats.linksMade, static_cast<long>(f.links.size()));
  EXPECT_EQ(f.order.front(), 0);  // a restart takes the first song of the set
  // Only the last unvisited song of a cluster may link across, as its visit's one link.
  int cross = 0;
  for (const auto& [pair, s] : f.links) cross += pair.first % 2 != pair.second % 2;
  EXPECT_LE(cross, 1);
  for (int v : f.perVisit) EXPECT_LE(v, 5);
  for (int i = 0; i < 20; ++i) EXPECT_GT(f.degree(i), 0) << i;
  EXPECT_GE(stats.fullScans, 1);
  EXPECT_LT(stats.fullScans, 20);  // the candidate list spares most visits a full scan
}

TEST(FullInference, AtMostFivePerVisitAndNoneOnceTenArePassed) {
  // All alike: groups larger than five are shuffled; counts rise fast.
  Fixture f(40, [](int, int) { return 0.8f; });
  std::map<int, int> countBefore;
  auto link = f.hooks.link;
  f.hooks.link = [&](Node* y, Node* o, float s) {
    if (f.perVisit.back() == 0) countBefore[Fixture::idx(y)] = f.degree(Fixture::idx(y));
    return link(y, o, s);
  };
  ASSERT_EQ(qorn::runFullInference(f.songs, 1.0f, f.hooks), 1);
  for (std::size_t v = 0; v < f.perVisit.size(); ++v) {
    EXPECT_LE(f.perVisit[v], 5);
    const int y = f.order[v];
    if (f.perVisit[v] > 0) {
      EXPECT_LE(countBefore[y], 10) << "a song past ten links linked again";
      EXPECT_LE(countBefore[y] + f.perVisit[v], 11);
    }
  }
  EXPECT_GT(f.links.size(), 40u);
}

TEST(FullInference, WeakMatchesGiveOnlyTheFirstLinkOfAVisit) {
  // Everything is weakly alike (0.3), except song 0 and 1 (0.0: never linked).
  Fixture f(8, [](int a, int b) { return (a + b == 1) ? 0.0f : 0.3f; });
  ASSERT_EQ(qorn::runFullInference(f.songs, 0.5f, f.hooks), 1);
  for (int v : f.perVisit) EXPECT_LE(v, 1);
  EXPECT_EQ(f.links.count({0, 1}), 0u);
  for (const auto& [pair, s] : f.links) EXPECT_FLOAT_EQ(s, 0.3f);
  EXPECT_FALSE(f.links.empty());
}

TEST(FullInference, CancelStopsAfterTheRefusedVisitKeepingItsLinks) {
  Fixture f(30, [](int a, int b) { return 0.5f + 0.4f * ((a * b) % 7) / 7.0f; });
  f.cancelAfter = 4;
  EXPECT_EQ(qorn::runFullInference(f.songs, 0.5f, f.hooks), 0);
  EXPECT_EQ(f.visited.size(), 4u);
  int made = 0;
  for (int v : f.perVisit) made += v;
  EXPECT_EQ(static_cast<int>(f.links.size()), made);
  EXPECT_GT(made, 0);
}

TEST(FullInference, AFailedComparisonRestartsWithoutLinking) {
  Fixture f(6, [](int, int) { return 0.9f; });
  f.failCompare = true;
  qorn::FullInferenceStats stats;
  EXPECT_EQ(qorn::runFullInference(f.songs, 0.5f, f.hooks, &stats), 1);
  EXPECT_TRUE(f.links.empty());
  EXPECT_EQ(stats.fullScans, 6);  // every visit restarted
  EXPECT_EQ(f.order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST(FullInference, NullsAndRepeatsAreSkippedAndLinkParamIsClamped) {
  for (float x : {-3.0f, 0.0f, 7.0f}) {
    Fixture f(5, [](int a, int b) { return 1.0f - 0.1f * std::abs(a - b); });
    std::vector<Node*> set = f.songs;
    set.insert(set.begin() + 2, nullptr);
    set.push_back(f.songs[0]);
    EXPECT_EQ(qorn::runFullInference(set, x, f.hooks), 1);
    EXPECT_EQ(f.visited.size(), 5u);
  }
}

TEST(FullInference, PoolFollowsTheAnchorBand) {
  // Songs on a line: similarity 1 - |a - b| / 100. The first visit (song 0) scans all; the
  // next songs are taken from its list, each pool being a band near the visited distance.
  const int n = 60;
  Fixture f(n, [](int a, int b) { return 1.0f - std::abs(a - b) / 100.0f; });
  qorn::FullInferenceStats stats;
  ASSERT_EQ(qorn::runFullInference(f.songs, 0.2f, f.hooks, &stats), 1);
  ASSERT_GE(f.poolSizes.size(), 2u);
  EXPECT_EQ(f.poolSizes[0], static_cast<std::size_t>(n - 1));
  EXPECT_EQ(f.order[1], 1);  // the anchor's best match is visited next
  EXPECT_LT(f.poolSizes[1], static_cast<std::size_t>(n - 2));
  EXPECT_GE(f.poolSizes[1], 5u);
  EXPECT_LT(stats.comparisons, static_cast<long>(n) * (n - 1) / 2);
}

}  // namespace
