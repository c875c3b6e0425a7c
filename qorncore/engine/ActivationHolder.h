// ActivationHolder: the hotlist — the most active nodes of the kinds the view asks for.
//
// Candidates are nodes whose activation changed (or, when there are too few, every node of
// the network); the rebuild decays each candidate to the current step and keeps the top
// `size` by activation. Equal activations are ordered by ascending node id, so the order
// is reproducible. Holds node pointers without references: the engine empties the hotlist
// whenever nodes leave the network. Single-threaded.
#pragma once

#include <functional>
#include <unordered_set>
#include <vector>

#include "EngineConstants.h"
#include "Node.h"

namespace qorn {

class NodeHolder;

class ActivationHolder {
 public:
  // Brings a node's activation up to the current step (the engine's decayNode).
  using Decay = std::function<qornfloat(Node*)>;

  explicit ActivationHolder(int size = kHotlistSize) : size_(size) {}

  int filter() const { return filter_; }
  bool admits(const Node* node) const { return (node->getType() & filter_) != 0; }
  // Enters the node as a candidate when its kind passes the filter; marks the hotlist dirty.
  void touch(Node* node);
  // The hotlist, rebuilt first when dirty.
  const std::vector<Node*>& hotlist(const NodeHolder& holder, const Decay& decay);
  // 0 when the mask is the current filter or illegal (mask AND 7 is 0; reported on
  // standard error and in the log); otherwise stores it, rebuilds the candidate set from
  // every node of that kind and returns 1.
  int setFilter(int mask, const NodeHolder& holder);
  // Every candidate's activation becomes the lowest activation of the last rebuild.
  void flatten();
  // Forgets every candidate and the hotlist (nodes left the network).
  void clear();
  void markDirty() { dirty_ = true; }

 private:
  void rebuild(const NodeHolder& holder, const Decay& decay);

  bool dirty_ = true;
  std::unordered_set<Node*> candidates_;
  Node* lowest_ = nullptr;  // last node of the sorted index at the last rebuild
  int filter_ = kHotlistAllKinds;
  int size_;
  std::vector<Node*> hotlist_;
};

}  // namespace qorn
