#include "qornNodeHolder.h"

#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornNodeHolder";

const std::string* locationOf(const Node* node) {
  const SongNode* song = node->asSong();
  return song && !song->location.empty() ? &song->location : nullptr;
}

}  // namespace

qornNodeHolder::~qornNodeHolder() {
  // Give back the references held by index entries; the engine drops its own.
  for (auto& [md5, node] : byMd5_) node->release();
  for (auto& [location, node] : byLocation_) node->release();
}

int qornNodeHolder::addNode(Node* node) {
  if (!node) return 0;
  index(node);
  const int result = NodeHolder::addNode(node);
  if (result == 0) unindex(node);
  return result;
}

int qornNodeHolder::removeNode(int32_t id) {
  if (Node* node = find(id)) unindex(node);
  return NodeHolder::removeNode(id);
}

Node* qornNodeHolder::findByMd5(const std::string& md5) const {
  auto it = byMd5_.find(md5);
  return it == byMd5_.end() ? nullptr : it->second;
}

Node* qornNodeHolder::findByLocation(const std::string& location) const {
  auto it = byLocation_.find(location);
  return it == byLocation_.end() ? nullptr : it->second;
}

void qornNodeHolder::index(Node* node) {
  // An index entry holds a reference beside the engine's own, so a node with one
  // reference is in no index: a new node (a million of them in a network file) needs no
  // lookups to take its old entries out.
  if (node->references() > 1) unindex(node);
  if (!node->md5.empty()) {
    if (byMd5_.emplace(node->md5, node).second)
      node->addRef();
    else
      QORN_LOG(Error, kSource, "md5 collision in qornNodeHolder!");
  }
  if (const std::string* location = locationOf(node)) {
    if (byLocation_.emplace(*location, node).second) {
      node->addRef();
    } else {
      QORN_LOG(Error, kSource, "md5 collision in qornNodeHolder!");
      unindex(node);
    }
  }
}

void qornNodeHolder::refreshIndex(Node* node) {
  // One hash and probe per index: the entry is made where it is missing, or the one there
  // is checked.
  if (!node->md5.empty()) {
    const auto [it, added] = byMd5_.try_emplace(node->md5, node);
    if (added)
      node->addRef();
    else if (it->second != node)
      QORN_LOG(Error, kSource, "md5 collision in qornNodeHolder!");
  }
  if (const std::string* location = locationOf(node)) {
    const auto [it, added] = byLocation_.try_emplace(*location, node);
    if (added) {
      node->addRef();
    } else if (it->second != node) {
      QORN_LOG(Error, kSource, "md5 collision in qornNodeHolder!");
      unindex(node);
    }
  }
}

void qornNodeHolder::unindex(Node* node) {
  // Release only after erasing: the index may hold the last reference.
  auto dropEntry = [node](std::unordered_map<std::string_view, Node*>& map,
                          const std::string& key) {
    auto it = map.find(key);
    if (it == map.end() || it->second != node) return;
    map.erase(it);
    node->release();
  };
  if (!node->md5.empty()) dropEntry(byMd5_, node->md5);
  if (const std::string* location = locationOf(node)) dropEntry(byLocation_, *location);
}

}  // namespace qorn
