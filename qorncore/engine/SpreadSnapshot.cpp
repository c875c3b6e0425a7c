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

// What AscHolder::setStrength stores for `value` on a link between nodes of these kinds.
qornfloat storedStrength(qornfloat value, int kindA, int kindB) {
  if (value > qornfloat(kMetaLinkCap)) return AscHolder::cappedStrength(value, kindA, kindB);
  if (value > qornfloat(1.0f)) return qornfloat(1.0f);
  return value;
}

// The strength PlexEngine::decayLink would store for the link at `step`, between nodes of
// kinds kindA and kindB (the same operations in the same order, without reading the ends).
// False when the link cannot be copied.
bool decayedStrength(const Asc& link, int32_t step, int kindA, int kindB, DecayFactor& factor,
                     float& out) {
  const int32_t d = step - link.lastvisited;
  if (d < 0 || link.strength.isUndefined()) return false;
  const qornfloat floor(kMinLinkStrength);
  qornfloat strength = link.strength;
  if (d > 0) {
    qornfloat decayed = strength * factor.of(d);
    if (decayed < floor) decayed = floor;
    strength = storedStrength(decayed, kindA, kindB);
  } else if (strength < floor) {
    strength = storedStrength(floor, kindA, kindB);
  }
  out = strength.value();
  return !strength.isUndefined();
}

}  // namespace

SpreadSnapshot::SpreadSnapshot(PlexEngine& engine) : engine_(engine) {
  const NodeHolder& holder = engine.nodes();
  nodes_.reserve(holder.size());
  for (const auto& [id, node] : holder.byId()) nodes_.push_back(node);
  const std::size_t n = nodes_.size();
  const std::size_t denseLimit = 2 * n + 1024;
  ids_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const int32_t id = nodes_[i]->id;
    ids_[i] = id;
    if (id >= 0 && static_cast<std::size_t>(id) < denseLimit) {
      if (denseIndex_.size() <= static_cast<std::size_t>(id))
        denseIndex_.resize(static_cast<std::size_t>(id) + 1, 0);
      denseIndex_[static_cast<std::size_t>(id)] = static_cast<int32_t>(i) + 1;
    } else {
      sparseIds_.push_back(id);  // ascending: the nodes come in id order
      sparseIndex_.push_back(static_cast<int32_t>(i));
    }
  }

  kinds_.resize(n);
  song_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    kinds_[i] = static_cast<int8_t>(nodes_[i]->getType());
    song_[i] = kinds_[i] == kSong;
  }
  copyLinks(engine.links(), engine.step());
  sum_.assign(n, 0.0f);
  inReach_.assign((n + 63) / 64, 0);
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

void SpreadSnapshot::copyLinks(const AscHolder& links, int32_t step) {
  // Nodes in id order, each with its links in ascending order of the other end: a link is
  // met first from its lower end, where its strength is computed and kept under its link
  // number for the visit from the higher end. The links read are fetched a few ahead.
  const std::size_t n = nodes_.size();
  std::vector<float> bySlot(links.linkNumberLimit());
  first_.resize(n + 1);
  edges_.reserve(2 * links.size());
  DecayFactor factor;
  constexpr std::size_t kAhead = 6;
  for (std::size_t i = 0; i < n; ++i) {
    first_[i] = static_cast<uint32_t>(edges_.size());
    if (i + 2 < n) __builtin_prefetch(links.entriesOf(ids_[i + 2]).data());
    const int32_t id = ids_[i];
    const std::span<const AscHolder::Entry> entries = links.entriesOf(id);
    for (std::size_t k = 0; k < entries.size(); ++k) {
      if (k + kAhead < entries.size() && entries[k + kAhead].other > id)
        links.prefetchLink(entries[k + kAhead].slot);
      const AscHolder::Entry& entry = entries[k];
      const int32_t to = indexOfId(entry.other);
      if (to < 0) {  // a link store entry without a node: not a network to copy
        canPropagate_ = false;
        continue;
      }
      float& strength = bySlot[entry.slot];
      if (entry.other > id &&
          !decayedStrength(links.linkAt(entry.slot), step, kinds_[i],
                           kinds_[static_cast<std::size_t>(to)], factor, strength))
        canPropagate_ = false;
      edges_.push_back(Edge{to, strength});
    }
  }
  first_[n] = static_cast<uint32_t>(edges_.size());
}

void SpreadSnapshot::propagate(const std::vector<ExcitationItem>& items) {
  for (int32_t i : reached_) {
    sum_[static_cast<std::size_t>(i)] = 0.0f;
    inReach_[static_cast<std::size_t>(i) >> 6] = 0;
  }
  reached_.clear();
  queue_.clear();
  const bool meta = engine_.getPropagateToMeta();
  const float threshold = kPropagationThreshold;
  const float factor = kPropagationFactor;
  // An item is summed into its target when it is made rather than when its turn comes: the
  // queue is first in, first out, so each node receives the same amounts in the same order
  // and nodes are first reached in the same order, while only the items large enough to
  // spread take a place in the queue (a few percent of them).
  auto arrive = [&](float amount, int32_t source, int32_t target) {
    const auto t = static_cast<std::size_t>(target);
    if (!meta && !song_[t]) return;
    const uint64_t bit = uint64_t{1} << (t & 63);
    if (!(inReach_[t >> 6] & bit)) {
      inReach_[t >> 6] |= bit;
      reached_.push_back(target);
    }
    sum_[t] += amount;
    if (amount > threshold) {
      __builtin_prefetch(&first_[t]);
      queue_.push_back(Item{amount, source, target});
    }
  };
  for (const ExcitationItem& item : items) {
    const int32_t target = indexOf(item.target);
    if (target >= 0) arrive(item.amount.value(), -1, target);
  }
  // The walk jumps across the whole network: the links of the items a few places ahead in
  // the queue and the sums of this item's neighbours are fetched ahead of use.
  constexpr std::size_t kAhead = 4;
  for (std::size_t head = 0; head < queue_.size(); ++head) {
    if (head + kAhead < queue_.size())
      __builtin_prefetch(edges_.data() +
                         first_[static_cast<std::size_t>(queue_[head + kAhead].target)]);
    const Item item = queue_[head];
    const auto t = static_cast<std::size_t>(item.target);
    spread_[t] = 1;
    const Edge* begin = edges_.data() + first_[t];
    const Edge* end = edges_.data() + first_[t + 1];
    // Without propagation to meta nodes only song-to-song links carry (t is a song here).
    auto passes = [&](const Edge* e) { return e->to != item.source && (meta || song_[e->to]); };
    // Adding 0 for a link that does not carry leaves the sum exactly as skipping it would
    // (strengths are positive), without a branch.
    float total = 0.0f;
    for (const Edge* e = begin; e != end; ++e) {
      __builtin_prefetch(&sum_[static_cast<std::size_t>(e->to)]);
      total += passes(e) ? e->strength : 0.0f;
    }
    if (total <= 0.0f) total = 1.0f;
    const float passed = item.amount * factor;
    for (const Edge* e = begin; e != end; ++e)
      if (passes(e)) arrive(passed * (e->strength / total), item.target, e->to);
  }
}

void SpreadSnapshot::applyDecay() {
  // What decayLink would store: the copied strength and the current step (a snapshot that
  // can propagate has no link ahead of the step, so the step does not move). A link was
  // read when either end spread, over the links that carried; each is visited once, from
  // its lower end, whose edges line up with its entries (no link was left out).
  if (!canPropagate_) return;
  AscHolder& links = engine_.links();
  const bool meta = engine_.getPropagateToMeta();
  const int32_t step = engine_.step();
  constexpr std::size_t kAhead = 6;
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    const int32_t id = ids_[i];
    const std::span<const AscHolder::Entry> entries = links.entriesOf(id);
    const Edge* edges = edges_.data() + first_[i];
    auto read = [&](std::size_t k) {
      const auto j = static_cast<std::size_t>(edges[k].to);
      return entries[k].other > id && (spread_[i] || spread_[j]) &&
             (meta || (song_[i] && song_[j]));
    };
    for (std::size_t k = 0; k < entries.size(); ++k) {
      if (k + kAhead < entries.size() && read(k + kAhead))
        links.prefetchLink(entries[k + kAhead].slot);
      if (!read(k)) continue;
      Asc& link = links.linkAt(entries[k].slot);
      link.strength = qornfloat(edges[k].strength);
      link.lastvisited = step;
    }
  }
}

}  // namespace qorn
