// The palette: a few representative songs per cluster of the network, chosen by a greedy
// covering with propagation.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_set>

#include "qornManager.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";
constexpr int kMinCovered = 6;  // songs a candidate must cover

}  // namespace

int qornManager::createPalette() {
  QORN_LOG(Debug, kSource, "entering createPalette");

  // Connected components over all links, discovered in id order.
  std::vector<std::vector<Node*>> clusters;
  std::unordered_set<const Node*> seen;
  for (const auto& [id, start] : nodes().byId()) {
    if (!seen.insert(start).second) continue;
    std::vector<Node*> cluster{start};
    for (std::size_t i = 0; i < cluster.size(); ++i)
      links().forEachLink(cluster[i]->id, [&](Asc* link) {
        Node* other = link->other(cluster[i]);
        if (seen.insert(other).second) cluster.push_back(other);
      });
    std::sort(cluster.begin(), cluster.end(), ByNodeId());
    clusters.push_back(std::move(cluster));
  }
  if (clusters.size() > 1)
    QORN_LOG(Debug, kSource, "network has " + std::to_string(clusters.size()) + " clusters");

  std::vector<Node*> own = kalvorets_;
  palette_.clear();
  QORN_LOG(Debug, kSource, "starting clusters loop");
  const qornfloat threshold(kPropagationThreshold);

  for (const std::vector<Node*>& cluster : clusters) {
    if (cluster.size() < 2) continue;
    std::unordered_set<Node*> open(cluster.begin(), cluster.end());
    std::unordered_set<Node*> members(cluster.begin(), cluster.end());

    // The user's own songs in this cluster cover their surroundings first.
    std::vector<ExcitationItem> mine;
    for (auto it = own.begin(); it != own.end();) {
      Node* song = *it;
      const std::size_t t = song && song->asSong() && members.count(song)
                                ? links().degree(song->id) : 0;
      if (t >= 1) {
        mine.push_back(ExcitationItem{
            qornfloat(2.0f * std::log(static_cast<float>(t)) + 1.0f), 0, song});
        it = own.erase(it);
      } else {
        ++it;
      }
    }
    if (!mine.empty()) {
      Propagation covered;
      if (propagate(mine, covered))
        for (const auto& [node, excitation] : covered.nodes)
          if (excitation > threshold) open.erase(node);
    }

    // Weights favour songs with about ten song neighbours.
    struct Ranked {
      Node* song;
      float weight;
    };
    std::vector<Ranked> ranked;
    for (Node* node : cluster) {
      if (node->getType() != kSong) continue;
      const int x = static_cast<int>(links().neighbours(node->id, 0, false).size());
      if (x < 1) continue;
      const int xp = x + (random_.next() % 3) - 2;
      float weight = 0.0f;
      if (xp >= 1) {
        const float d = std::log(static_cast<float>(xp)) - std::log(10.0f);
        weight = std::exp(-(d * d) / (2.0f * std::log(10.0f)));
      }
      ranked.push_back(Ranked{node, weight});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked& a, const Ranked& b) { return a.weight > b.weight; });

    // Greedy covering: a song that reaches at least six open songs stands for them.
    Propagation reach;
    for (const Ranked& r : ranked) {
      if (open.empty()) break;
      if (!open.count(r.song)) continue;
      const std::size_t t = links().degree(r.song->id);
      if (t < 1) continue;
      const float amount = 4.0f * std::log(static_cast<float>(t) / 3.0f + 1.0f) + 1.0f;
      reach.clear();
      if (!propagate({ExcitationItem{qornfloat(amount), 0, r.song}}, reach)) continue;
      int removed = 0;
      Node* best = nullptr;
      qornfloat bestExcitation(0.0f);
      for (const auto& [node, excitation] : reach.nodesById()) {
        if (node->getType() != kSong) continue;
        if (excitation > threshold && open.erase(node)) ++removed;
        if (!best || excitation > bestExcitation) {
          best = node;
          bestExcitation = excitation;
        }
      }
      if (removed >= kMinCovered && best) palette_.push_back(best);
    }
  }
  QORN_LOG(Debug, kSource, "leaft clusters loop");
  QORN_LOG(Debug, kSource, "leaving createPalette");
  return 0;
}

}  // namespace qorn
