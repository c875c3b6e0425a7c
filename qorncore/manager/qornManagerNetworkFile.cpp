// The manager's network file: loadNet and saveNet, and the adapters through which the
// network reader and writer reach the manager (nodes, links, keywords, history, taboo
// list, palette, play queue, media root).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "qornManagerNetworkFile.h"

#include "qornManager.h"
#include "qornNodeHolder.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/datatypes/InputFile.h"
#include "qorncore/engine/NetworkParser.h"
#include "qorncore/engine/NetworkWriter.h"
#include "qorncore/engine/SafeFile.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/engine/Parser";

class ManagerSink : public NetworkSink {
 public:
  explicit ManagerSink(qornManager& manager) : m_(manager) {}

  bool addNode(Node* node) override {
    if (m_.addNode(node) != 1) return false;
    remember(node);
    return true;
  }
  Node* findNode(int32_t id) const override {
    if (id > 0 && static_cast<std::size_t>(id) < dense_.size()) return dense_[id].node;
    auto it = sparse_.find(id);
    return it == sparse_.end() ? nullptr : it->second;
  }
  int32_t largestId() const override { return m_.nodes().largestId(); }
  // Read right after findNode(id): the kind lies beside the pointer, in the same cache line.
  int kindOf(int32_t id) const override {
    if (id > 0 && static_cast<std::size_t>(id) < dense_.size() && dense_[id].kind != 0)
      return dense_[id].kind;
    return findNode(id)->getType();
  }
  void prefetchLinksOf(int32_t id) const override {
    if (id > 0 && static_cast<std::size_t>(id) < dense_.size()) __builtin_prefetch(&dense_[id]);
    if (!m_.links().inRun()) m_.links().prefetch(id);
  }
  // A network is read into an empty link store: its links are stored in one run.
  void beginLinks() override { m_.links().beginRun(); }
  bool addLink(const Asc& link, int32_t fromId, int32_t toId, int32_t penaltyCounter) override {
    return m_.links().append(link, fromId, toId, penaltyCounter);
  }
  void endLinks() override { m_.links().endRun(); }
  void addKeywords(int32_t id, const std::string& text) override {
    m_.setNodeField(id, "add:keywords", text);
  }
  // The file holds no tentative entries: every entry counts as played to its end.
  void appendHistory(Node& song) override { m_.history().append(&song, true); }
  // The file keeps only the expiry. A list's or artist's taboo lasted its extra length
  // plus the list time: take as extra whatever lies beyond the list time, so the entry
  // keeps its expiry instead of being cut back to the list time at its first reading.
  void addTaboo(Node& node, int32_t expiry) override {
    int64_t extra = 0;
    if (node.getType() != kSong) {
      extra = static_cast<int64_t>(expiry) - m_.clock().now() - m_.tabooList().listTime();
      extra = std::clamp<int64_t>(extra, 0, INT32_MAX);
    }
    m_.tabooList().addWithExpiry(expiry, static_cast<int32_t>(extra), &node);
  }
  void addToPalette(const std::map<std::string, std::string>& attributes) override {
    m_.addToPalette(attributes);
  }
  void addToPlayQueue(int32_t id) override { m_.addToPlayQueue(id); }
  void setMediaRoot(const std::string& root) override { m_.setMediaRoot(qornstring(root)); }

 private:
  // The reader looks up two link ends per link: a table by id (dense for the ids a saved
  // network has, a hash map for far-off ids) is much faster than the holder's tree. It
  // mirrors the holder: the load starts from an empty network, and the first node of an
  // id keeps it.
  void remember(Node* node) {
    const int32_t id = node->id;
    const std::size_t limit = 2 * (dense_.size() + sparse_.size()) + 4096;
    if (id > 0 && static_cast<std::size_t>(id) < limit) {
      if (dense_.size() <= static_cast<std::size_t>(id))
        dense_.resize(std::max<std::size_t>(static_cast<std::size_t>(id) + 1, dense_.size() * 2));
      if (!dense_[id].node && !sparse_.count(id))
        dense_[id] = Known{node, static_cast<int>(node->getType())};
    } else if (!findNode(id)) {
      sparse_.emplace(id, node);
    }
  }

  struct Known {
    Node* node = nullptr;
    int kind = 0;  // node->getType(), 0 when not known
  };
  qornManager& m_;
  std::vector<Known> dense_;
  std::unordered_map<int32_t, Node*> sparse_;
};

class ManagerSource : public NetworkSource {
 public:
  explicit ManagerSource(qornManager& manager) : m_(manager) {}

  std::string mediaRoot() const override { return m_.mediaRoot().str(); }
  const NodeHolder& nodes() const override { return m_.nodes(); }
  const AscHolder& links() const override { return m_.links(); }
  qornfloat decayNode(Node& node) override { return m_.decayNode(&node); }
  qornfloat decayLink(Asc& link) override { return m_.decayLink(link); }
  void appendKeywords(const Node& node, std::string& out) const override {
    m_.appendKeywords(&node, out);
  }
  std::vector<Node*> kalvorets() const override { return m_.myKalvorets(); }
  std::vector<Node*> palette() const override { return m_.palette(); }
  std::vector<Node*> history() const override { return m_.history().entries(); }
  void forEachTaboo(const std::function<void(int32_t, const Node&)>& fn) override {
    m_.tabooList().forEachByExpiry([&fn](int32_t expiry, const Node* node) {
      if (node) fn(expiry, *node);
    });
  }
  std::vector<Node*> playQueue() const override { return m_.getPlayQueue(); }

 private:
  qornManager& m_;
};

// Songs join the holder at their start tag, before their media element is read: index
// every node again now that its md5 and location are known. Adding a node the holder
// already holds only re-indexes it. Id order, so the lowest id wins a collision.
// Only songs with a location need it: md5 texts are known when a node is added.
void rebuildIndexes(NodeHolder& holder) {
  // Id order; nodes whose id was taken come after the rest, in id order too.
  std::vector<Node*> all = holder.allNodes();
  std::sort(all.begin() + static_cast<std::ptrdiff_t>(holder.byId().size()), all.end(), ByNodeId());
  auto* indexed = dynamic_cast<qornNodeHolder*>(&holder);
  if (indexed) {
    std::size_t located = 0;
    for (const Node* node : all)
      if (const SongNode* song = node->asSong(); song && !song->location.empty()) ++located;
    indexed->reserveLocations(located);
  }
  for (Node* node : all) {
    const SongNode* song = node->asSong();
    if (!song || song->location.empty()) continue;
    if (indexed && holder.byId().find(node->id) == node)
      indexed->refreshIndex(node);  // what adding it again does, without the churn
    else
      holder.addNode(node);
  }
}

// The path as a file identity: symbolic links and relative parts resolved, so that a save
// recognises the file a load failed on however it is named. The path itself when it does
// not resolve.
std::string resolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// Before a save over the file the last load could not read to its end: keeps that file
// under a dated name, since the engine holds only the part before the damage. False when
// it cannot be kept; the save must then not go ahead.
bool keepDamagedFile(qornManager& manager, const std::string& path) {
  std::string& damaged = manager.damagedNetworkPath();
  if (damaged.empty() || path.empty() || resolvedPath(path) != damaged) return true;
  std::string keptAs;
  const std::string error = SafeFile::keepAsDamaged(damaged, keptAs);
  if (!error.empty()) {
    const std::string text = "not saving over the damaged network file " + path + ": " + error;
    std::cerr << text << std::endl;
    QORN_LOG(Error, kSource, text);
    reportError(kErrorSaveNetwork);
    return false;
  }
  if (!keptAs.empty()) {
    const std::string text =
        "the network file " + path + " could not be read to its end; it is kept as " + keptAs;
    std::cerr << text << std::endl;
    QORN_LOG(Warn, kSource, text);
  }
  damaged.clear();  // from now on the file there is the engine's own
  return true;
}

}  // namespace

int loadNetworkFile(qornManager& manager, const char* path, std::ostream& console) {
  if (!path || !*path) {
    if (manager.nodes().size() > 0) manager.clear();
    return 0;
  }
  ManagerSink sink(manager);
  NetworkParser parser(sink, console);
  // Opened before anything is cleared: a file that cannot be read leaves the network in
  // memory as it was, so a save afterwards cannot write an empty one over a good file.
  InputFile file;
  if (!parser.open(path, file)) return 0;
  if (manager.nodes().size() > 0) manager.clear();  // a load replaces, never merges
  manager.damagedNetworkPath().clear();
  // A saved library takes about a kilobyte per song with its links: room for that many
  // md5 entries. A file of mostly links reserves more than it needs (8 bytes a kilobyte),
  // one of big songs grows the index as usual.
  if (auto* indexed = dynamic_cast<qornNodeHolder*>(&manager.nodes()))
    indexed->reserveMd5s(static_cast<std::size_t>(std::min<std::uint64_t>(file.size() / 1024, 1u << 24)));
  const int result = parser.load(file, path);
  if (result != 1) manager.damagedNetworkPath() = resolvedPath(path);
  rebuildIndexes(manager.nodes());
  return result;
}

int loadNetworkText(qornManager& manager, std::string_view text, std::ostream& console) {
  if (manager.nodes().size() > 0) manager.clear();
  ManagerSink sink(manager);
  NetworkParser parser(sink, console);
  const int result = parser.loadText(text, "network text");
  rebuildIndexes(manager.nodes());
  return result;
}

int saveNetworkFile(qornManager& manager, const char* path, std::ostream& console) {
  if (!keepDamagedFile(manager, path ? path : "")) return 0;
  manager.prepareSave();
  ManagerSource source(manager);
  return saveNetwork(source, path ? path : "", console);
}

std::string networkText(qornManager& manager, std::ostream& console) {
  manager.prepareSave();
  ManagerSource source(manager);
  return NetworkWriter::toText(source, console);
}

// The manager's own network file operations: console lines on the engine console.
int qornManager::loadNet(const char* path) {
  return loadNetworkFile(*this, path, engineConsole());
}

int qornManager::saveNet(const char* path) {
  return saveNetworkFile(*this, path, engineConsole());
}

}  // namespace qorn
