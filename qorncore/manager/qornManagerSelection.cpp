// Selection: picking the next song, boosting, neighbours, link strengths, flat lists.
#include <algorithm>
#include <cstdlib>

#include "qornManager.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";
constexpr const char* kEngineSource = "qorncore/engine/PlexEngine";
constexpr float kMaxPassOver = 0.98f;
constexpr int kFallbackSeeds = 5;

// The reached nodes that may be chosen automatically (apb), in ascending id order.
std::vector<Node*> choosable(const Propagation& reach) {
  std::vector<Node*> out;
  for (const auto& [node, excitation] : reach.nodes)
    if (node->apb) out.push_back(node);
  std::sort(out.begin(), out.end(), ByNodeId());
  return out;
}

}  // namespace

Node* qornManager::pickNextNode(float randomness) {
  const std::vector<Node*>& hot = getHotlist();
  if (hot.empty()) return nullptr;
  const qornfloat p(randomness < kMaxPassOver ? randomness : kMaxPassOver);
  auto eligible = [this](Node* n) { return n->apb && taboo_->proportion(n) == 0; };

  const std::size_t size = hot.size();
  std::size_t i = 0;
  long remembered = -1;
  long chosen = -1;
  for (;;) {
    while (i < size && !eligible(hot[i])) ++i;
    const qornfloat r = qornfloat(static_cast<float>(random_.next() % 1000)) * qornfloat(0.001f);
    if (i < size && r >= p) {
      chosen = static_cast<long>(i);
      break;
    }
    if (i < size) {
      remembered = static_cast<long>(i);
      ++i;
      continue;
    }
    // Past the end: the last eligible song passed over, whatever the draw.
    chosen = remembered;
    break;
  }
  if (chosen >= 0) return hot[static_cast<std::size_t>(chosen)];

  QORN_LOG(Debug, kSource, "all tracks in hotlist are taboo!");
  // Look beyond the hotlist: around its top first.
  std::vector<ExcitationItem> seeds;
  for (std::size_t k = 0; k < size && k < static_cast<std::size_t>(kFallbackSeeds); ++k)
    seeds.push_back(ExcitationItem{qornfloat(2.0f), 0, hot[k]});
  // Only the reached songs that may be chosen are put in id order (the taboo proportion,
  // which may repair an entry, is asked in that order until one is free).
  Propagation around;
  around.collectFlows = false;
  if (propagate(seeds, around))
    for (Node* node : choosable(around))
      if (taboo_->proportion(node) == 0) return node;

  // Then around its end, giving taboo up where it was reached.
  seeds.clear();
  for (std::size_t k = size; k > 0 && seeds.size() < static_cast<std::size_t>(kFallbackSeeds); --k)
    if (hot[k - 1]->apb) seeds.push_back(ExcitationItem{qornfloat(0.5f), 0, hot[k - 1]});
  Node* choice = nullptr;
  Propagation tail;
  tail.collectFlows = false;
  if (propagate(seeds, tail)) {
    for (Node* node : choosable(tail)) {
      if (taboo_->proportion(node) == 0) choice = node;
      taboo_->remove(node);
      if (!choice && node != hot.front()) choice = node;
    }
  }
  if (choice) return choice;
  return size > 1 ? hot[1] : hot[0];
}

int qornManager::boostItems(const std::vector<Node*>& nodes, float amount,
                            std::vector<ExcitationItem>& items) const {
  const qornfloat a(amount);
  auto degreeOf = [this](const Node* n) {
    return qornfloat(static_cast<float>(links().degree(n->id)));
  };
  for (Node* given : nodes) {
    Node* node = given ? findNode(given->id) : nullptr;
    if (!node) {
      items.clear();
      return 0;
    }
    items.push_back(ExcitationItem{
        a * qornfloat(0.8f) * (degreeOf(node) + qornfloat(2.0f)) / qornfloat(2.0f), 0, node});
    const SongNode* song = node->asSong();
    if (!song) continue;
    if (Node* album = getAlbum(PlexEngine::nodes(), song))
      items.push_back(ExcitationItem{
          a * qornfloat(0.1f) * (degreeOf(album) + qornfloat(2.0f)) / qornfloat(2.0f), 0, album});
    for (int32_t artistId : song->people.artists) {
      Node* artist = findNode(artistId);
      if (!artist) continue;
      const int c = static_cast<int>(links().degree(artist->id));
      const int k = std::min(c + 2, 32) / 5;
      items.push_back(
          ExcitationItem{a * qornfloat(0.1f) * qornfloat(static_cast<float>(k)), 0, artist});
    }
  }
  return 1;
}

int qornManager::boost(const std::vector<Node*>& nodes, float amount, bool reset) {
  if (reset) {
    advanceStep();
    hotlistHolder().flatten();
  }
  std::vector<ExcitationItem> items;
  if (!boostItems(nodes, amount, items)) return 0;
  return excite(items);
}

int qornManager::getNeighbours(const Node* node, std::vector<Node*>& found) {
  if (node) found = links().neighbours(node->id, 0, true);
  return 0;
}

float qornManager::getLinkStrength(const Node* a, const Node* b) {
  Asc* link = a && b ? links().find(a->id, b->id) : nullptr;
  if (!link) {
    QORN_LOG(Error, kEngineSource, "warning: returning invalid linkstrength!");
    return -1.0f;
  }
  return decayLink(*link).value();
}

int qornManager::getFlatList(const std::vector<Node*>& nodes, std::vector<Node*>& flat) {
  QORN_LOG(Debug, kSource, "entering getFlatList");
  for (Node* node : nodes) {
    if (!node) continue;
    if (node->asSong()) {
      flat.push_back(node);
    } else if (node->asArtist()) {
      int32_t total = 0;
      for (Node* n : links().neighbours(node->id, 0, true)) {
        const SongNode* song = n->asSong();
        if (!song) continue;
        const auto& people = song->people;
        const bool credited = std::find(people.artists.begin(), people.artists.end(), node->id) !=
                                  people.artists.end() ||
                              std::find(people.composers.begin(), people.composers.end(),
                                        node->id) != people.composers.end();
        if (!credited) continue;
        flat.push_back(n);
        if (n->duration > 0) total += n->duration;
      }
      if (node->duration < 0) node->duration = total;
    } else if (SongListNode* list = node->asSongList()) {
      int32_t total = 0;
      bool recount = list->duration < 0;
      for (int32_t trackId : list->tracks) {
        if (trackId < 1) continue;
        Node* track = findNode(trackId);
        if (!track) {
          recount = true;
          continue;
        }
        flat.push_back(track);
        if (track->duration > 0)
          total += track->duration;
        else if (track->duration < 0)
          recount = true;
      }
      if (recount) list->duration = total;
    }
  }
  QORN_LOG(Debug, kSource, "leaving getFlatList");
  return 0;
}

}  // namespace qorn
