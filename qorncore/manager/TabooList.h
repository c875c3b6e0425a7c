// TabooList: which nodes the selection must pass over for a while, with one expiry time per
// entry. Songs are taboo for the song taboo time after a play; song lists and artists for
// the list taboo time plus an extra length (their playing time).
//
// Two indexes: entries by expiry (for purging and the network file) and entries by node in
// insertion order (a node may be taboo several times; its oldest entry counts). The list
// holds node pointers without references; the manager drops a node's entries before the
// node leaves the network. Copyable (saved copies serve the local taboo lists). Time comes
// from the manager's EngineClock. Single-threaded; nothing here throws except bad_alloc.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "EngineClock.h"
#include "qorncore/engine/Node.h"

namespace qorn {

class TabooList {
 public:
  static constexpr int32_t kDefaultSeconds = 18000;  // 5 hours

  explicit TabooList(const EngineClock& clock) : clock_(&clock) {}

  // Makes the node taboo until now + song time (a song) or now + max(extra, 0) + list
  // time (other kinds). 0 for null or an expiry that is not in the future, else 1.
  int add(int32_t extra, const Node* node);
  // The reader's entry: the node is taboo until `expiry` (0 when that has passed).
  int addWithExpiry(int32_t expiry, int32_t extra, const Node* node);
  // 0..100: how much of the node's oldest taboo entry is left, measured against its whole
  // duration (the song time, or the list time plus the entry's extra length). Repairs and
  // logs entries that lie outside that duration.
  int proportion(const Node* node);
  // The node is no longer taboo: its entries leave both indexes.
  void remove(const Node* node);
  // Drops every entry whose expiry lies before `now`.
  void purge(int32_t now);
  // Moves every expiry by the change of its duration (never beyond now + new duration,
  // extra length included).
  // 0 for a negative time or no change, else 1.
  int setDurations(int32_t songTime, int32_t listTime);

  int32_t songTime() const { return songTime_; }
  int32_t listTime() const { return listTime_; }
  bool empty() const { return byNode_.empty(); }

  // Entries in expiry order whose node is still taboo: fn(expiry, node). Purges first.
  template <typename F>
  void forEachByExpiry(F&& fn) {
    purge(clock_->now());
    for (const auto& [expiry, entry] : byExpiry_)
      if (byNode_.count(keyOf(entry))) fn(expiry, entry.node);
  }

 private:
  struct Entry {
    int32_t expiry;
    int32_t extra;
    const Node* node;
    int32_t id;  // kept so that the list never has to read a node it only points at
    bool song;
  };
  using NodeKey = std::pair<int32_t, const Node*>;  // id first: a reproducible order
  static NodeKey keyOf(const Node* node) { return {node->id, node}; }
  static NodeKey keyOf(const Entry& entry) { return {entry.id, entry.node}; }
  // Moves the expiry-index copy of `entry` to a new expiry.
  void rekey(const Entry& entry, int32_t newExpiry);
  void insert(const Entry& entry);
  // The node's oldest entry in the node index, or end().
  std::multimap<NodeKey, Entry>::iterator oldest(const Node* node);

  const EngineClock* clock_;
  int32_t songTime_ = kDefaultSeconds;
  int32_t listTime_ = kDefaultSeconds;
  std::multimap<int32_t, Entry> byExpiry_;
  std::multimap<NodeKey, Entry> byNode_;  // equal keys keep insertion order
};

}  // namespace qorn
