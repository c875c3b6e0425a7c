// The import: the tag scan of a file list (stage 1), feature extraction (stage 2) and node
// building (stage 3); insertion (stage 4) is in qornManagerInsert.cpp.
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>

#include "orsank/Orsank.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/featureextractor.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/SyncItemList.h"
#include "qorncore/manager/qornManager.h"
#include "qorncore/manager/qornManagerImport.h"
#include "zarvell/module.h"
#include "zarvell/paths.h"
#include "zarvell/text.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManager";
constexpr const char* kTagModule = "Orsank";
constexpr const char* kTagEntry = "ExtractMetaData";

// One text buffer of the tag reader, always terminated, read up to `limit` bytes and cut
// at a character boundary.
struct TagText {
  char bytes[kOrsankTextBufferSize] = {};
  std::string text(std::size_t limit = kOrsankTextMaxBytes) {
    bytes[kOrsankTextBufferSize - 1] = '\0';
    const std::string_view all(bytes, ::strnlen(bytes, kOrsankTextBufferSize - 1));
    return std::string(zarvell::cutAtCharBoundary(all, limit));
  }
};

// The item of one file as the tag reader describes it.
SyncItemPtr readItem(ExtractMetaDataFn extract, const std::string& path) {
  TagText title, album, artist, genre;
  int32_t year = 0, duration = 0;
  // The result is not looked at: empty buffers mean "no value".
  extract(path.c_str(), title.bytes, album.bytes, artist.bytes, genre.bytes, &year, &duration);
  std::string name = title.text();
  if (name.empty()) name = cutFileName(path);

  SyncItemPtr item = makeSyncItem();
  // The path keeps every byte the file system gave; the texts are read as UTF-8.
  item->path = newSyncText(zarvell::pathToUtf16(path));
  item->name = newSyncText(zarvell::utf8ToUtf16(name));
  item->artist = newSyncText(zarvell::utf8ToUtf16(artist.text()));
  item->album = newSyncText(zarvell::utf8ToUtf16(album.text()));
  item->genre = newSyncText(zarvell::utf8ToUtf16(genre.text()));
  item->duration = duration;
  item->year = year;
  item->valid = 1;
  return item;
}

std::string textOf(const char16_t* text) {
  return text ? zarvell::utf16ToUtf8(text) : std::string();
}

std::string pathOf(const FESyncItem* item) {
  return item->path ? zarvell::utf16ToPath(item->path) : std::string();
}

// The features XML file beside the feature store ("networks/features.mbff" gives
// "networks/features.xml").
std::string featuresXmlPath(const std::string& storePath) {
  const std::size_t dot = storePath.rfind('.');
  const std::size_t slash = storePath.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? storePath.substr(0, dot) : storePath) + ".xml";
}

// Stage 3: builds the nodes of the items.
class NodeBuilder {
 public:
  NodeBuilder(NodeHolder& holder, bool merge, IQornManagerCallback* callback)
      : holder_(holder), merge_(merge), progress_(callback, 3, 4) {
    nextId_ = holder.largestId() + 1;
    if (nextId_ < 1) nextId_ = 1;
    firstNewId_ = nextId_;
  }

  // False when cancelled (the batch is then empty and the network as before).
  bool build(const std::vector<FESyncItem*>& items, const std::vector<std::string>& md5s,
             ImportBatch& batch) {
    const int32_t total = static_cast<int32_t>(items.size()) + 1;
    if (!progress_.report(0, total, "Creating nodes", "", "Building nodes")) return false;
    if (merge_) fillMapsFromNetwork();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const FESyncItem* item = items[i];
      std::string name = item ? textOf(item->name) : std::string();
      if (item) addItem(*item, i < md5s.size() ? md5s[i] : std::string(), name, batch);
      if (!progress_.report(static_cast<int32_t>(i) + 1, total, "Creating nodes", name,
                            "Building nodes")) {
        batch.restoreGrownLists();
        batch.releaseAll();
        return false;
      }
    }
    return true;
  }

 private:
  void fillMapsFromNetwork() {
    for (const auto& entry : holder_.byId()) {
      Node* node = entry.second;
      // A playlist that happens to carry an album's name is not that album.
      if (SongListNode* list = node->asSongList(); list && list->listType != kPlayList)
        albums_.emplace(list->name.str(), list);
      else if (node->asArtist())
        artists_.emplace(node->name.str(), node);
    }
  }

  void addItem(const FESyncItem& item, const std::string& md5, const std::string& name,
               ImportBatch& batch) {
    const std::string path = pathOf(&item);
    // A song already in the network (merging) or met earlier in this import is kept once.
    if (!seenPaths_.insert(path).second) return;
    if (merge_ && holder_.findByLocation(path)) return;

    auto* song = new SongNode(nextId_++);
    song->md5 = md5;
    song->name = name;
    song->location = path;
    song->duration = item.duration;
    song->playcount = item.playCount;
    std::string keywords = keywordText(name);
    const std::string genre = keywordText(textOf(item.genre));
    if (!genre.empty()) keywords += (keywords.empty() ? "" : ", ") + genre;
    song->pendingKeywords = keywords;

    if (const std::string album = textOf(item.album); !album.empty()) {
      SongListNode* list = albumNamed(album, batch);
      list->setTrack(0, song->id);
      if (list->id >= firstNewId()) list->trackCount = static_cast<int32_t>(list->tracks.size());
      song->albumId = list->id;
    }
    if (const std::string artist = textOf(item.artist); !artist.empty())
      song->people.addPerson(artistNamed(artist, batch)->id, "artist");
    batch.nodes.push_back(song);
  }

  SongListNode* albumNamed(const std::string& name, ImportBatch& batch) {
    auto it = albums_.find(name);
    if (it != albums_.end()) {
      SongListNode* list = it->second;
      if (list->id < firstNewId()) batch.grownLists.emplace_back(list, list->tracks.size());
      return list;
    }
    auto* list = new SongListNode(nextId_++);
    list->name = name;
    list->listType = kAlbumList;
    list->pendingKeywords = keywordText(name);
    batch.nodes.push_back(list);
    albums_.emplace(name, list);
    return list;
  }

  Node* artistNamed(const std::string& name, ImportBatch& batch) {
    auto it = artists_.find(name);
    if (it != artists_.end()) return it->second;
    auto* artist = new ArtistNode(nextId_++);
    artist->name = name;
    artist->pendingKeywords = keywordText(name);
    batch.nodes.push_back(artist);
    artists_.emplace(name, artist);
    return artist;
  }

  int32_t firstNewId() const { return firstNewId_; }

  NodeHolder& holder_;
  bool merge_;
  ImportProgress progress_;
  int32_t nextId_ = 1;
  int32_t firstNewId_ = 1;
  std::map<std::string, SongListNode*> albums_;
  std::map<std::string, Node*> artists_;
  std::set<std::string> seenPaths_;
};

}  // namespace

// ---- Stage 1: tag scan -----------------------------------------------------------------

int qornManager::importFileList(const char** files, int count, float linkParam) {
  clearLogOutputText();
  if (count < 0 || (count > 0 && !files)) return -1;
  std::vector<SyncItemPtr> items;
  if (scanTags(files, count, items) < 0) return -1;
  return importFromMetaData(syncItemPointers(items), linkParam, true);
}

int qornManager::scanTags(const char** files, int count, std::vector<SyncItemPtr>& items) {
  const zarvell::Module tags = zarvell::Module::load(kTagModule);
  const auto extract = tags.entry<ExtractMetaDataFn>(kTagEntry);
  if (!extract) {
    QORN_LOG(Error, kSource, "can't find Orsank.so");
    appendLogOutput("Can't read tags: the tag library Orsank.so is missing.");
  }
  const ImportProgress progress(callback_, 1, 4);
  const int32_t total = count + 1;
  bool cancelled = !progress.report(0, total, "Scanning meta data", "", "");
  for (int i = 0; i < count && !cancelled; ++i) {
    std::string path = files[i] ? files[i] : "";
    if (path.empty()) {
      QORN_LOG(Error, kSource, "Orsank filepath has zero lenght!");
      path = "dummy";
    }
    if (extract) {
      try {
        items.push_back(readItem(extract, path));
      } catch (const std::bad_alloc&) {
        QORN_LOG(Error, kSource, "curItem is null");
        items.clear();
        return -1;
      }
    }
    if (!progress.report(i + 1, total, "Scanning meta data", path, "")) {
      items.clear();
      cancelled = true;
    }
  }
  char found[64];
  std::snprintf(found, sizeof found, "found %d items", static_cast<int>(items.size()));
  progress.report(static_cast<int32_t>(items.size()), total, "Scanning meta data", found, "");
  return cancelled ? -1 : 1;
}

// ---- Stages 2 to 4 -----------------------------------------------------------------------

int qornManager::importFromMetaData(const std::vector<FESyncItem*>& items, float linkParam,
                                    bool merge) {
  std::vector<std::string> md5s;
  {
    FeatureExtractor extractor(features_.get(), callback_, featuresXmlPath(features_->storePath()));
    if (extractor.run(items, md5s, 2, 4) <= 0) return 0;
    // A cancel answered during the analysis ends the import here: the features computed
    // so far stay in the store, the network is untouched.
    if (extractor.cancelled()) return 0;
  }
  if (items.empty()) return 0;

  ImportBatch batch;
  NodeBuilder builder(nodes(), merge, callback_);
  if (!builder.build(items, md5s, batch)) return 0;

  const int result = addNodeList(merge, batch, linkParam);
  mediaRoot_ = qornstring("");
  return result;
}

}  // namespace qorn
