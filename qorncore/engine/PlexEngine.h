// PlexEngine: the spreading-activation core that owns one network.
//
// Owns the nodes (through the node holder), the links (AscHolder), the keyword index and
// the hotlist. Excitation given to nodes spreads breadth-first along the links; each node's
// activation rises by a saturating rule and every link that carried excitation is
// strengthened a little. Activations and link strengths decay lazily with the step
// counter, which advances once per excitation.
//
// The network's owner and id authority: every node enters through addNode and leaves
// through removal or clear, which drop the engine's reference. Single-threaded; nothing
// here throws across its interface (failures are log lines and result codes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Accumulator.h"
#include "ActivationHolder.h"
#include "AscHolder.h"
#include "EngineConstants.h"
#include "KeywordIndex.h"
#include "NodeHolder.h"

namespace qorn {

// One excitation: `amount` arrives at `target` from node `source` (0 when it does not
// arrive over a link).
struct ExcitationItem {
  qornfloat amount;
  int32_t source = 0;
  Node* target = nullptr;
};

// What one propagation collected: summed excitation per node and summed flow per link.
// Reuse one object for many propagations: clearing keeps its storage.
struct Propagation {
  Accumulator<Node> nodes;
  Accumulator<Asc> links;
  // False when only the node sums are wanted (no link flows are collected then).
  bool collectFlows = true;
  void clear() {
    nodes.clear();
    links.clear();
  }
  // The reached nodes in ascending id order (a fixed order for the callers that pick the
  // first suitable node).
  std::vector<std::pair<Node*, qornfloat>> nodesById() const;
};

class PlexEngine {
 public:
  // An empty network on a plain NodeHolder. Construction makes no virtual call: a derived
  // engine hands its own holder to the protected constructor instead of overriding
  // createNodeHolder for the first network.
  PlexEngine();
  virtual ~PlexEngine();
  PlexEngine(const PlexEngine&) = delete;
  PlexEngine& operator=(const PlexEngine&) = delete;

  // Spreads the items (step counter +1 unless links are frozen), raises the activation of
  // every reached node and strengthens every link that carried flow. 1 on success, 0 when
  // propagation failed (then nothing changed apart from the step).
  virtual int excite(const std::vector<ExcitationItem>& items);
  // Empties the network when it holds any node (cleanup, then init).
  virtual void clear();
  // A fresh empty network: new node holder (createNodeHolder), keyword index and link
  // store, empty hotlist, step counter 0.
  virtual void init();
  // Drops the network: keyword index, links, nodes (each loses the engine's reference).
  virtual void cleanup();
  virtual std::unique_ptr<NodeHolder> createNodeHolder();
  // Excites the nodes matching the keyword text (0.8 x score each) and returns them in
  // search order. Result 0.
  virtual int activateKeywords(const std::string& text, std::vector<Node*>& found);
  // "keywords" replaces the node's keywords, "add:keywords" adds to them (1); an unknown
  // field is reported on standard output (0); 0 for a node that does not exist.
  virtual int setNodeField(int32_t id, const std::string& field, const std::string& value);
  virtual int loadNet(const char* path);
  virtual int saveNet(const char* path);

  // Adds a node, giving one with an id of 0 or less the largest id present plus 1. When
  // accepted the node becomes a hotlist candidate and its pending keywords are indexed.
  // Returns the holder's result (1 accepted, 0 refused).
  int addNode(Node* node);
  // The node's activation brought up to the current step (0 with an ERROR line for null).
  qornfloat decayNode(Node* node);
  // The link's strength brought up to the current step (never below 0.00001).
  qornfloat decayLink(Asc& link);
  // Breadth-first spreading of the items without applying anything, added to `out`
  // (clear it first for a fresh propagation); false on failure.
  bool propagate(const std::vector<ExcitationItem>& items, Propagation& out);
  // Removes the link; with repair, when both are songs now more than two links apart,
  // links the least-linked songs of their two-step neighbourhoods (strength 0.1).
  bool removeLinkWithRepair(int32_t idA, int32_t idB, bool repair);
  // New activation for excitation E on activation a (saturating, clamped to [0, 1]).
  static qornfloat normalizeNodeActivation(qornfloat excitation, qornfloat activation);
  // Strength after carrying `flow` (unchanged when links are frozen).
  qornfloat strengthen(qornfloat strength, qornfloat flow) const;

  void freezeLinks(bool frozen);
  bool linksFrozen() const { return frozenLinks_; }
  void setPropagateToMeta(bool propagate) { propagateToMeta_ = propagate; }
  bool getPropagateToMeta() const { return propagateToMeta_; }

  NodeHolder& nodes() { return *holder_; }
  const NodeHolder& nodes() const { return *holder_; }
  AscHolder& links() { return *links_; }
  const AscHolder& links() const { return *links_; }
  KeywordIndex& keywords() { return *keywords_; }
  const KeywordIndex& keywords() const { return *keywords_; }
  ActivationHolder& hotlistHolder() { return hotlist_; }
  const std::vector<Node*>& getHotlist();
  int32_t step() const { return step_; }
  // Advances the step counter (a boost with reset does this besides excite).
  void advanceStep() { ++step_; }

 protected:
  // Starts with an empty network on `holder` (the derived engine's own kind of holder).
  explicit PlexEngine(std::unique_ptr<NodeHolder> holder);

  // What a derived engine needs beyond the public accessors: a node by id, whether a
  // network exists (false only between cleanup and init), and taking one node out of the
  // keyword index, the hotlist and the network (its links must be gone already), which
  // drops the engine's reference. dropNode returns the holder's result (1 removed).
  Node* findNode(int32_t id) const { return holder_ ? holder_->find(id) : nullptr; }
  bool hasNetwork() const { return holder_ && keywords_ && links_; }
  int dropNode(Node* node);

 private:
  // Builds the empty network on `holder` and drops the current one; no virtual calls, so
  // the constructors and init share it.
  void startNetwork(std::unique_ptr<NodeHolder> holder);
  void dropNetwork();

  bool propagateToMeta_ = true;
  bool frozenLinks_ = false;
  ActivationHolder hotlist_;
  std::unique_ptr<NodeHolder> holder_;
  std::unique_ptr<KeywordIndex> keywords_;
  std::unique_ptr<AscHolder> links_;
  int32_t step_ = 0;

  // A queued item remembers the link it travels over, so the flow needs no lookup.
  struct QueuedItem {
    qornfloat amount;
    int32_t source;
    int32_t targetId;  // the target's id, read from the adjacency (not from the node)
    Node* target;
    Asc* via;
  };
  struct Daughter {
    Asc* link;
    int32_t other;
  };
  std::vector<QueuedItem> queue_;    // propagation work space, reused
  std::vector<Daughter> daughters_;  // one node's passing links, reused
  Propagation excited_;              // excite's accumulators, reused
};

}  // namespace qorn
