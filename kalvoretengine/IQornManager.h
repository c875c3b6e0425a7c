// IQornManager: the one exported interface of the Zarvell engine library
// (libKalvoretEngine.so). The application creates one manager at start-up, loads a
// network, drives it through these methods and deletes it at exit.
//
// This header needs only itself and sonalyx/FESyncItem.h (beside it on the include path of
// the engine library target): together they declare everything its methods use.
//
// Contract for every method:
// - Single-threaded: call from one thread at a time (the engine takes no locks).
// - No exception ever leaves a method; failures are result codes (0/1 as documented,
//   -1 for a null or missing argument, E_FAIL 0x80004005 for what this engine does not
//   serve) or null pointers.
// - Nodes belong to the engine. Keep a node pointer beyond one call only with a reference
//   (addNodeRef), and give it back with releaseNode.
// - Text results point into a buffer inside the manager, valid until the next text call.
// - Node lists are borrowed arrays, valid until the next list call; never free them.
#ifndef KALVORETENGINE_IQORNMANAGER_H
#define KALVORETENGINE_IQORNMANAGER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One library entry travelling from the import to the audio analysis (shared with Sonalyx).
#include "sonalyx/FESyncItem.h"

#define KALVORET_EXPORT __attribute__((visibility("default")))

// An engine node (song, song list or artist); opaque to the application.
class Node;

#pragma pack(push, 1)
// Progress of a long engine operation, handed to IQornManagerCallback::progress. The texts
// belong to the engine and are valid only during the call.
struct ProgressInfo {
  int32_t stage;        // 1 tag or iTunes scan, 2 feature extraction, 3 nodes and links
  int32_t stages;       // 4 for a whole import, 3 for node insertion and link inference
  int32_t current;      // current item (0 at the start of a phase)
  int32_t total;        // total items
  uint8_t flag;         // 0
  const char* caption;  // e.g. "Scanning meta data"
  const char* detail;   // e.g. "found 12 items", or ""
  const char* detail2;  // or ""
};
#pragma pack(pop)
static_assert(sizeof(ProgressInfo) == 17 + 3 * sizeof(void*), "ProgressInfo layout");
static_assert(offsetof(ProgressInfo, caption) == 17, "ProgressInfo layout");

// Receives progress of imports and link building, on the thread that called the importing
// method. Return true to go on, false to cancel the running operation.
class IQornManagerCallback {
 public:
  virtual bool progress(ProgressInfo* info) = 0;

 protected:
  ~IQornManagerCallback() = default;
};

namespace qorn {
class qornManager;
}

class KALVORET_EXPORT IQornManager {
 public:
  // The bool argument has no effect. The callback is not owned and may be null.
  IQornManager(bool unused, IQornManagerCallback* callback);
  ~IQornManager();
  // Copies the members bytewise: the copy shares the engine, and only one of the copies
  // may be destroyed.
  IQornManager& operator=(const IQornManager& other);

  // Network and persistence.
  int loadNet(const char* path);
  int saveNet(const char* path);
  Node* getFirstNode();
  Node* getNodeByPath(const char* path);
  int removeNodeFromNet(Node* node);
  void abortSyncNetworkToLibrary();
  int compareNetworkToLibrary(const std::vector<FESyncItem>* items, int* added, int* removed);
  int syncNetworkToLibrary(const std::vector<FESyncItem>* items, const float& value);

  // Node queries.
  int getNodeType(const Node* node);
  const char* getNodeName(const Node* node);
  const char* getMd5(const Node* node);
  const char* getMediaPath(const Node* node);
  int getNumSubNodes(const Node* node);
  Node* getSubNode(const Node* node, int index);
  Node* getAlbumNode(const Node* node);
  int getNumArtists(const Node* node);
  Node* getArtistNode(Node* node, int index);
  const char* getArtistName(Node* node);
  const char* getKeywords(const Node* node);
  int getDuration(const Node* node);
  void setDuration(Node* node, int seconds);
  double getActivation(Node* node);
  bool isBlocked(Node* node);
  void setBlocked(Node* node, bool blocked);
  int addNodeRef(Node* node);
  int releaseNode(Node* node);
  const char* getNodeFeaturesetUrl(const Node* node, int limit, int mode);

  // Play events, selection and learning.
  int onPlay(Node* node, bool flag);
  int onStop(Node* node, float position, bool flag);
  int onAbortedSong(Node* node, float position, bool flag);
  int onSongEndReached(Node* node, bool flag);
  int onPrev();
  int learnTransition(const Node* from, const Node* to, bool good);
  void freezeLinks(bool frozen);
  Node* pickNextNode(const float& randomness);
  Node* pickPrevNode(bool* committed);
  int boost(const std::vector<Node*>* nodes, const float& amount, bool reset);
  int activateKeywords(const char* text, int* count, Node*** nodes);
  int getNeighbours(const Node* node, Node*** nodes, int* count);
  float getLinkStrength(const Node* a, const Node* b);
  int getFlatList(const std::vector<Node*>* nodes, Node*** out, int* count);
  void setPropagateToMeta(bool propagate);
  bool getPropagateToMeta();

  // Taboo, lists, palette and settings.
  int getTaboo(const Node* node);
  void setTaboo(Node* node, bool taboo);
  int setTabooDuration(int kind, int seconds);
  void setLocalTabooList(bool local);
  void resetLocalTabooList();
  int setViewStyle(int style, bool* changed);
  int getListLength(int list);
  Node* getNodeFromList(int list, int index);
  void syncPlayQueue(const std::vector<Node*>& nodes);
  const std::vector<Node*>& getPlayQueue();
  int removeEntriesFromHistory(int* positions, int count);
  Node* createPlayList(const std::string& name, const std::vector<Node*>& songs);
  int createPalette();
  int getMyKalvorets(Node*** nodes, int* count);
  int setMyKalvorets(std::vector<Node*>* nodes);

  // Import.
  int importFileList(const char** files, int count, const float& value);
  int importFromMetaData(const std::vector<FESyncItem*>& items, const float& value, bool flag);
  int importITunes(const char* path, const float& value, bool flag);

  // Community functions this engine does not serve: each returns E_FAIL (0x80004005) and
  // clears its out-parameters.
  int loginUser(const char* user, const char* password);
  int checkUserExists(const char* user, bool* exists);
  int createUser(const char* user, const char* password, const char* email);
  int getSimilarUsers(const char* user, char*** names, int* count);
  int remoteCrossActivation(const char* user, Node** nodes, int count, Node*** out,
                            int* outCount);
  int changePort(int port);
  int uploadFeatures(const Node* node);

  // Log output: the text lines the engine collected for the user (errors of an import).
  bool onAddToLogOutput(const char* text);
  // A copy of the whole log output, valid until the next call or destruction; null when
  // there is no log text.
  const char* getLogOutput();
  void clearLogOutput();

 protected:
  // Copies the non-null pointers of the vector into a new returned-nodes array (null and
  // 0 when none); does nothing when either out-pointer is null.
  void fillReturnNodes(std::vector<Node*>* nodes, Node*** out, int* count);
  void FreeStringsBuffer();

 private:
  friend struct IQornManagerAccess;  // engine tools (the console) reach the engine through it

  qorn::qornManager* engine_;
  IQornManagerCallback* callback_;
  char text_[4096];
  Node** returnedNodes_;
  char** strings_;
  int stringCount_;
};

#endif
