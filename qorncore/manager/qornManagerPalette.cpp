// The palette: a few representative songs per cluster of the network, chosen by a greedy
// covering with propagation.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "qornManager.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/engine/SpreadSnapshot.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";
constexpr int kMinCovered = 6;  // songs a candidate must cover

}  // namespace

int qornManager::createPalette() {
  QORN_LOG(Debug, kSource, "entering createPalette");
  // Every walk below reads the network through a compact copy of its links; nodes are
  // numbered in id order, so "in id order" is "in index order".
  SpreadSnapshot net(*this);
  const auto count = static_cast<int32_t>(net.size());

  // Connected components over all links, discovered in id order. cluster[i] is the
  // component number of node i (from 1).
  std::vector<std::vector<int32_t>> clusters;
  std::vector<int32_t> cluster(net.size(), 0);
  for (int32_t start = 0; start < count; ++start) {
    if (cluster[static_cast<std::size_t>(start)]) continue;
    const auto number = static_cast<int32_t>(clusters.size()) + 1;
    std::vector<int32_t> members{start};
    cluster[static_cast<std::size_t>(start)] = number;
    for (std::size_t i = 0; i < members.size(); ++i)
      net.forEachNeighbour(members[i], [&](int32_t other) {
        if (cluster[static_cast<std::size_t>(other)]) return;
        cluster[static_cast<std::size_t>(other)] = number;
        members.push_back(other);
      });
    std::sort(members.begin(), members.end());
    clusters.push_back(std::move(members));
  }
  if (clusters.size() > 1)
    QORN_LOG(Debug, kSource, "network has " + std::to_string(clusters.size()) + " clusters");

  std::vector<Node*> own = kalvorets_;
  palette_.clear();
  QORN_LOG(Debug, kSource, "starting clusters loop");
  const float threshold = kPropagationThreshold;

  // Thousands of propagations read the same links: from the copy when the network allows
  // it, otherwise from the link store. fn(index, excitation) for each reached node.
  Propagation reach;
  reach.collectFlows = false;
  auto spread = [&](const std::vector<ExcitationItem>& items, auto&& fn) {
    if (net.canPropagate()) {
      net.propagate(items);
      net.forEachReached(fn);
      return;
    }
    reach.clear();
    if (propagate(items, reach))
      for (const auto& [node, excitation] : reach.nodes)
        if (const int32_t i = net.indexOf(node); i >= 0) fn(i, excitation.value());
  };

  std::vector<char> open(net.size(), 0);
  for (std::size_t c = 0; c < clusters.size(); ++c) {
    const std::vector<int32_t>& members = clusters[c];
    if (members.size() < 2) continue;
    for (int32_t i : members) open[static_cast<std::size_t>(i)] = 1;
    std::size_t left = members.size();
    auto close = [&](int32_t i) {
      if (!open[static_cast<std::size_t>(i)]) return false;
      open[static_cast<std::size_t>(i)] = 0;
      --left;
      return true;
    };

    // The user's own songs in this cluster cover their surroundings first.
    std::vector<ExcitationItem> mine;
    for (auto it = own.begin(); it != own.end();) {
      Node* song = *it;
      const int32_t i = song && song->asSong() ? net.indexOf(song) : -1;
      const bool here =
          i >= 0 && cluster[static_cast<std::size_t>(i)] == static_cast<int32_t>(c) + 1;
      const std::size_t t = here ? net.degree(i) : 0;
      if (t >= 1) {
        mine.push_back(
            ExcitationItem{qornfloat(2.0f * std::log(static_cast<float>(t)) + 1.0f), 0, song});
        it = own.erase(it);
      } else {
        ++it;
      }
    }
    if (!mine.empty())
      spread(mine, [&](int32_t i, float excitation) {
        if (excitation > threshold) close(i);
      });

    // Weights favour songs with about ten song neighbours.
    struct Ranked {
      int32_t song;
      float weight;
    };
    std::vector<Ranked> ranked;
    for (int32_t i : members) {
      if (!net.isSong(i)) continue;
      const int x = static_cast<int>(net.songDegree(i));
      if (x < 1) continue;
      const int xp = x + (random_.next() % 3) - 2;
      float weight = 0.0f;
      if (xp >= 1) {
        const float d = std::log(static_cast<float>(xp)) - std::log(10.0f);
        weight = std::exp(-(d * d) / (2.0f * std::log(10.0f)));
      }
      ranked.push_back(Ranked{i, weight});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked& a, const Ranked& b) { return a.weight > b.weight; });

    // Greedy covering: a song that reaches at least six open songs stands for them. The
    // reached song with the highest excitation (the lowest id among equals) represents it.
    for (const Ranked& r : ranked) {
      if (left == 0) break;
      if (!open[static_cast<std::size_t>(r.song)]) continue;
      const std::size_t t = net.degree(r.song);
      if (t < 1) continue;
      const float amount = 4.0f * std::log(static_cast<float>(t) / 3.0f + 1.0f) + 1.0f;
      int removed = 0;
      int32_t best = -1;
      float bestExcitation = 0.0f;
      spread({ExcitationItem{qornfloat(amount), 0, net.node(r.song)}}, [&](int32_t i,
                                                                           float excitation) {
        if (!net.isSong(i)) return;
        if (excitation > threshold && close(i)) ++removed;
        if (best < 0 || excitation > bestExcitation || (excitation == bestExcitation && i < best)) {
          best = i;
          bestExcitation = excitation;
        }
      });
      if (removed >= kMinCovered && best >= 0) palette_.push_back(net.node(best));
    }
  }
  // The links read above decay now, as the engine's own propagations decay what they read.
  if (net.canPropagate()) net.applyDecay();
  QORN_LOG(Debug, kSource, "leaft clusters loop");
  QORN_LOG(Debug, kSource, "leaving createPalette");
  return 0;
}

}  // namespace qorn
