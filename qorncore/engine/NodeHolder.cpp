#include "NodeHolder.h"

#include <algorithm>
#include <ostream>
#include <set>

#include "qorncore/datatypes/EngineConsole.h"

namespace qorn {

int NodeHolder::addNode(Node* node) {
  if (!node) return 0;
  if (node->id <= 0) {
    engineConsole() << "error: call to NodeHolder::addNode with illegal nodeId!" << node->id << "\n";
    return 0;
  }
  const bool entered = byId_.emplace(node->id, node);  // keeps the earlier node
  if (!entered && byId_.find(node->id) != node &&
      std::find(shadowed_.begin(), shadowed_.end(), node) == shadowed_.end())
    shadowed_.push_back(node);
  cursor_ = byId_.begin();
  return 1;
}

int NodeHolder::removeNode(int32_t id) {
  Node* node = byId_.erase(id);
  if (!node) return 0;
  node->activation = qornfloat(0.0f);
  cursor_ = byId_.begin();
  return 1;
}

std::vector<Node*> NodeHolder::allNodes() const {
  std::vector<Node*> nodes;
  nodes.reserve(nodeCount());
  for (const auto& [id, node] : byId_) nodes.push_back(node);
  nodes.insert(nodes.end(), shadowed_.begin(), shadowed_.end());
  return nodes;
}

Node* NodeHolder::findByMd5(const std::string&) const {
  return nullptr;
}
Node* NodeHolder::findByLocation(const std::string&) const {
  return nullptr;
}

Node* NodeHolder::find(int32_t id) const {
  return byId_.find(id);
}

Node* NodeHolder::first() {
  cursor_ = byId_.begin();
  return next();
}

Node* NodeHolder::next() {
  if (cursor_ == byId_.end()) return nullptr;
  Node* node = (*cursor_).second;
  ++cursor_;
  return node;
}

std::string artistNames(const NodeHolder& holder, const std::vector<int32_t>& artistIds,
                        std::size_t limit) {
  if (artistIds.empty()) return {};
  if (artistIds.size() > limit) return "(Various Artists)";
  std::string names;
  for (int32_t id : artistIds) {
    Node* artist = holder.find(id);
    if (!artist) continue;
    if (!names.empty()) names += ", ";
    names += artist->name.str();
  }
  return names;
}

Node* getAlbum(const NodeHolder& holder, const Node* song) {
  const SongNode* s = song ? song->asSong() : nullptr;
  return s ? holder.find(s->albumId) : nullptr;
}

int getNumArtists(const Node* song) {
  const SongNode* s = song ? song->asSong() : nullptr;
  return s ? static_cast<int>(s->people.artists.size()) : 0;
}

Node* getFirstArtist(const NodeHolder& holder, const Node* song) {
  const SongNode* s = song ? song->asSong() : nullptr;
  if (!s || s->people.artists.empty()) return nullptr;
  return holder.find(s->people.artists.front());
}

int getNumSubNodes(const Node* list) {
  const SongListNode* l = list ? list->asSongList() : nullptr;
  return l ? static_cast<int>(l->tracks.size()) : 0;
}

Node* getSubNode(const NodeHolder& holder, const Node* list, int i) {
  const SongListNode* l = list ? list->asSongList() : nullptr;
  if (!l || i < 0 || static_cast<std::size_t>(i) >= l->tracks.size()) return nullptr;
  const int32_t id = l->tracks[i];
  return id == 0 ? nullptr : holder.find(id);
}

std::string albumArtistName(const NodeHolder& holder, const Node* list) {
  const SongListNode* l = list ? list->asSongList() : nullptr;
  if (!l) return {};
  std::string own = artistNames(holder, l->people.artists, 1);
  if (!own.empty()) return own;
  std::set<int32_t> trackArtists;
  for (int32_t trackId : l->tracks) {
    if (trackId <= 0) continue;
    Node* track = holder.find(trackId);
    if (const SongNode* song = track ? track->asSong() : nullptr)
      trackArtists.insert(song->people.artists.begin(), song->people.artists.end());
  }
  return artistNames(holder, std::vector<int32_t>(trackArtists.begin(), trackArtists.end()), 1);
}

}  // namespace qorn
