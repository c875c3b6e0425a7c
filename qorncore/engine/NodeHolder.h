// NodeHolder: the nodes of one network by id, and the whole-network walk in id order.
//
// The holder does not change reference counts by itself: the engine's reference (the
// count of 1 a node starts with) stands for its membership here; the engine drops it when
// it removes a node or clears the network. Single-threaded.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Node.h"
#include "NodesById.h"

namespace qorn {

class NodeHolder {
 public:
  NodeHolder() = default;
  virtual ~NodeHolder() = default;
  NodeHolder(const NodeHolder&) = delete;
  NodeHolder& operator=(const NodeHolder&) = delete;

  // 0 (with a line on standard error) for an id of 0 or less; otherwise 1. When the id is
  // taken, the id map keeps the earlier node while the new one still joins allNodes().
  virtual int addNode(Node* node);
  // 0 when no node has the id; otherwise the node leaves the holder, its activation is set
  // to 0 and the result is 1. The node object is not destroyed.
  virtual int removeNode(int32_t id);
  virtual Node* findByMd5(const std::string& md5) const;
  virtual Node* findByLocation(const std::string& location) const;

  Node* find(int32_t id) const;
  // Iteration in ascending id order; both reset by every add and remove.
  Node* first();
  Node* next();

  const NodesById& byId() const { return byId_; }
  // Every node of the holder: those of the id map in id order, then those whose id was
  // already taken when they were added.
  std::vector<Node*> allNodes() const;
  std::size_t nodeCount() const { return byId_.size() + shadowed_.size(); }
  std::size_t size() const { return byId_.size(); }
  int32_t largestId() const { return byId_.largestId(); }

 private:
  NodesById byId_;
  std::vector<Node*> shadowed_;  // added under an id that was taken (rare)
  NodesById::const_iterator cursor_ = byId_.end();
};

// Property access over the nodes of a holder.

// Names of the artist nodes: "" without artists, "(Various Artists)" for more than
// `limit`, else the names joined by ", ".
std::string artistNames(const NodeHolder& holder, const std::vector<int32_t>& artistIds,
                        std::size_t limit);
Node* getAlbum(const NodeHolder& holder, const Node* song);
int getNumArtists(const Node* song);
Node* getFirstArtist(const NodeHolder& holder, const Node* song);
int getNumSubNodes(const Node* list);
// Node of track index i (i below getNumSubNodes), null for an empty slot or missing node.
Node* getSubNode(const NodeHolder& holder, const Node* list, int i);
// The list's own artists (limit 1), else the set of its tracks' artists (limit 1).
std::string albumArtistName(const NodeHolder& holder, const Node* list);

}  // namespace qorn
