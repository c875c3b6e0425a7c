// qornManager: the engine as the application sees it — the network core plus the
// manager's state (media root, model path, progress callback) and, built on top, play
// events, selection, learning, lists and imports. Single-threaded; nothing here throws
// across its interface: failures are log lines and result codes.
#pragma once

#include <string>
#include <vector>

#include "qorncore/datatypes/qornstring.h"
#include "qorncore/engine/PlexEngine.h"

class IQornManagerCallback;
struct FESyncItem;

namespace qorn {

class qornManager : public PlexEngine {
 public:
  // basePath is prefixed to the feature store's file name ("" for the current
  // directory); modelPath is the folder of the link-inference models. Seeds rand().
  qornManager(const std::string& basePath, const std::string& modelPath,
              IQornManagerCallback* callback);
  ~qornManager() override;

  std::unique_ptr<NodeHolder> createNodeHolder() override;
  int loadNet(const char* path) override;
  int saveNet(const char* path) override;

  // ---- Served through the facade; each returns its documented empty value until the
  // behaviour behind it is built.
  int removeNodeFromNet(Node* node);
  std::string keywordsOf(const Node* node) const;
  const char* featuresetUrl(const Node* node, int limit, int mode);

  int onPlay(Node* node, bool flag);
  int onStop(Node* node, float position, bool flag);
  int onAbortedSong(Node* node, float position, bool flag);
  int onSongEndReached(Node* node, bool flag);
  int onPrev();
  int learnTransition(const Node* from, const Node* to, bool good);
  void freezeLinks(bool frozen);
  Node* pickNextNode(float randomness);
  Node* pickPrevNode(bool* committed);
  int boost(const std::vector<Node*>& nodes, float amount, bool reset);
  int activateKeywords(const std::string& text, std::vector<Node*>& found);
  int getNeighbours(const Node* node, std::vector<Node*>& found);
  float getLinkStrength(const Node* a, const Node* b);
  int getFlatList(const std::vector<Node*>& nodes, std::vector<Node*>& flat);
  void setPropagateToMeta(bool propagate) { propagateToMeta_ = propagate; }
  bool getPropagateToMeta() const { return propagateToMeta_; }

  int getTaboo(const Node* node);
  void setTaboo(Node* node, bool taboo);
  int setTabooDuration(int kind, int seconds);
  void setLocalTabooList(bool local);
  void resetLocalTabooList();
  // Sets the hotlist filter (a mask of node kinds); true when it changed.
  bool setViewStyle(int filter);
  int getListLength(int list);
  Node* getNodeFromList(int list, int index);
  void syncPlayQueue(const std::vector<Node*>& nodes);
  const std::vector<Node*>& getPlayQueue() const { return playQueue_; }
  int removeEntriesFromHistory(int* positions, int count);
  Node* createPlayList(const std::string& name, const std::vector<Node*>& songs);
  int createPalette();
  std::vector<Node*> myKalvorets() const { return kalvorets_; }
  void setMyKalvorets(const std::vector<Node*>& nodes) { kalvorets_ = nodes; }

  int importFileList(const char** files, int count, float value);
  int importFromMetaData(const std::vector<FESyncItem*>& items, float value, bool flag);
  int importITunes(const char* path, float value, bool flag);

  const qornstring& mediaRoot() const { return mediaRoot_; }
  void setMediaRoot(const qornstring& root) { mediaRoot_ = root; }
  const std::string& modelPath() const { return modelPath_; }
  IQornManagerCallback* callback() const { return callback_; }

 private:
  std::string basePath_;
  qornstring mediaRoot_;
  std::string modelPath_;
  IQornManagerCallback* callback_ = nullptr;
  bool propagateToMeta_ = true;
  std::vector<Node*> playQueue_;
  std::vector<Node*> kalvorets_;
};

}  // namespace qorn
