// The id-indexed containers behind the node holder and the link store, checked against a
// plain ordered map through long random runs (ids near each other, far-off ids and, for
// the link store's table, negative ones), and the keyword tokens a node carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "qorncore/engine/IdTable.h"
#include "qorncore/engine/KeywordIndex.h"
#include "qorncore/engine/NodesById.h"

namespace {

using qorn::IdTable;
using qorn::NodesById;

// An id drawn the way networks have them: mostly close together, now and then far off
// (which later growth of the close range may reach).
int32_t drawId(std::mt19937& rng, bool allowNegative) {
  const int kind = static_cast<int>(rng() % 20);
  if (kind == 0) return 1'000'000'000 + static_cast<int32_t>(rng() % 5);
  if (kind == 1) return 5000 + static_cast<int32_t>(rng() % 20000);
  if (kind == 2 && allowNegative) return -static_cast<int32_t>(rng() % 50) - 1;
  return 1 + static_cast<int32_t>(rng() % 3000);
}

TEST(NodesById, BehavesLikeAnOrderedMap) {
  std::vector<Node> nodes(64);
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    NodesById table;
    std::map<int32_t, Node*> model;
    for (int step = 0; step < 20000; ++step) {
      const int32_t id = drawId(rng, false);
      Node* node = &nodes[rng() % nodes.size()];
      if (rng() % 3 == 0) {
        auto it = model.find(id);
        Node* expected = it == model.end() ? nullptr : it->second;
        if (it != model.end()) model.erase(it);
        ASSERT_EQ(table.erase(id), expected) << "seed " << seed << " step " << step;
      } else {
        ASSERT_EQ(table.emplace(id, node), model.emplace(id, node).second);
      }
      ASSERT_EQ(table.find(id), model.count(id) ? model[id] : nullptr);
      ASSERT_EQ(table.largestId(), model.empty() ? 0 : model.rbegin()->first);
    }
    ASSERT_EQ(table.size(), model.size());
    ASSERT_EQ(table.largestId(), model.empty() ? 0 : model.rbegin()->first);
    std::vector<std::pair<int32_t, Node*>> walked(table.begin(), table.end());
    const std::vector<std::pair<int32_t, Node*>> expected(model.begin(), model.end());
    EXPECT_EQ(walked, expected);
  }
}

TEST(NodesById, RefusesIdsOfZeroAndBelowAndKeepsTheFirstNode) {
  Node a, b;
  NodesById table;
  EXPECT_FALSE(table.emplace(0, &a));
  EXPECT_FALSE(table.emplace(-3, &a));
  EXPECT_TRUE(table.emplace(7, &a));
  EXPECT_FALSE(table.emplace(7, &b));
  EXPECT_EQ(table.find(7), &a);
  EXPECT_EQ(table.find(0), nullptr);
  EXPECT_EQ(table.erase(8), nullptr);
  EXPECT_EQ(table.size(), 1u);
  // A huge id alone costs one entry, and the walk still ends with it.
  EXPECT_TRUE(table.emplace(2'000'000'000, &b));
  EXPECT_EQ(table.largestId(), 2'000'000'000);
  std::vector<std::pair<int32_t, Node*>> walked(table.begin(), table.end());
  EXPECT_EQ(walked, (std::vector<std::pair<int32_t, Node*>>{{7, &a}, {2'000'000'000, &b}}));
}

TEST(IdTable, BehavesLikeAnOrderedMapOfNonEmptyLists) {
  std::mt19937 rng(7);
  IdTable<std::vector<int>> table;
  std::map<int32_t, std::vector<int>> model;
  for (int step = 0; step < 20000; ++step) {
    const int32_t id = drawId(rng, true);
    if (rng() % 3 == 0) {
      table.erase(id);
      model.erase(id);
    } else {
      const int value = static_cast<int>(rng() % 100);
      table.get(id).push_back(value);
      model[id].push_back(value);
    }
    const std::vector<int>* found = table.find(id);
    ASSERT_EQ(found != nullptr, model.count(id) == 1) << "step " << step;
    if (found) {
      ASSERT_EQ(*found, model[id]);
    }
  }
  std::map<int32_t, std::vector<int>> walked;
  std::vector<int32_t> order;
  table.forEachInIdOrder([&](int32_t id, const std::vector<int>& list) {
    order.push_back(id);
    walked[id] = list;
  });
  EXPECT_EQ(walked, model);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(order.size(), model.size());
  // An empty list counts as absent.
  table.get(42).clear();
  EXPECT_EQ(table.find(42), nullptr);
}

TEST(KeywordTokens, ANodeOutlivingItsIndexKeepsNoTokens) {
  Node node;
  auto index = std::make_unique<qorn::KeywordIndex>();
  index->add("Night Drive", &node);
  EXPECT_EQ(index->keywordsOf(&node), "drive, night");
  index.reset();
  EXPECT_TRUE(node.keywordTokens.empty());
  qorn::KeywordIndex fresh;
  EXPECT_EQ(fresh.keywordsOf(&node), "");
  fresh.add("dawn", &node);
  EXPECT_EQ(fresh.keywordsOf(&node), "dawn");
}

}  // namespace
