// qornManager: the engine as the application sees it — the network core (PlexEngine) plus
// the manager's state: taboo list, history, play queue, palette and Kalvorets lists, media
// root, model path and progress callback. On top: play events and learning, selection,
// lists, palette and the network lifecycle, and (elsewhere) imports.
//
// Lists hold node pointers without references; every path that takes a node out of the
// network (removeNodeFromNet, clear) takes it out of every list first. Single-threaded;
// nothing here throws across its interface: failures are log lines and result codes.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "EngineClock.h"
#include "EngineRandom.h"
#include "History.h"
#include "SyncItemList.h"
#include "TabooList.h"
#include "qorncore/datatypes/qornstring.h"
#include "qorncore/engine/PlexEngine.h"

class IQornManagerCallback;
struct FESyncItem;

namespace qorn {

class FeatureManager;
struct ImportBatch;
class LinkInference;

class qornManager : public PlexEngine {
 public:
  // Learning constants.
  static constexpr int32_t kLearningWindow = 300;  // seconds between two songs
  static constexpr int kSongEndExponent = -12;
  static constexpr int kTransitionExponent = 80;
  static constexpr int32_t kPenaltyRemoval = 6;  // counters above this remove the link
  static constexpr int kPathLinks = 3;

  // basePath is prefixed to the feature store's file name ("" for the current
  // directory); modelPath is the folder of the link-inference models. Seeds the random
  // source (rand()) with the current time.
  qornManager(const std::string& basePath, const std::string& modelPath,
              IQornManagerCallback* callback);
  ~qornManager() override;

  // ---- Network lifecycle
  // Resets the taboo list, empties history and lists, clears the network and runs init.
  void clear() override;
  // Fresh lists and an empty network with a qornNodeHolder (taboo durations are kept).
  void init() override;
  std::unique_ptr<NodeHolder> createNodeHolder() override;
  int setNodeField(int32_t id, const std::string& field, const std::string& value) override;
  // Reading and writing the network file are served by the network file module.
  int loadNet(const char* path) override;
  int saveNet(const char* path) override;
  // Before a save: each song linked to a song list gets the list's id as album id and is
  // appended to its tracks when missing (lists in id order, so the last list wins); the
  // keyword index is prepared.
  void prepareSave();
  // The file the last loadNet could not read to its end, as the network file module
  // resolved it ("" after a load that succeeded or never failed): a save to that file
  // first keeps the damaged file, whose data the engine does not hold.
  std::string& damagedNetworkPath() { return damagedNetworkPath_; }
  // Takes the node out of the lists, the keyword index and the network, reconnecting its
  // former song neighbours in a ring. 0 for null, else the holder's result.
  int removeNodeFromNet(Node* node);
  std::string keywordsOf(const Node* node) const;
  void appendKeywords(const Node* node, std::string& out) const;  // keywordsOf, appended
  // The similar-songs query of a song (null for any other node): the service's query
  // address, "limit=" and "&output=" as number texts, the stored features f1..f72 when the
  // store holds the song's md5, then name, artist, album and keywords as escaped texts and
  // the md5. The text lives in the manager until the next call.
  const char* featuresetUrl(const Node* node, int limit, int mode);

  // ---- Play events and learning
  int onPlay(Node* node, bool flag);
  int onStop(Node* node, float position, bool addToHistory);
  int onAbortedSong(Node* node, float position, bool addToHistory);
  int onSongEndReached(Node* node, bool autoSelected);
  int onPrev() { return 1; }
  int learnTransition(const Node* from, const Node* to, bool good);
  // Learning with exponent e from the newer song a to the older b (see learning notes).
  int doLearning(Node* a, Node* b, int exponent, bool strong);
  int doLearningStrong(const std::vector<int32_t>& path, int exponent);

  // ---- Selection
  Node* pickNextNode(float randomness);
  int boost(const std::vector<Node*>& nodes, float amount, bool reset);
  // The excitation items of a boost: the node with amount x 0.8 x (n + 2) / 2 (n its link
  // count); for a song its album with amount x 0.1 x (m + 2) / 2 and each existing artist
  // with amount x 0.1 x (min(c + 2, 32) / 5 in whole numbers). 0 (no items) when a node
  // does not exist in the network.
  int boostItems(const std::vector<Node*>& nodes, float amount,
                 std::vector<ExcitationItem>& items) const;
  int getNeighbours(const Node* node, std::vector<Node*>& found);
  float getLinkStrength(const Node* a, const Node* b);
  int getFlatList(const std::vector<Node*>& nodes, std::vector<Node*>& flat);

  // ---- Taboo
  int getTaboo(const Node* node) { return taboo_->proportion(node); }
  void setTaboo(Node* node, bool taboo);
  int setTabooDuration(int songTime, int listTime) {
    taboo_->setDurations(songTime, listTime);
    return 0;
  }
  void setLocalTabooList(bool keep);
  void resetLocalTabooList();
  TabooList& tabooList() { return *taboo_; }
  std::size_t savedTabooLists() const { return savedTaboo_.size(); }

  // ---- Lists
  // Sets the hotlist filter (a mask of node kinds); true when it changed.
  bool setViewStyle(int filter) { return hotlistHolder().setFilter(filter, nodes()) == 1; }
  int getListLength(int list);
  Node* getNodeFromList(int list, int index);
  void syncPlayQueue(const std::vector<Node*>& nodes);
  const std::vector<Node*>& getPlayQueue() const { return playQueue_; }
  // The reader's entry: appends the song with that id; the new length, 0 for an unknown id.
  int addToPlayQueue(int32_t id);
  int removeEntriesFromHistory(int* positions, int count);
  Node* pickPrevNode(bool* committed) { return history_.pickPrev(committed); }
  History& history() { return history_; }
  Node* createPlayList(const std::string& name, const std::vector<Node*>& songs);
  int createPalette();
  // The reader's entry for a palette "listentry": attributes "id" and "type" ("m" or "s",
  // default "s"). 1 when stored.
  int addToPalette(const std::map<std::string, std::string>& attributes);
  const std::vector<Node*>& palette() const { return palette_; }
  std::vector<Node*> myKalvorets() const { return kalvorets_; }
  void setMyKalvorets(const std::vector<Node*>& nodes) { kalvorets_ = nodes; }

  // ---- Import (served by the import module)
  int importFileList(const char** files, int count, float value);
  int importFromMetaData(const std::vector<FESyncItem*>& items, float value, bool flag);
  int importITunes(const char* path, float value, bool flag);

  // ---- Link inference (served by the link-inference module)
  // How alike two songs sound, in [0, 1]; symmetric. 0 when either has no usable features.
  float similarity(const Node* a, const Node* b);
  // Song-to-song links over `songs` ("Building Network", progress codes 3 and 3, through
  // the callback). 1 on success; 0 on failure (no pairwise model: error 3) or cancel,
  // the links made so far kept.
  int inferLinksFull(const std::vector<Node*>& songs, float linkParam);
  // Links new songs to key tracks of the old ones ("Inserting Tracks" with `insert`, else
  // "Merging Network"). 1 on success; 0 on failure or cancel, having removed the new
  // nodes from the network and emptied `newNodes` where a cancel asks for it.
  int inferLinksMerge(const std::vector<Node*>& oldSongs, std::vector<Node*>& newNodes,
                      bool insert);
  // The link-inference module behind the three calls above (made on first use).
  LinkInference& linkInference();

  FeatureManager& featureStore() { return *features_; }

  const qornstring& mediaRoot() const { return mediaRoot_; }
  void setMediaRoot(const qornstring& root) { mediaRoot_ = root; }
  const std::string& modelPath() const { return modelPath_; }
  IQornManagerCallback* callback() const { return callback_; }
  // The clock of taboo and learning (the system clock unless a test fixes it).
  EngineClock& clock() { return clock_; }
  // The random source of selection and the palette (rand() unless a test injects one).
  EngineRandom& random() { return random_; }

 private:
  // ---- Import internals (qornManagerImport.cpp, qornManagerInsert.cpp)
  // Stage 1: the tag scan of the file list into `items`; 1, or -1 when cancelled.
  int scanTags(const char** files, int count, std::vector<SyncItemPtr>& items);
  // Stage 4: inserts the batch and builds its links; the inference result (1 when none
  // ran), 0 on cancel or failure with the network as before the import.
  int addNodeList(bool merge, ImportBatch& batch, float linkParam);
  // Meta links of an inserted batch, its first activations and list durations.
  void linkMetaNodes(ImportBatch& batch);
  void setImportedActivation(const std::vector<Node*>& newNodes);
  // Takes an inserted node of an import out again: its links, then the node itself.
  void withdrawImported(Node* node);

  void learnOnSongEnd(Node* song, bool learn);
  // Penalty bookkeeping of one learning step on `link`; true when the link must go.
  bool updatePenalty(Asc* link, bool positive);
  // Takes the node out of every list of the manager.
  void forgetNode(Node* node);

  std::string basePath_;
  // The feature store over basePath_ + "networks/features.mbff"; it reads its file lazily,
  // on first use, so creating it costs nothing at start-up.
  std::unique_ptr<FeatureManager> features_;
  qornstring mediaRoot_;
  EngineClock clock_;
  EngineRandom random_;
  std::unique_ptr<TabooList> taboo_;
  History history_;
  std::vector<Node*> kalvorets_;  // type "m" in the file
  std::vector<Node*> palette_;    // type "s"; list 1
  std::string modelPath_;
  IQornManagerCallback* callback_ = nullptr;
  std::vector<Node*> playQueue_;
  std::string damagedNetworkPath_;
  std::string featuresetUrl_;  // the last featuresetUrl text
  // Saved taboo lists of setLocalTabooList, oldest first (one engine per process).
  std::deque<std::unique_ptr<TabooList>> savedTaboo_;
  // Deleted where LinkInference is complete (qornManagerSVM.cpp).
  struct LinkInferenceDeleter {
    void operator()(LinkInference* module) const noexcept;
  };
  std::unique_ptr<LinkInference, LinkInferenceDeleter> inference_;
};

}  // namespace qorn
