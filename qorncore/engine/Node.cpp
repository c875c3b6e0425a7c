#include "Node.h"

void Node::reset() {
  id = 0;
  name.clear();
  activation = qorn::qornfloat(0.0f);
  lastplayed = qorn::qorndate(-1);
  decayedAt = 0;
  playcount = 0;
  apb = false;
  ul = false;
  duration = -1;
  refCount = 1;
}

int Node::release() {
  const int count = --refCount;
  if (count <= 0) delete this;
  return count;
}

namespace qorn {

const std::string& PendingText::str() const {
  static const std::string kEmpty;
  return text_ ? *text_ : kEmpty;
}

void RoleMap::emplace(const std::string& role, int32_t id) {
  if (!map_) map_ = std::make_unique<Map>();
  map_->emplace(role, id);
}

const RoleMap::Map& RoleMap::map() const {
  static const Map kEmpty;
  return map_ ? *map_ : kEmpty;
}

void People::addPerson(int32_t id, const std::string& role) {
  if (role == "artist")
    artists.push_back(id);
  else if (role == "composer")
    composers.push_back(id);
  else
    otherRoles.emplace(role, id);
}

void SongListNode::setTrack(int position, int32_t songId) {
  if (position <= 0) {
    tracks.push_back(songId);
    return;
  }
  if (tracks.size() < static_cast<std::size_t>(position)) tracks.resize(position, 0);
  tracks[position - 1] = songId;
}

}  // namespace qorn
