// AscHolder: the link store of one network.
//
// Every link is owned here. Lookups ignore direction: a link is found under both id pairs.
// Storage is built for large networks: links live in a chunked pool (stable addresses, no
// per-link heap block) and each node id has a vector of (other id, pool slot) kept in
// ascending order of the other end's id. Walking a node's adjacency in that order gives
// the neighbour order, and walking ids in ascending order with each adjacency gives the
// order of a pair map keyed by (first id, second id) — the order the network writer uses.
//
// Single-threaded. Nothing here throws except std::bad_alloc.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <unordered_map>
#include <vector>

#include "Asc.h"
#include "IdTable.h"

namespace qorn {

class NodeHolder;

// Node sets in ascending id order: every "first in node order" choice of the engine uses it.
struct ByNodeId {
  bool operator()(const Node* a, const Node* b) const {
    return a->id != b->id ? a->id < b->id : a < b;
  }
};
using NodeSet = std::set<Node*, ByNodeId>;

class AscHolder {
 public:
  // Looks nodes up in `holder`; new links get the step read from `step`.
  AscHolder(const NodeHolder& holder, const int32_t& step);
  ~AscHolder();
  AscHolder(const AscHolder&) = delete;
  AscHolder& operator=(const AscHolder&) = delete;

  // Null when either id names no node or both name the same node. When the two nodes are
  // already linked, that link is kept and returned (strength unchanged): a second link for
  // one pair would be unreachable through find and never deleted.
  Asc* create(int32_t fromId, int32_t toId, qornfloat strength);
  // The reader's entry: removes any link between the two ends, stores a copy of `asc` and
  // enters the penalty counter when above 0. Returns the stored link, null (nothing
  // stored) when an end is null or both ends are the same node.
  Asc* add(const Asc& asc, int32_t penaltyCounter);
  // The same with the ends' ids given (they must be asc.from->id and asc.to->id): the
  // reader knows them, and a million links then need no reads of their nodes' memory.
  // Links arriving in pair order are appended to both adjacencies without a search.
  Asc* add(const Asc& asc, int32_t fromId, int32_t toId, int32_t penaltyCounter);

  // Reading a network file: the links of a run are stored as add() would store them one
  // after another (a later link of a pair replaces the earlier one and keeps its link
  // number), but each adjacency list is built once, at its exact size, when the run ends;
  // a million links then cost no searches, no list growth and no table lookups per link.
  // Only a holder without links starts a run: beginRun() is false otherwise, and append()
  // then simply adds. While a run is open its links are not found by anything (find, the
  // walks, degree); only append() and endRun() may be called. endRun() may throw
  // std::bad_alloc: the holder is then left empty (consistent, every link dropped).
  bool beginRun();
  // As add(asc, fromId, toId, penaltyCounter); false when refused (an end is null or both
  // ends are the same node).
  bool append(const Asc& asc, int32_t fromId, int32_t toId, int32_t penaltyCounter);
  void endRun();
  bool inRun() const { return running_; }

  Asc* find(int32_t idA, int32_t idB) const;
  // A hint that links of node `id` are about to be added or looked up: starts fetching its
  // list's entry into the cache. Nothing changes.
  void prefetch(int32_t id) const { adjacency_.prefetch(id); }
  // Removes and deletes the link between the two; false when there was none.
  bool remove(int32_t idA, int32_t idB);

  // Neighbours of node `id` in ascending id order, leaving out excludeId (0: none) and,
  // without includeMeta, every link that is not song-to-song.
  std::vector<Node*> neighbours(int32_t id, int32_t excludeId, bool includeMeta) const;
  // The same, added to `out` (cleared first when `clearFirst`).
  void neighbours(int32_t id, int32_t excludeId, bool includeMeta, NodeSet& out,
                  bool clearFirst) const;
  // Number of links of node `id` (all kinds).
  std::size_t degree(int32_t id) const;
  // Calls fn(link) for each link of node `id` in ascending order of the other end's id.
  template <typename F>
  void forEachLink(int32_t id, F&& fn) const {
    const std::vector<Entry>* adj = adjacency_.find(id);
    if (!adj) return;
    for (const Entry& e : *adj) fn(slotPtr(e.slot));
  }
  // The same with the other end's id: fn(link, other id), without reading the other node.
  template <typename F>
  void forEachLinkWithId(int32_t id, F&& fn) const {
    const std::vector<Entry>* adj = adjacency_.find(id);
    if (!adj) return;
    for (const Entry& e : *adj) fn(slotPtr(e.slot), e.other);
  }

  // Stores value and applies the caps: above 0.3 between a song and a song list or an
  // artist it becomes 0.3; above 1.0 it becomes 1.0. True when nothing was capped.
  static bool setStrength(Asc& asc, qornfloat value);
  // The strength a link between nodes of these kinds (NodeKind) stores for `value`.
  static qornfloat cappedStrength(qornfloat value, int fromKind, int toKind);

  // Best path of at most maxLinks links from startId to targetId (ids target first, start
  // last), empty when none; `cost` receives the summed costs of the nodes on the path.
  // `decay` brings a link's strength up to the current step.
  std::vector<int32_t> findPath(int maxLinks, int32_t startId, int32_t targetId, float& cost,
                                const std::function<qornfloat(Asc&)>& decay) const;

  // Removes every song-to-song link whose two ends are not both in `keep`.
  void removeSongSongLinksExcept(const std::set<Node*>& keep);

  // Every link once, in the order of a pair map keyed by (first id, second id): for each
  // node id ascending, its links to ids not below its own.
  // fn(link, first id, second id). Inline: the network writer calls it a million times.
  template <typename F>
  void forEachLinkInPairOrder(F&& fn) const {
    adjacency_.forEachInIdOrder([&](int32_t id, const std::vector<Entry>& adj) {
      auto it = std::lower_bound(adj.begin(), adj.end(), id,
                                 [](const Entry& e, int32_t other) { return e.other < other; });
      // The links of one node lie anywhere in the pool: fetch a few ahead of their use.
      constexpr std::ptrdiff_t kAhead = 6;
      for (auto ahead = it; ahead != adj.end() && ahead - it < kAhead; ++ahead)
        __builtin_prefetch(slotPtr(ahead->slot));
      for (; it != adj.end(); ++it) {
        if (adj.end() - it > kAhead) __builtin_prefetch(slotPtr((it + kAhead)->slot));
        fn(*slotPtr(it->slot), id, it->other);
      }
    });
  }

  // A node's links as (other end's id, link number), in ascending order of the other id;
  // empty for an id without links. Link numbers lie below linkNumberLimit() and stay with
  // a link while it lives, so a walk can keep data per link in a plain array.
  struct Entry {
    int32_t other;
    uint32_t slot;
  };
  std::span<const Entry> entriesOf(int32_t id) const {
    const std::vector<Entry>* adj = adjacency_.find(id);
    return adj ? std::span<const Entry>(*adj) : std::span<const Entry>();
  }
  const Asc& linkAt(uint32_t slot) const { return *slotPtr(slot); }
  Asc& linkAt(uint32_t slot) { return *slotPtr(slot); }
  void prefetchLink(uint32_t slot) const { __builtin_prefetch(slotPtr(slot)); }
  uint32_t linkNumberLimit() const { return used_; }

  // Penalty counters of negative learning (absent means 0).
  bool hasPenalty(const Asc* asc) const { return penalties_.count(asc) != 0; }
  int32_t penalty(const Asc* asc) const {
    if (penalties_.empty()) return 0;
    auto it = penalties_.find(asc);
    return it == penalties_.end() ? 0 : it->second;
  }
  void setPenalty(const Asc* asc, int32_t value) { penalties_[asc] = value; }
  void dropPenalty(const Asc* asc) { penalties_.erase(asc); }

  std::size_t size() const { return live_; }
  // Gives back the spare capacity of the adjacency vectors (after building a network).
  void compact();

 private:
  static constexpr uint32_t kChunkBits = 12;
  static constexpr uint32_t kChunkSize = 1u << kChunkBits;

  Asc* slotPtr(uint32_t slot) const {
    return &chunks_[slot >> kChunkBits][slot & (kChunkSize - 1)];
  }
  uint32_t allocate(const Asc& value);
  void release(uint32_t slot);
  const std::vector<Entry>* adjacencyOf(int32_t id) const;
  // Position of `other` in a sorted adjacency (or where it would go).
  static std::vector<Entry>::iterator lowerBound(std::vector<Entry>& adj, int32_t other);
  // Where `other` goes: the end when it is above every entry (links read in pair order).
  static std::vector<Entry>::iterator insertionPoint(std::vector<Entry>& adj, int32_t other) {
    return adj.empty() || adj.back().other < other ? adj.end() : lowerBound(adj, other);
  }
  Asc* enter(const Asc& value);
  struct RunEnds {
    int32_t from;
    int32_t to;
  };
  // endRun's work: the adjacency lists of a run's links (link numbers 0 to ends.size() - 1
  // in a holder that was empty). False, with nothing stored beyond the lists, when a pair
  // came twice.
  bool buildRun(const std::vector<RunEnds>& ends);
  // Stores a run's links again one by one through add() (the rare run that repeats a pair).
  void replayRun(const std::vector<RunEnds>& ends);
  // Back to a holder without links (keeping the pool's chunks).
  void dropAll();

  const NodeHolder& holder_;
  const int32_t& step_;
  std::vector<std::unique_ptr<Asc[]>> chunks_;
  std::vector<uint32_t> freeSlots_;
  uint32_t used_ = 0;  // slots handed out so far (free ones included)
  std::size_t live_ = 0;
  IdTable<std::vector<Entry>> adjacency_;  // each node's links, by the other end's id
  std::unordered_map<const Asc*, int32_t> penalties_;
  bool running_ = false;
  std::vector<RunEnds> run_;  // the ends of the open run's links, by link number
};

}  // namespace qorn
