#include "SpreadSnapshot.h"

#include <algorithm>

namespace qorn {
namespace {

// The strength PlexEngine::decayLink would store for the link at `step`, computed on a copy
// (the same operations in the same order). False when the link cannot be copied.
// Most links of a network share their last step, so the factor for the last distance is
// kept.
class DecayFactor {
 public:
  qornfloat of(int32_t d) {
    if (d != d_) {
      d_ = d;
      factor_ = qornfloat(kLinkDecayFactor).pow(d);
    }
    return factor_;
  }

 private:
  int32_t d_ = -1;
  qornfloat factor_;
};

bool decayedStrength(const Asc& link, int32_t step, DecayFactor& factor, float& out) {
  const int32_t d = step - link.lastvisited;
  if (d < 0 || link.strength.isUndefined()) return false;
  Asc copy = link;
  const qornfloat floor(kMinLinkStrength);
  if (d > 0) {
    qornfloat decayed = copy.strength * factor.of(d);
    if (decayed < floor) decayed = floor;
    AscHolder::setStrength(copy, decayed);
  } else if (copy.strength < floor) {
    AscHolder::setStrength(copy, floor);
  }
  out = copy.strength.value();
  return !copy.strength.isUndefined();
}

}  // namespace

SpreadSnapshot::SpreadSnapshot(PlexEngine& engine) : engine_(engine) {
  const NodeHolder& holder = engine.nodes();
  const AscHolder& links = engine.links();
  const int32_t step = engine.step();

  nodes_.reserve(holder.size());
  for (const auto& [id, node] : holder.byId()) nodes_.push_back(node);
  const std::size_t n = nodes_.size();
  const std::size_t denseLimit = 2 * n + 1024;
  for (std::size_t i = 0; i < n; ++i) {
    const int32_t id = nodes_[i]->id;
    if (id >= 0 && static_cast<std::size_t>(id) < denseLimit) {
      if (denseIndex_.size() <= static_cast<std::size_t>(id))
        denseIndex_.resize(static_cast<std::size_t>(id) + 1, 0);
      denseIndex_[static_cast<std::size_t>(id)] = static_cast<int32_t>(i) + 1;
    } else {
      sparseIds_.push_back(id);  // ascending: the nodes come in id order
      sparseIndex_.push_back(static_cast<int32_t>(i));
    }
  }

  song_.resize(n);
  for (std::size_t i = 0; i < n; ++i) song_[i] = nodes_[i]->getType() == kSong;
  first_.resize(n + 1);
  edges_.reserve(2 * links.size());
  DecayFactor factor;
  for (std::size_t i = 0; i < n; ++i) {
    first_[i] = static_cast<uint32_t>(edges_.size());
    links.forEachLinkWithId(nodes_[i]->id, [&](const Asc* link, int32_t other) {
      const int32_t to = indexOfId(other);
      if (to < 0) {  // a link store entry without a node: not a network to copy
        canPropagate_ = false;
        return;
      }
      float strength = 0.0f;
      if (static_cast<std::size_t>(to) < i) {
        // Met before from the other end: take the strength computed there.
        const Edge* b = edges_.data() + first_[static_cast<std::size_t>(to)];
        const Edge* e = edges_.data() + first_[static_cast<std::size_t>(to) + 1];
        const Edge* m = std::lower_bound(b, e, static_cast<int32_t>(i),
                                         [](const Edge& x, int32_t v) { return x.to < v; });
        if (m != e && m->to == static_cast<int32_t>(i)) {
          edges_.push_back(Edge{to, m->strength});
          return;
        }
      }
      if (!decayedStrength(*link, step, factor, strength)) canPropagate_ = false;
      edges_.push_back(Edge{to, strength});
    });
  }
  first_[n] = static_cast<uint32_t>(edges_.size());
  sum_.assign(n, 0.0f);
  inReach_.assign(n, 0);
  spread_.assign(n, 0);
}

int32_t SpreadSnapshot::indexOf(const Node* node) const {
  const int32_t i = node ? indexOfId(node->id) : -1;
  return i >= 0 && nodes_[static_cast<std::size_t>(i)] == node ? i : -1;
}

std::size_t SpreadSnapshot::songDegree(int32_t index) const {
  if (!isSong(index)) return 0;
  std::size_t count = 0;
  forEachNeighbour(index, [&](int32_t to) { count += isSong(to) ? 1 : 0; });
  return count;
}

int32_t SpreadSnapshot::indexOfId(int32_t id) const {
  if (id >= 0 && static_cast<std::size_t>(id) < denseIndex_.size())
    return denseIndex_[static_cast<std::size_t>(id)] - 1;
  auto it = std::lower_bound(sparseIds_.begin(), sparseIds_.end(), id);
  if (it == sparseIds_.end() || *it != id) return -1;
  return sparseIndex_[static_cast<std::size_t>(it - sparseIds_.begin())];
}

void SpreadSnapshot::propagate(const std::vector<ExcitationItem>& items) {
  for (int32_t i : reached_) {
    sum_[static_cast<std::size_t>(i)] = 0.0f;
    inReach_[static_cast<std::size_t>(i)] = 0;
  }
  reached_.clear();
  queue_.clear();
  for (const ExcitationItem& item : items) {
    const int32_t target = indexOf(item.target);
    if (target >= 0) queue_.push_back(Item{item.amount.value(), -1, target});
  }
  const bool meta = engine_.getPropagateToMeta();
  const float threshold = kPropagationThreshold;
  const float factor = kPropagationFactor;
  for (std::size_t head = 0; head < queue_.size(); ++head) {
    const Item item = queue_[head];
    const auto t = static_cast<std::size_t>(item.target);
    if (!meta && !song_[t]) continue;
    if (!inReach_[t]) {
      inReach_[t] = 1;
      reached_.push_back(item.target);
    }
    sum_[t] += item.amount;
    if (!(item.amount > threshold)) continue;
    spread_[t] = 1;
    const Edge* begin = edges_.data() + first_[t];
    const Edge* end = edges_.data() + first_[t + 1];
    // Without propagation to meta nodes only song-to-song links carry (t is a song here).
    auto passes = [&](const Edge* e) { return e->to != item.source && (meta || song_[e->to]); };
    float total = 0.0f;
    for (const Edge* e = begin; e != end; ++e)
      if (passes(e)) total += e->strength;
    if (total <= 0.0f) total = 1.0f;
    const float passed = item.amount * factor;
    for (const Edge* e = begin; e != end; ++e)
      if (passes(e)) queue_.push_back(Item{passed * (e->strength / total), item.target, e->to});
  }
}

void SpreadSnapshot::applyDecay() {
  // What decayLink would store: the copied strength and the current step (a snapshot that
  // can propagate has no link ahead of the step, so the step does not move).
  AscHolder& links = engine_.links();
  const bool meta = engine_.getPropagateToMeta();
  const int32_t step = engine_.step();
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    if (!spread_[i]) continue;
    const Edge* e = edges_.data() + first_[i];
    links.forEachLinkWithId(nodes_[i]->id, [&](Asc* link, int32_t) {
      if (meta || (song_[i] && song_[static_cast<std::size_t>(e->to)])) {
        link->strength = qornfloat(e->strength);
        link->lastvisited = step;
      }
      ++e;
    });
  }
}

}  // namespace qorn
