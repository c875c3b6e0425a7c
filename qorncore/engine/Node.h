// The nodes of a network: songs, song lists (albums and playlists) and artists.
//
// The engine owns every node; nodes are reference counted (addRef/release). The engine's
// holder holds the first reference, every index entry one more, and the application one
// for each node pointer it keeps beyond a call. A node is destroyed when its count drops
// to 0. Single-threaded like the rest of the engine.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qorncore/datatypes/qorndate.h"
#include "qorncore/datatypes/qornfloat.h"
#include "qorncore/datatypes/qornstring.h"

namespace qorn {

class SongNode;
class SongListNode;
class ArtistNode;

// Node kinds; the values are bits so that a filter can be a mask over them (7 = all).
enum NodeKind : int { kNodeBase = 0, kSong = 1, kSongList = 2, kArtist = 4 };

// Song-list types: 1 is a playlist, anything else an album.
enum ListType : int { kAlbumList = 0, kPlayList = 1 };

// A text that most nodes never hold (keywords handed over before a node joins a network):
// it takes one pointer until it is set.
class PendingText {
 public:
  PendingText& operator=(std::string text) {
    if (text.empty()) {
      text_.reset();
    } else {
      text_ = std::make_unique<std::string>(std::move(text));
    }
    return *this;
  }
  PendingText& operator=(const qornstring& text) { return *this = text.str(); }
  PendingText& operator=(const char* text) { return *this = std::string(text ? text : ""); }
  bool empty() const { return !text_; }
  const std::string& str() const;
  void clear() { text_.reset(); }

 private:
  std::unique_ptr<std::string> text_;
};

// Roles other than artist and composer (rare): role text to artist node id, in role order.
// It takes one pointer until a role is added.
class RoleMap {
 public:
  using Map = std::multimap<std::string, int32_t>;
  void emplace(const std::string& role, int32_t id);
  std::size_t size() const { return map_ ? map_->size() : 0; }
  bool empty() const { return size() == 0; }
  std::size_t count(const std::string& role) const { return map_ ? map_->count(role) : 0; }
  Map::const_iterator begin() const { return map().begin(); }
  Map::const_iterator end() const { return map().end(); }

 private:
  const Map& map() const;
  std::unique_ptr<Map> map_;
};

}  // namespace qorn

// Node sits in the global namespace: it is the one engine type that crosses the engine
// boundary (as a pointer) and the public header declares it there.
class Node {
 public:
  Node() { reset(); }
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Back to the state of a fresh node: id 0, empty name, activation 0, never played,
  // decayed at step 0, playcount 0, not selectable, ul off, unknown duration, count 1.
  virtual void reset();
  virtual int getType() const { return qorn::kNodeBase; }
  virtual qorn::SongListNode* asSongList() { return nullptr; }
  virtual qorn::ArtistNode* asArtist() { return nullptr; }
  virtual qorn::SongNode* asSong() { return nullptr; }
  const qorn::SongListNode* asSongList() const { return const_cast<Node*>(this)->asSongList(); }
  const qorn::ArtistNode* asArtist() const { return const_cast<Node*>(this)->asArtist(); }
  const qorn::SongNode* asSong() const { return const_cast<Node*>(this)->asSong(); }
  int getDuration() const { return duration; }
  void setDuration(int seconds) { duration = seconds; }

  // Reference counting: addRef returns the new count; release returns the new count and
  // destroys the node when it reaches 0 (the pointer is invalid then).
  int addRef() { return ++refCount; }
  int release();
  int references() const { return refCount; }

  qorn::qornstring name;
  std::string md5;                    // 32 lower-case hex characters for songs; empty otherwise
  qorn::PendingText pendingKeywords;  // moved into the keyword index when the node joins
  // The node's keyword tokens in text order, as numbers of its network's keyword index;
  // only that index fills and clears it (reset() leaves it alone).
  std::vector<uint32_t> keywordTokens;
  int32_t id = 0;
  int32_t decayedAt = 0;  // engine step of the last decay
  int32_t playcount = 0;
  int32_t duration = -1;

 private:
  int32_t refCount = 1;  // among the small fields: a network holds many nodes

 public:
  qorn::qornfloat activation;
  qorn::qorndate lastplayed;
  bool apb = false;  // may be chosen automatically by the selection
  bool ul = false;   // kept and saved unchanged
};

namespace qorn {

// Who took part in a song or list: artists, composers and other roles, as artist node ids.
struct People {
  std::vector<int32_t> artists;
  std::vector<int32_t> composers;
  RoleMap otherRoles;

  // "artist" appends to artists, "composer" to composers, any other role to otherRoles.
  void addPerson(int32_t id, const std::string& role);
  bool empty() const { return artists.empty() && composers.empty() && otherRoles.empty(); }
};

class SongNode : public Node {
 public:
  SongNode() = default;
  // A song made new by an import: it takes the id and may be chosen automatically.
  explicit SongNode(int32_t newId) {
    id = newId;
    apb = true;
  }
  int getType() const override { return kSong; }
  SongNode* asSong() override { return this; }

  People people;
  int32_t tempo = -1;
  int32_t albumId = 0;   // id of the album's SongListNode, 0 when none
  std::string location;  // media path, absolute or relative to the media root
};

class SongListNode : public Node {
 public:
  SongListNode() = default;
  explicit SongListNode(int32_t newId) { id = newId; }
  int getType() const override { return kSongList; }
  SongListNode* asSongList() override { return this; }

  // Position 0 appends; otherwise the track list grows with empty slots (id 0) up to the
  // 1-based position and the id is stored there.
  void setTrack(int position, int32_t songId);

  People people;
  int32_t trackCount = 0;
  std::vector<int32_t> tracks;  // song ids; 0 marks an empty slot
  int32_t listType = kAlbumList;
};

class ArtistNode : public Node {
 public:
  ArtistNode() = default;
  explicit ArtistNode(int32_t newId) { id = newId; }
  int getType() const override { return kArtist; }
  ArtistNode* asArtist() override { return this; }
};

}  // namespace qorn
