// Stage 4 of an import: the new nodes join the network, song-to-song links are inferred,
// songs are linked to their artists and lists to their tracks, and the new songs get their
// first activation. A cancel or a failed inference leaves the network as it was.
#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <unordered_set>

#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/manager/qornManager.h"
#include "qorncore/manager/qornManagerImport.h"
#include "qorncore/manager/qornManagerNetworkFile.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";
// Sizes that choose the inference work: a network of this many songs is large, an import
// of more than this many nodes is large.
constexpr std::size_t kLargeNetwork = 500;
constexpr std::size_t kLargeImport = 100;
constexpr float kPersonLink = 0.3f;  // song to each of its artists and composers
constexpr float kTrackLink = 0.2f;   // song list to each of its tracks
constexpr float kImportedFew = 0.999f;
constexpr float kImportedSong = 0.99f;
constexpr float kImportedList = 0.6f;

// The song-to-song links among a set of songs, kept while the full inference runs over
// them, so that a failed or cancelled inference can put them back as they were.
class SongLinkSnapshot {
 public:
  void capture(const AscHolder& links, const std::vector<Node*>& songs) {
    captured_ = true;
    forEachPair(links, songs, [&](Asc* link, int32_t, int32_t) {
      saved_.push_back(Saved{*link, links.penalty(link)});
    });
  }
  // Does nothing unless capture ran.
  void restore(AscHolder& links, const std::vector<Node*>& songs) const {
    if (!captured_) return;
    std::vector<std::pair<int32_t, int32_t>> now;
    forEachPair(links, songs, [&](Asc*, int32_t a, int32_t b) { now.emplace_back(a, b); });
    for (const auto& [a, b] : now) links.remove(a, b);
    for (const Saved& s : saved_) links.add(s.link, s.penalty);
  }

 private:
  struct Saved {
    Asc link;
    int32_t penalty;
  };
  template <typename F>
  static void forEachPair(const AscHolder& links, const std::vector<Node*>& songs, F&& fn) {
    std::unordered_set<int32_t> ids;
    for (const Node* song : songs) ids.insert(song->id);
    for (const Node* song : songs) {
      const int32_t id = song->id;
      links.forEachLinkWithId(id, [&](Asc* link, int32_t other) {
        if (other > id && ids.count(other)) fn(link, id, other);
      });
    }
  }
  std::vector<Saved> saved_;
  bool captured_ = false;
};

// The duplicate key of a node: a song's location, a playlist's name ("" for no key).
std::string duplicateKey(const Node* node) {
  if (const SongNode* song = node->asSong()) return "s" + song->location;
  if (const SongListNode* list = node->asSongList(); list && list->listType == kPlayList)
    return "p" + list->name.str();
  return std::string();
}

// Takes a song that leaves the import out of the track lists the import built or grew
// (null entries of the batch are nodes already given up).
void forgetTrack(ImportBatch& batch, int32_t songId) {
  auto drop = [songId](SongListNode* list) {
    auto& t = list->tracks;
    t.erase(std::remove(t.begin(), t.end(), songId), t.end());
  };
  for (Node* node : batch.nodes)
    if (SongListNode* list = node ? node->asSongList() : nullptr) {
      drop(list);
      list->trackCount = static_cast<int32_t>(list->tracks.size());
    }
  for (auto& [list, size] : batch.grownLists) drop(list);
}

std::vector<Node*> songsOf(const std::vector<Node*>& nodes) {
  std::vector<Node*> out;
  for (Node* node : nodes)
    if (node->asSong()) out.push_back(node);
  return out;
}

}  // namespace

void qornManager::withdrawImported(Node* node) {
  if (!node || findNode(node->id) != node) return;
  std::vector<int32_t> others;
  links().forEachLinkWithId(node->id, [&](Asc*, int32_t other) { others.push_back(other); });
  for (int32_t other : others) links().remove(node->id, other);
  forgetNode(node);
  dropNode(node);
}

int qornManager::addNodeList(bool merge, ImportBatch& batch, float linkParam) {
  QORN_LOG(Debug, kSource, "entered addNodeList");
  std::vector<Node*>& fresh = batch.nodes;

  // Duplicates of what the network holds are dropped; a network that the import replaces
  // (not merging) has nothing to compare with.
  if (merge) {
    std::set<std::string> keys;
    for (const auto& entry : nodes().byId())
      if (std::string key = duplicateKey(entry.second); !key.empty()) keys.insert(key);
    std::vector<Node*> kept, dropped;
    for (Node* node : fresh) {
      const std::string key = duplicateKey(node);
      (key.empty() || !keys.count(key) ? kept : dropped).push_back(node);
    }
    fresh = std::move(kept);
    for (Node* node : dropped) {
      if (node->asSong()) forgetTrack(batch, node->id);
      node->release();
    }
  }
  if (songsOf(fresh).empty()) {
    // Nothing new: the network stays exactly as it is, no inference runs.
    batch.restoreGrownLists();
    batch.releaseAll();
    QORN_LOG(Debug, kSource, "leaving addNodeList");
    return 1;
  }

  // A replacing import keeps the network it replaces, as its file text, until the new one
  // stands: a cancel or a failed inference puts it back, so a user's network is never lost
  // to an import that did not finish. (Costs one network text in memory while it runs.)
  std::string replaced;
  if (!merge) {
    std::ostringstream quiet;
    if (nodes().size() > 0) replaced = networkText(*this, quiet);
    clear();
  }
  auto restoreReplaced = [&] {
    std::ostringstream quiet;
    if (!replaced.empty() && loadNetworkText(*this, replaced, quiet) != 1)
      QORN_LOG(Error, kSource, "addNodeList: the replaced network could not be restored");
  };
  std::vector<Node*> oldSongs;
  for (const auto& entry : nodes().byId())
    if (entry.second->asSong()) oldSongs.push_back(entry.second);

  // Insertion.
  const ImportProgress progress(callback_, 3, 3);
  const int32_t total = static_cast<int32_t>(fresh.size()) + 2;
  std::vector<Node*> inserted;
  bool cancelled = !progress.report(0, total, "Inserting Nodes...", "", "Inserting Nodes...");
  std::size_t next = 0;
  for (; next < fresh.size() && !cancelled; ++next) {
    Node* node = fresh[next];
    if (addNode(node)) {
      inserted.push_back(node);
    } else {
      QORN_LOG(Error, kSource, "addNodeList: can't add node " + node->name.str());
      fresh[next] = nullptr;
      if (node->asSong()) forgetTrack(batch, node->id);
      node->release();
    }
    cancelled = !progress.report(static_cast<int32_t>(next) + 1, total, "Inserting Nodes...", "",
                                 "Inserting Nodes...");
  }
  if (cancelled) {
    for (std::size_t i = next; i < fresh.size(); ++i) fresh[i]->release();
    for (Node* node : inserted) withdrawImported(node);
    fresh.clear();
    batch.restoreGrownLists();
    restoreReplaced();
    QORN_LOG(Debug, kSource, "aborted addNodeList");
    return 0;
  }
  fresh = inserted;

  // Song-to-song links.
  const std::size_t oldCount = oldSongs.size();
  const std::size_t newCount = inserted.size();
  SongLinkSnapshot snapshot;
  // Taking a song out again (the merge inference does that itself when cancelled) takes
  // its time off its album, which may be an album of the network.
  std::vector<std::pair<Node*, int32_t>> oldDurations;
  for (const auto& [list, size] : batch.grownLists) oldDurations.emplace_back(list, list->duration);
  int result = 1;
  if (!merge || (oldCount < kLargeNetwork &&
                 (newCount > kLargeImport || oldCount + newCount < kLargeNetwork))) {
    std::vector<Node*> songs = oldSongs;
    for (Node* song : songsOf(inserted)) songs.push_back(song);
    snapshot.capture(links(), oldSongs);
    links().removeSongSongLinksExcept(std::set<Node*>(songs.begin(), songs.end()));
    result = inferLinksFull(songs, linkParam);
  } else if (oldCount >= kLargeNetwork && newCount > kLargeImport) {
    result = inferLinksMerge(oldSongs, inserted, false);
    if (result > 0) result = inferLinksFull(songsOf(inserted), linkParam);
  } else {
    result = inferLinksMerge(oldSongs, inserted, true);
  }
  if (result <= 0) {
    QORN_LOG(Debug, kSource, "addNodeList starting removing nodes");
    // The merge inference may have taken the new nodes out itself (it empties the list).
    for (Node* node : inserted) withdrawImported(node);
    snapshot.restore(links(), oldSongs);
    batch.restoreGrownLists();
    for (const auto& [node, duration] : oldDurations) node->duration = duration;
    fresh.clear();
    restoreReplaced();
    QORN_LOG(Debug, kSource, "leaving addNodeList with error code");
    return 0;
  }

  linkMetaNodes(batch);
  QORN_LOG(Debug, kSource, "leaving addNodeList");
  return result;
}

void qornManager::linkMetaNodes(ImportBatch& batch) {
  QORN_LOG(Debug, kSource, "addNodeList starting meta links loop");
  std::vector<Node*> remembered;
  std::unordered_set<int32_t> rememberedIds;
  auto remember = [&](Node* node) {
    node->duration = -1;
    if (rememberedIds.insert(node->id).second) remembered.push_back(node);
  };
  for (Node* node : batch.nodes) {
    if (SongNode* song = node->asSong()) {
      for (const std::vector<int32_t>* ids : {&song->people.artists, &song->people.composers})
        for (int32_t id : *ids) {
          Node* person = findNode(id);
          if (!person) continue;
          remember(person);
          links().create(song->id, id, qornfloat(kPersonLink));
        }
    } else if (SongListNode* list = node->asSongList()) {
      remember(list);
      for (int32_t track : list->tracks)
        if (track > 0) links().create(list->id, track, qornfloat(kTrackLink));
    }
  }
  // Albums of the network that got new tracks are linked to them like a new album.
  for (auto& [list, oldSize] : batch.grownLists) {
    remember(list);
    for (std::size_t i = oldSize; i < list->tracks.size(); ++i)
      if (list->tracks[i] > 0) links().create(list->id, list->tracks[i], qornfloat(kTrackLink));
  }
  QORN_LOG(Debug, kSource, "addNodeList leaft meta links loop");

  QORN_LOG(Debug, kSource, "addNodeList starting finalisation");
  setImportedActivation(batch.nodes);
  // Durations of -1 make the flat-list walk sum the positive durations of the songs.
  std::vector<Node*> flat;
  getFlatList(remembered, flat);
  hotlistHolder().clear();
}

void qornManager::setImportedActivation(const std::vector<Node*>& newNodes) {
  QORN_LOG(Debug, kSource, "entering setImportedActivation");
  std::size_t n = getHotlist().size();
  auto set = [this](Node* node, float value) {
    node->activation = qornfloat(value);
    node->decayedAt = step();
    hotlistHolder().touch(node);
  };
  if (newNodes.size() < n) {
    for (Node* node : newNodes)
      if (node->asSong()) set(node, kImportedFew);
  } else {
    for (std::size_t i = 0; i < newNodes.size() && n > 0; ++i) {
      Node* node = newNodes[i];
      if (node->asSongList()) {
        set(node, kImportedList);
      } else if (node->asSong()) {
        set(node, kImportedSong);
        --n;
      }
    }
  }
  QORN_LOG(Debug, kSource, "leaving setImportedActivation");
}

}  // namespace qorn
