// NodeRefList: a list of engine nodes that holds an engine reference on each node it keeps
// (addNodeRef when a node comes in, releaseNode when it goes), so the nodes stay valid
// between engine calls. Used for the node clipboard. Interface thread only; the engine must
// outlive the list. Nothing throws except std::bad_alloc.
#pragma once

#include <vector>

#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

class NodeRefList {
 public:
  explicit NodeRefList(IQornManager& engine) : engine_(engine) {}
  ~NodeRefList() { clear(); }
  NodeRefList(const NodeRefList&) = delete;
  NodeRefList& operator=(const NodeRefList&) = delete;

  // Replaces the content by the non-null nodes, in order.
  void assign(const std::vector<Node*>& nodes) {
    std::vector<Node*> kept;
    for (Node* node : nodes)
      if (node) {
        engine_.addNodeRef(node);
        kept.push_back(node);
      }
    clear();
    nodes_ = std::move(kept);
  }
  void clear() {
    for (Node* node : nodes_) engine_.releaseNode(node);
    nodes_.clear();
  }
  const std::vector<Node*>& nodes() const { return nodes_; }
  bool empty() const { return nodes_.empty(); }

 private:
  IQornManager& engine_;
  std::vector<Node*> nodes_;
};

}  // namespace zarvell::app
