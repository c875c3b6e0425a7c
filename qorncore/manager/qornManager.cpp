// The manager's lifecycle, lists and play events.
#include "qornManager.h"

#include <unistd.h>
#include <algorithm>

#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "qornNodeHolder.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";

template <typename T>
void eraseAll(std::vector<T*>& list, const Node* node) {
  list.erase(std::remove(list.begin(), list.end(), node), list.end());
}

}  // namespace

qornManager::qornManager(const std::string& basePath, const std::string& modelPath,
                         IQornManagerCallback* callback)
    : PlexEngine(std::make_unique<qornNodeHolder>()),
      basePath_(basePath),
      features_(std::make_unique<FeatureManager>(basePath + "networks/features.mbff")),
      taboo_(std::make_unique<TabooList>(clock_)),
      modelPath_(modelPath),
      callback_(callback) {
  // The base built the empty network on a qornNodeHolder and every list starts empty:
  // no init() here (a virtual call from a constructor would be the base's anyway).
  random_.seedWithTime();
  // The normalisers are needed only for link inference: a missing file is reported (error
  // 2) when an import needs them, not at every start.
  const std::string normf = normaliserFilePath();
  if (::access(normf.c_str(), F_OK) == 0) loadNormaliserTable(normf);
}

// The nodes go while the lists that point at them still exist (the base's destructor
// would drop them only after the lists are gone).
qornManager::~qornManager() { PlexEngine::cleanup(); }

std::unique_ptr<NodeHolder> qornManager::createNodeHolder() {
  return std::make_unique<qornNodeHolder>();
}

void qornManager::clear() {
  // init() replaces the taboo list (keeping its durations).
  history_.clear();
  kalvorets_.clear();
  palette_.clear();
  PlexEngine::clear();
  init();
}

void qornManager::init() {
  // The configured taboo durations are settings of the user: a new network keeps them.
  auto fresh = std::make_unique<TabooList>(clock_);
  fresh->setDurations(taboo_->songTime(), taboo_->listTime());
  taboo_ = std::move(fresh);
  history_.clear();
  kalvorets_.clear();
  palette_.clear();
  // The play queue and the saved taboo lists point at nodes of the old network.
  playQueue_.clear();
  savedTaboo_.clear();
  PlexEngine::init();
}

int qornManager::setNodeField(int32_t id, const std::string& field, const std::string& value) {
  if (field == "tempo") {
    SongNode* song = nullptr;
    if (Node* node = findNode(id)) song = node->asSong();
    if (!song) return 0;
    song->tempo = qornstring(value).toInt();
    return 1;
  }
  return PlexEngine::setNodeField(id, field, value);
}

void qornManager::prepareSave() {
  for (const auto& entry : nodes().byId()) {
    const int32_t id = entry.first;
    SongListNode* list = entry.second->asSongList();
    if (!list) continue;
    // Linked songs in ascending id order (the adjacency's order).
    links().forEachLink(id, [&](Asc* link) {
      SongNode* song = (link->from->id == id ? link->to : link->from)->asSong();
      if (!song) return;
      // A playlist is not the song's album; only albums give the album id.
      if (list->listType != kPlayList) song->albumId = id;
      if (std::find(list->tracks.begin(), list->tracks.end(), song->id) == list->tracks.end())
        list->setTrack(0, song->id);
    });
  }
  keywords().prepare();
}

std::string qornManager::keywordsOf(const Node* node) const {
  return hasNetwork() && node ? keywords().keywordsOf(node) : std::string();
}

void qornManager::appendKeywords(const Node* node, std::string& out) const {
  if (hasNetwork() && node) keywords().appendKeywords(node, out);
}

void qornManager::forgetNode(Node* node) {
  eraseAll(kalvorets_, node);
  eraseAll(palette_, node);
  eraseAll(playQueue_, node);
  history_.forget(node);
  taboo_->remove(node);
  for (auto& saved : savedTaboo_) saved->remove(node);
}

int qornManager::removeNodeFromNet(Node* node) {
  if (!node || findNode(node->id) != node) return 0;
  const int32_t id = node->id;
  forgetNode(node);
  const std::vector<Node*> former = links().neighbours(id, 0, true);
  for (Node* n : former) links().remove(id, n->id);

  // The song's playing time leaves its album and artists.
  if (SongNode* song = node->asSong(); song && song->duration > 0) {
    Node* album = getAlbum(nodes(), song);
    for (Node* n : former) {
      if (n->getType() == kSong) continue;
      if (n->duration >= 0) n->duration -= song->duration;
      if (n == album) album = nullptr;  // subtracted once only
    }
    if (album && album->duration >= 0) album->duration -= song->duration;
  }

  // Reconnect the former song neighbours in a ring, leaving out songs already linked to
  // one taken before them.
  std::vector<Node*> taken, kept;
  for (Node* n : former) {
    if (n->getType() != kSong) continue;
    bool linked = false;
    for (Node* t : taken) linked = linked || links().find(n->id, t->id) != nullptr;
    taken.push_back(n);
    if (!linked) kept.push_back(n);
  }
  for (std::size_t i = 0; i + 1 < kept.size(); ++i)
    links().create(kept[i]->id, kept[i + 1]->id, qornfloat(kNewLinkStrength));
  if (kept.size() > 2)
    links().create(kept.back()->id, kept.front()->id, qornfloat(kNewLinkStrength));

  return dropNode(node);
}

// ---- Play events -------------------------------------------------------------------------

int qornManager::onPlay(Node* node, bool) {
  SongNode* song = node ? node->asSong() : nullptr;
  if (!song) return -1;
  taboo_->add(0, song);
  song->lastplayed = qorndate(clock_.now());
  return 1;
}

int qornManager::onStop(Node* node, float, bool addToHistory) {
  SongNode* song = node ? node->asSong() : nullptr;
  if (!song) return 0;
  if (addToHistory) history_.append(song, false);
  return 1;
}

int qornManager::onAbortedSong(Node* node, float, bool addToHistory) {
  SongNode* song = node ? node->asSong() : nullptr;
  if (!song) return 0;
  taboo_->add(0, song);
  if (addToHistory) history_.append(song, false);
  QORN_LOG(Debug, kSource, "restricted auto learning: ignored abort song");
  return 1;
}

int qornManager::onSongEndReached(Node* node, bool autoSelected) {
  SongNode* song = node ? node->asSong() : nullptr;
  if (!song) return 0;
  taboo_->add(0, song);
  ++song->playcount;
  if (autoSelected) QORN_LOG(Debug, kSource, "skipped learning for auto selected track");
  learnOnSongEnd(song, !autoSelected);
  return 1;
}

// ---- Taboo -------------------------------------------------------------------------------

void qornManager::setTaboo(Node* node, bool taboo) {
  if (!node) return;
  if (!taboo) {
    taboo_->remove(node);
    return;
  }
  int32_t extra = node->duration;
  if (node->getType() != kSong && node->duration == 0) {
    if (node->asArtist()) extra = 240 * static_cast<int32_t>(links().degree(node->id));
    if (const SongListNode* list = node->asSongList())
      extra = 240 * static_cast<int32_t>(list->tracks.size());
  }
  taboo_->add(extra, node);
}

void qornManager::setLocalTabooList(bool keep) {
  savedTaboo_.push_back(std::make_unique<TabooList>(*taboo_));
  if (!keep) taboo_ = std::make_unique<TabooList>(clock_);
}

void qornManager::resetLocalTabooList() {
  if (savedTaboo_.empty()) return;
  taboo_ = std::move(savedTaboo_.front());
  savedTaboo_.pop_front();
}

// ---- Lists -------------------------------------------------------------------------------

int qornManager::getListLength(int list) {
  switch (list) {
    case 0:
      return static_cast<int>(getHotlist().size());
    case 1:
      return static_cast<int>(palette_.size());
    case 2:
      return static_cast<int>(history_.entries().size());
    default:
      return 0;
  }
}

Node* qornManager::getNodeFromList(int list, int index) {
  auto at = [index](const std::vector<Node*>& v) -> Node* {
    return index >= 0 && static_cast<std::size_t>(index) < v.size() ? v[index] : nullptr;
  };
  switch (list) {
    case 0:
      return at(getHotlist());
    case 1:
      return at(palette_);
    case 2:
      return at(history_.entries());
    default:
      return nullptr;
  }
}

void qornManager::syncPlayQueue(const std::vector<Node*>& nodes) {
  std::vector<Node*> queue;
  for (Node* given : nodes) {
    if (!given) continue;
    Node* node = findNode(given->id);
    if (!node || !node->asSong()) {
      QORN_LOG(Warn, kSource, "null ptr in setPlaybackqueue !");
      continue;
    }
    queue.push_back(node);
  }
  playQueue_ = std::move(queue);
}

int qornManager::addToPlayQueue(int32_t id) {
  Node* node = findNode(id);
  if (!node || !node->asSong()) {
    QORN_LOG(Warn, kSource, "attempt to add unknown id to playqueue: " + std::to_string(id));
    return 0;
  }
  playQueue_.push_back(node);
  return static_cast<int>(playQueue_.size());
}

int qornManager::removeEntriesFromHistory(int* positions, int count) {
  return history_.removePositions(positions, count) ? 1 : 0;
}

Node* qornManager::createPlayList(const std::string& name, const std::vector<Node*>& songs) {
  auto* list = new SongListNode();
  list->name = name;
  list->listType = kPlayList;
  list->activation = qornfloat(0.5f);
  if (!addNode(list)) {
    list->release();
    return nullptr;
  }
  for (std::size_t i = 0; i < songs.size(); ++i) {
    Node* song = songs[i];
    if (!song) {
      QORN_LOG(Error, kSource, "null pointer in createPlayList");
      continue;
    }
    if (!song->asSong()) {
      QORN_LOG(Error, kSource, "non song pointer in createPlayList");
      continue;
    }
    list->setTrack(static_cast<int>(i) + 1, song->id);
    links().create(song->id, list->id, qornfloat(0.2f));
  }
  list->trackCount = static_cast<int32_t>(list->tracks.size());
  return list;
}

int qornManager::addToPalette(const std::map<std::string, std::string>& attributes) {
  auto idIt = attributes.find("id");
  const std::string idText = idIt == attributes.end() ? std::string() : idIt->second;
  const int32_t id = qornstring(idText).toInt();
  std::string type = "s";
  if (auto t = attributes.find("type"); t != attributes.end()) type = t->second.substr(0, 1);
  Node* node = findNode(id);
  if (node && type == "m") {
    kalvorets_.push_back(node);
    return 1;
  }
  if (node && type == "s") {
    palette_.push_back(node);
    return 1;
  }
  if (!type.empty())
    QORN_LOG(Error, kSource, "unknown entry id " + std::to_string(id) + " in addToPalette");
  return 0;
}

}  // namespace qorn
