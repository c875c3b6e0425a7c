// PlexEngine: the engine core that owns the nodes of one network.
//
// This is the network's owner and id authority: every node enters through addNode and
// leaves through removal or clear, which drop the engine's reference. Spreading activation,
// links and the hotlist build on this class. Single-threaded; nothing here throws.
#pragma once

#include <cstdint>
#include <memory>

#include "NodeHolder.h"

namespace qorn {

class PlexEngine {
 public:
  PlexEngine();
  virtual ~PlexEngine();
  PlexEngine(const PlexEngine&) = delete;
  PlexEngine& operator=(const PlexEngine&) = delete;

  // Empties the network when it holds any node (cleanup, then init).
  virtual void clear();
  // A fresh empty network: new node holder, step counter 0.
  virtual void init();
  // Drops the network: every node loses the engine's reference.
  virtual void cleanup();
  virtual std::unique_ptr<NodeHolder> createNodeHolder();
  virtual int loadNet(const char* path);
  virtual int saveNet(const char* path);

  // Adds a node, giving one with an id of 0 or less the largest id present plus 1. Returns
  // the holder's result (1 accepted, 0 refused).
  int addNode(Node* node);
  // The node's activation brought up to the current step.
  qornfloat decayNode(Node* node);

  NodeHolder& nodes() { return *holder_; }
  const NodeHolder& nodes() const { return *holder_; }
  int32_t step() const { return step_; }

 protected:
  std::unique_ptr<NodeHolder> holder_;
  int32_t step_ = 0;
};

}  // namespace qorn
