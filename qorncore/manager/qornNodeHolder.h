// qornNodeHolder: the engine's node holder, adding lookup by sample hash (md5) and by media
// location. Every index entry holds one reference on its node.
//
// The index keys are views of the node's own md5 and location texts (a copy per key would
// cost about 100 bytes per song), so a node's md5 and location must not change while it is
// in the holder: remove it, change them, and add it again (add() re-indexes).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "qorncore/engine/NodeHolder.h"

namespace qorn {

class qornNodeHolder : public NodeHolder {
 public:
  qornNodeHolder() = default;
  ~qornNodeHolder() override;

  // Indexes the node (md5, and location for songs), then adds it by id. On an md5 or
  // location collision the earlier node keeps the entry and the error is logged; a
  // location collision leaves the new node out of both indexes.
  int addNode(Node* node) override;
  // Unindexes the node with that id, then removes it by id.
  int removeNode(int32_t id) override;
  // For a node in the holder whose location was set after it was added (the network
  // reader): the indexes become what addNode(node) again would make them, without
  // removing and re-entering the entries that are already right.
  void refreshIndex(Node* node);
  // Room for `locations` entries in the location index, so that filling it after a load
  // does not rehash it again and again.
  void reserveLocations(std::size_t locations) { byLocation_.reserve(locations); }
  // The same for the md5 index, which fills as the nodes are added: reserved once, it is
  // not rehashed (a walk over every entry so far) at each doubling of a large network.
  void reserveMd5s(std::size_t md5s) { byMd5_.reserve(md5s); }
  Node* findByMd5(const std::string& md5) const override;
  Node* findByLocation(const std::string& location) const override;

 private:
  void index(Node* node);
  // Removes the node's own entries (never another node's entry with the same key) and
  // drops the reference each held.
  void unindex(Node* node);

  std::unordered_map<std::string_view, Node*> byMd5_;
  std::unordered_map<std::string_view, Node*> byLocation_;
};

}  // namespace qorn
