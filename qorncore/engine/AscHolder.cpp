#include "AscHolder.h"

#include <algorithm>
#include <ostream>
#include <map>

#include "EngineConstants.h"
#include "NodeHolder.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/engine/PlexEngine";
constexpr int kMaxExpandableLinks = 30;  // busier nodes are never expanded by findPath

bool isMetaPair(int a, int b, int otherKind) {
  return (a == kSong && b == otherKind) || (b == kSong && a == otherKind);
}

}  // namespace

Asc::Asc(Node* fromNode, Node* toNode, qornfloat initial, int32_t step)
    : from(fromNode), to(toNode), strength(initial), lastvisited(step) {
  if (!from || !to) engineConsole() << "Illegal assoc created!\n";
}

bool Asc::songToSong() const {
  return from && to && from->getType() == kSong && to->getType() == kSong;
}

AscHolder::AscHolder(const NodeHolder& holder, const int32_t& step)
    : holder_(holder), step_(step) {}

AscHolder::~AscHolder() = default;

uint32_t AscHolder::allocate(const Asc& value) {
  uint32_t slot;
  if (!freeSlots_.empty()) {
    slot = freeSlots_.back();
    freeSlots_.pop_back();
  } else {
    if ((used_ >> kChunkBits) >= chunks_.size())
      chunks_.push_back(std::make_unique<Asc[]>(kChunkSize));
    slot = used_++;
  }
  *slotPtr(slot) = value;
  ++live_;
  return slot;
}

void AscHolder::release(uint32_t slot) {
  Asc* asc = slotPtr(slot);
  penalties_.erase(asc);
  *asc = Asc();
  freeSlots_.push_back(slot);
  --live_;
}

const std::vector<AscHolder::Entry>* AscHolder::adjacencyOf(int32_t id) const {
  return adjacency_.find(id);
}

std::vector<AscHolder::Entry>::iterator AscHolder::lowerBound(std::vector<Entry>& adj,
                                                              int32_t other) {
  return std::lower_bound(adj.begin(), adj.end(), other,
                          [](const Entry& e, int32_t id) { return e.other < id; });
}

Asc* AscHolder::enter(const Asc& value) {
  const uint32_t slot = allocate(value);
  const int32_t a = value.from->id;
  const int32_t b = value.to->id;
  auto& adjA = adjacency_.get(a);
  adjA.insert(lowerBound(adjA, b), Entry{b, slot});
  auto& adjB = adjacency_.get(b);
  adjB.insert(lowerBound(adjB, a), Entry{a, slot});
  return slotPtr(slot);
}

Asc* AscHolder::create(int32_t fromId, int32_t toId, qornfloat strength) {
  Node* from = holder_.find(fromId);
  Node* to = holder_.find(toId);
  if (!from || !to || from == to) return nullptr;
  if (Asc* existing = find(fromId, toId)) return existing;
  return enter(Asc(from, to, strength, step_));
}

Asc* AscHolder::add(const Asc& asc, int32_t penaltyCounter) {
  if (!asc.from || !asc.to || asc.from == asc.to) return nullptr;
  return add(asc, asc.from->id, asc.to->id, penaltyCounter);
}

Asc* AscHolder::add(const Asc& asc, int32_t fromId, int32_t toId, int32_t penaltyCounter) {
  if (!asc.from || !asc.to || asc.from == asc.to) return nullptr;
  auto [adjFrom, adjTo] = adjacency_.getBoth(fromId, toId);
  // A node read from a file has a dozen links or more: start its list with room for a
  // few, not one, so that it is not moved at the second, third and fifth link.
  constexpr std::size_t kFirstRoom = 8;
  if (adjFrom.capacity() == 0) adjFrom.reserve(kFirstRoom);
  if (adjTo.capacity() == 0) adjTo.reserve(kFirstRoom);
  auto at = insertionPoint(adjFrom, toId);
  if (at != adjFrom.end() && at->other == toId) {  // the pair is linked: replace that link
    remove(fromId, toId);
    return add(asc, fromId, toId, penaltyCounter);
  }
  const uint32_t slot = allocate(asc);
  adjFrom.insert(at, Entry{toId, slot});
  adjTo.insert(insertionPoint(adjTo, fromId), Entry{fromId, slot});
  Asc* stored = slotPtr(slot);
  if (penaltyCounter > 0) penalties_[stored] = penaltyCounter;
  return stored;
}

Asc* AscHolder::find(int32_t idA, int32_t idB) const {
  const std::vector<Entry>* adjA = adjacencyOf(idA);
  if (!adjA) return nullptr;
  const std::vector<Entry>* adjB = adjacencyOf(idB);
  if (!adjB) return nullptr;
  // Search the shorter of the two adjacencies.
  const bool useA = adjA->size() <= adjB->size();
  const std::vector<Entry>& adj = useA ? *adjA : *adjB;
  const int32_t other = useA ? idB : idA;
  auto it = std::lower_bound(adj.begin(), adj.end(), other,
                             [](const Entry& e, int32_t id) { return e.other < id; });
  return it != adj.end() && it->other == other ? slotPtr(it->slot) : nullptr;
}

bool AscHolder::remove(int32_t idA, int32_t idB) {
  std::vector<Entry>* adjA = adjacency_.find(idA);
  std::vector<Entry>* adjB = adjacency_.find(idB);
  if (!adjA || !adjB) return false;
  auto posA = lowerBound(*adjA, idB);
  if (posA == adjA->end() || posA->other != idB) return false;
  const uint32_t slot = posA->slot;
  adjA->erase(posA);
  auto posB = lowerBound(*adjB, idA);
  if (posB != adjB->end() && posB->other == idA) adjB->erase(posB);
  if (adjA->empty()) adjacency_.erase(idA);
  if (idA != idB && adjB->empty()) adjacency_.erase(idB);
  release(slot);
  return true;
}

std::vector<Node*> AscHolder::neighbours(int32_t id, int32_t excludeId, bool includeMeta) const {
  std::vector<Node*> out;
  const std::vector<Entry>* adj = adjacencyOf(id);
  if (!adj) return out;
  out.reserve(adj->size());
  for (const Entry& e : *adj) {
    if (excludeId != 0 && e.other == excludeId) continue;
    const Asc* asc = slotPtr(e.slot);
    if (!includeMeta && !asc->songToSong()) continue;
    out.push_back(asc->from->id == id ? asc->to : asc->from);
  }
  return out;
}

void AscHolder::neighbours(int32_t id, int32_t excludeId, bool includeMeta, NodeSet& out,
                           bool clearFirst) const {
  if (clearFirst) out.clear();
  for (Node* n : neighbours(id, excludeId, includeMeta)) out.insert(n);
}

std::size_t AscHolder::degree(int32_t id) const {
  const std::vector<Entry>* adj = adjacencyOf(id);
  return adj ? adj->size() : 0;
}

qornfloat AscHolder::cappedStrength(qornfloat value, int fromKind, int toKind) {
  const qornfloat cap(kMetaLinkCap);
  if (value > cap && isMetaPair(fromKind, toKind, kSongList)) return cap;
  if (value > cap && isMetaPair(fromKind, toKind, kArtist)) return cap;
  if (value > qornfloat(1.0f)) return qornfloat(1.0f);
  return value;
}

bool AscHolder::setStrength(Asc& asc, qornfloat value) {
  asc.strength = value;
  // The ends' kinds are only read when a cap could apply (reading a node is a cache miss).
  if (value > qornfloat(kMetaLinkCap) && asc.from && asc.to)
    asc.strength = cappedStrength(value, asc.from->getType(), asc.to->getType());
  else if (asc.strength > qornfloat(1.0f))
    asc.strength = qornfloat(1.0f);
  return asc.strength.value() == value.value();
}

void AscHolder::compact() {
  adjacency_.forEach([](int32_t, std::vector<Entry>& adj) { adj.shrink_to_fit(); });
  freeSlots_.shrink_to_fit();
}

std::vector<int32_t> AscHolder::findPath(int maxLinks, int32_t startId, int32_t targetId,
                                         float& cost,
                                         const std::function<qornfloat(Asc&)>& decay) const {
  std::vector<int32_t> path;
  if (startId == targetId) {
    path.push_back(startId);
    return path;
  }
  struct Reached {
    qornfloat cost;
    int32_t predecessor;
  };
  std::unordered_map<int32_t, Reached> reached;
  reached[startId] = Reached{qornfloat(0.0f), 0};
  std::vector<int32_t> round{startId};
  bool found = false;
  for (int r = 0; r < maxLinks && !round.empty(); ++r) {
    std::vector<int32_t> nextRound;
    for (int32_t id : round) {
      const std::vector<Entry>* adj = adjacencyOf(id);
      if (!adj || adj->empty() || adj->size() >= kMaxExpandableLinks) continue;
      qornfloat total(0.0f);
      for (const Entry& e : *adj) total += decay(*slotPtr(e.slot));
      if (total <= qornfloat(0.0f)) total = qornfloat(1.0f);
      const qornfloat base = reached[id].cost;
      for (const Entry& e : *adj) {
        Asc* asc = slotPtr(e.slot);
        const Node* other = asc->from->id == id ? asc->to : asc->from;
        if (const SongListNode* list = other->asSongList(); list && list->listType != kPlayList)
          continue;  // albums are not walked through
        if (reached.count(e.other)) continue;
        const qornfloat step = qornfloat(1.0f) - asc->strength / total;
        reached[e.other] = Reached{base + step, id};
        nextRound.push_back(e.other);
        if (e.other == targetId) found = true;
      }
    }
    round = std::move(nextRound);
  }
  if (!found) return path;
  qornfloat sum(0.0f);
  int32_t id = targetId;
  for (std::size_t guard = 0; guard <= reached.size(); ++guard) {
    path.push_back(id);
    const Reached& r = reached[id];
    sum += r.cost;
    if (id == startId) {
      cost = sum.value();
      return path;
    }
    id = r.predecessor;
    if (!reached.count(id)) break;
  }
  QORN_LOG(Debug, kSource, "Error: existing path could not be retrieved");
  path.clear();
  return path;
}

void AscHolder::removeSongSongLinksExcept(const std::set<Node*>& keep) {
  engineConsole() << "removing song song links ... ";
  std::vector<std::pair<int32_t, int32_t>> doomed;
  forEachLinkInPairOrder([&](Asc& asc, int32_t a, int32_t b) {
    if (asc.songToSong() && !(keep.count(asc.from) && keep.count(asc.to)))
      doomed.emplace_back(a, b);
  });
  for (const auto& [a, b] : doomed) remove(a, b);
  engineConsole() << " done ";
}

}  // namespace qorn
