// SpreadSnapshot: a compact, read-only copy of a network's links for running many
// propagations that change nothing (the palette runs thousands of them).
//
// PlexEngine::propagate reads every link it crosses from the link store, one cache miss per
// link. Here each node's links sit side by side as (neighbour, strength) pairs, with the
// strengths already brought to the engine's current step, so a propagation walks memory in
// order. The sums come out exactly as PlexEngine::propagate computes them: the same items
// in the same breadth-first order, the same float operations.
//
// Decay is lazy in the engine: a propagation stores the decayed strength of every link it
// reads. applyDecay() does the same afterwards for the links the snapshot's propagations
// read, so the network ends in the state the engine's own propagations would have left.
//
// Nodes are numbered by position in id order (index order is id order). The copy also
// answers the questions a walk over the whole network asks (kind, degree, neighbours)
// without reading the nodes themselves.
//
// A network holding a link whose step lies ahead of the engine's (decay would move the
// step while propagating) or an undefined strength cannot be propagated from the copy:
// canPropagate() is false and the caller uses PlexEngine::propagate; the rest still works.
// Node pointers are borrowed; the network must not change while the snapshot is used.
// Single-threaded; throws only bad_alloc.
#pragma once

#include <cstdint>
#include <vector>

#include "PlexEngine.h"

namespace qorn {

class SpreadSnapshot {
 public:
  explicit SpreadSnapshot(PlexEngine& engine);

  bool canPropagate() const { return canPropagate_; }
  std::size_t size() const { return nodes_.size(); }
  Node* node(int32_t index) const { return nodes_[static_cast<std::size_t>(index)]; }
  // The index of a node of this network, -1 for any other node.
  int32_t indexOf(const Node* node) const;
  bool isSong(int32_t index) const { return song_[static_cast<std::size_t>(index)] != 0; }
  // Links of the node (all kinds), and its song-to-song links.
  std::size_t degree(int32_t index) const {
    return first_[static_cast<std::size_t>(index) + 1] - first_[static_cast<std::size_t>(index)];
  }
  std::size_t songDegree(int32_t index) const;
  // fn(neighbour index) for each link of the node, in ascending id order of the neighbour.
  template <typename F>
  void forEachNeighbour(int32_t index, F&& fn) const {
    const auto i = static_cast<std::size_t>(index);
    for (uint32_t e = first_[i]; e < first_[i + 1]; ++e) fn(edges_[e].to);
  }

  // Spreads the items (source 0 each; canPropagate() must hold) and leaves the summed
  // excitation of each reached node, for forEachReached.
  void propagate(const std::vector<ExcitationItem>& items);
  // fn(index, excitation) for each node the last propagation reached, in the order first
  // reached.
  template <typename F>
  void forEachReached(F&& fn) const {
    for (int32_t i : reached_) fn(i, sum_[static_cast<std::size_t>(i)]);
  }
  std::size_t reachedCount() const { return reached_.size(); }
  // Stores the decayed strength of every link the propagations read (see above).
  void applyDecay();

 private:
  struct Edge {
    int32_t to;  // index of the other end
    float strength;
  };
  struct Item {
    float amount;
    int32_t source;  // index, -1 for none
    int32_t target;
  };
  int32_t indexOfId(int32_t id) const;
  // Fills first_ and edges_ from the link store, strengths decayed to `step`.
  void copyLinks(const AscHolder& links, int32_t step);

  PlexEngine& engine_;
  bool canPropagate_ = true;
  std::vector<Node*> nodes_;         // by index: the nodes in id order
  std::vector<int32_t> ids_;         // by index
  std::vector<int8_t> kinds_;        // by index: NodeKind
  std::vector<char> song_;           // by index
  std::vector<int32_t> denseIndex_;  // id -> index + 1 (0: none), for ids below its size
  std::vector<int32_t> sparseIds_;   // the other ids, sorted, with their indexes below
  std::vector<int32_t> sparseIndex_;
  std::vector<uint32_t> first_;  // by index: its first edge; one more at the end
  std::vector<Edge> edges_;
  std::vector<float> sum_;         // by index, 0 outside a propagation's reach
  std::vector<uint64_t> inReach_;  // by index, a bit each: reached by this propagation
  std::vector<int32_t> reached_;   // in the order first reached
  std::vector<char> spread_;       // by index: its links were read
  std::vector<Item> queue_;
};

}  // namespace qorn
