// ActivationHolder: the hotlist — the most active nodes of the kinds the view asks for.
//
// Candidates are nodes whose activation changed (or, when there are too few, every node of
// the network); the rebuild decays each candidate to the current step and keeps the top
// `size` by activation. Equal activations are ordered by ascending node id, so the order
// is reproducible. Holds node pointers without references: the engine empties the hotlist
// whenever nodes leave the network. Single-threaded.
#pragma once

#include <cstdint>
#include <functional>
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
  // The candidates without duplicates: an open-addressing table over a dense vector.
  // clear() keeps the storage, so a play (thousands of touched nodes) and the rebuild
  // after it allocate nothing once the set has grown.
  class CandidateSet {
   public:
    void insert(Node* node);
    std::size_t size() const { return nodes_.size(); }
    std::vector<Node*>::const_iterator begin() const { return nodes_.begin(); }
    std::vector<Node*>::const_iterator end() const { return nodes_.end(); }
    void clear();

   private:
    void grow();
    std::vector<Node*> table_;  // null: empty slot
    std::vector<Node*> nodes_;  // in insertion order
    std::vector<uint32_t> slots_;
  };

  void rebuild(const NodeHolder& holder, const Decay& decay);

  bool dirty_ = true;
  CandidateSet candidates_;
  struct Ranked {
    float activation;
    int32_t id;
    Node* node;
  };
  std::vector<Ranked> sorted_;  // rebuild work space, reused
  Node* lowest_ = nullptr;      // last node of the sorted index at the last rebuild
  int filter_ = kHotlistAllKinds;
  int size_;
  std::vector<Node*> hotlist_;
};

}  // namespace qorn
