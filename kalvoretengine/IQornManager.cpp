// The exported engine facade: turns pointers and C strings into engine calls, owns the
// result buffers, and makes sure no exception leaves the library.
#include "IQornManager.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/qornManager.h"
#include "zarvell/paths.h"
#include "zarvell/status.h"
#include "zarvell/text.h"

namespace {

constexpr const char* kSource = "kalvoretengine/IQornManager";

// Library-wide state of the one engine per process.
char* handedOutLog = nullptr;  // the copy returned by getLogOutput
const std::vector<Node*> kEmptyQueue;

// Copies a text result into the manager's result buffer, cut at a character boundary.
const char* copyTextInto(char (&buffer)[4096], const std::string& text) {
  zarvell::copyToBuffer(text, buffer, sizeof buffer);
  return buffer;
}

// Runs body and turns any escaping exception into a log line and the fallback result.
template <typename R, typename F>
R guarded(const char* method, R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    try {
      QORN_LOG(Error, kSource, std::string(method) + " failed: " + e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      QORN_LOG(Error, kSource, std::string(method) + " failed");
    } catch (...) {
    }
  }
  return fallback;
}

template <typename F>
void guardedVoid(const char* method, F&& body) noexcept {
  guarded(method, 0, [&] {
    body();
    return 0;
  });
}

}  // namespace

IQornManager::IQornManager(bool, IQornManagerCallback* callback)
    : engine_(nullptr), callback_(callback), text_{}, returnedNodes_(nullptr),
      strings_(nullptr), stringCount_(0) {
  guardedVoid("IQornManager", [&] {
    const std::string modelPath = zarvell::programFolder() + "/networks/model";
    engine_ = new qorn::qornManager("", modelPath, callback);
    qorn::setManagerPresent(true);
    qorn::clearLogOutputText();
    qorn::configureEngineLogging("kalvoret.log");
  });
}

IQornManager::~IQornManager() {
  guardedVoid("~IQornManager", [&] {
    qorn::setManagerPresent(false);
    std::free(returnedNodes_);
    returnedNodes_ = nullptr;
    FreeStringsBuffer();
    delete engine_;
    engine_ = nullptr;
    qorn::clearLogOutputText();
    std::free(handedOutLog);
    handedOutLog = nullptr;
    qorn::shutdownEngineLogging();
  });
}

IQornManager& IQornManager::operator=(const IQornManager& other) {
  if (this != &other) {
    engine_ = other.engine_;
    callback_ = other.callback_;
    std::memcpy(text_, other.text_, sizeof text_);
    returnedNodes_ = other.returnedNodes_;
    strings_ = other.strings_;
    stringCount_ = other.stringCount_;
  }
  return *this;
}



// ---- Network and persistence -------------------------------------------------------------

int IQornManager::loadNet(const char* path) {
  return guarded("loadNet", 0, [&] { return engine_ ? engine_->loadNet(path) : 0; });
}

int IQornManager::saveNet(const char* path) {
  return guarded("saveNet", 0, [&] { return engine_ ? engine_->saveNet(path) : 0; });
}

Node* IQornManager::getFirstNode() {
  return guarded("getFirstNode", static_cast<Node*>(nullptr),
                 [&] { return engine_ ? engine_->nodes().first() : nullptr; });
}

Node* IQornManager::getNodeByPath(const char* path) {
  return guarded("getNodeByPath", static_cast<Node*>(nullptr), [&]() -> Node* {
    if (!engine_ || !path) return nullptr;
    return engine_->nodes().findByLocation(path);
  });
}

int IQornManager::removeNodeFromNet(Node* node) {
  return guarded("removeNodeFromNet", 0, [&] {
    if (!engine_ || !node) return 0;
    return engine_->removeNodeFromNet(node);
  });
}

void IQornManager::abortSyncNetworkToLibrary() {}

int IQornManager::compareNetworkToLibrary(const std::vector<FESyncItem>*, int*, int*) {
  return -1;
}

int IQornManager::syncNetworkToLibrary(const std::vector<FESyncItem>*, const float&) {
  return -1;
}

// ---- Node queries -------------------------------------------------------------------------

int IQornManager::getNodeType(const Node* node) {
  return guarded("getNodeType", -1, [&] {
    if (!node) return -1;
    const int type = node->getType();
    return (type == qorn::kSong || type == qorn::kSongList || type == qorn::kArtist) ? type : -1;
  });
}

const char* IQornManager::getNodeName(const Node* node) {
  return guarded("getNodeName", static_cast<const char*>(""),
                 [&] { return copyTextInto(text_, node ? node->name.str() : std::string()); });
}

const char* IQornManager::getMd5(const Node* node) {
  return guarded("getMd5", static_cast<const char*>(""),
                 [&] { return node ? node->md5.c_str() : ""; });
}

const char* IQornManager::getMediaPath(const Node* node) {
  return guarded("getMediaPath", static_cast<const char*>(nullptr), [&]() -> const char* {
    const qorn::SongNode* song = node ? node->asSong() : nullptr;
    if (!song || !engine_) return nullptr;
    const std::string& root = engine_->mediaRoot().str();
    if (root == ".") {
      std::string location = song->location;
      if (!location.empty() && (location.front() == '/' || location.front() == '\\'))
        location.erase(0, 1);
      return copyTextInto(text_, zarvell::programFolder() + "/" + location);
    }
    return copyTextInto(text_, root + song->location);
  });
}

int IQornManager::getNumSubNodes(const Node* node) {
  return guarded("getNumSubNodes", 0, [&] { return qorn::getNumSubNodes(node); });
}

Node* IQornManager::getSubNode(const Node* node, int index) {
  return guarded("getSubNode", static_cast<Node*>(nullptr), [&]() -> Node* {
    return engine_ ? qorn::getSubNode(engine_->nodes(), node, index) : nullptr;
  });
}

Node* IQornManager::getAlbumNode(const Node* node) {
  return guarded("getAlbumNode", static_cast<Node*>(nullptr), [&]() -> Node* {
    return engine_ ? qorn::getAlbum(engine_->nodes(), node) : nullptr;
  });
}

int IQornManager::getNumArtists(const Node* node) {
  return guarded("getNumArtists", 0, [&] { return qorn::getNumArtists(node); });
}

Node* IQornManager::getArtistNode(Node* node, int) {
  return guarded("getArtistNode", static_cast<Node*>(nullptr), [&]() -> Node* {
    return engine_ ? qorn::getFirstArtist(engine_->nodes(), node) : nullptr;
  });
}

const char* IQornManager::getArtistName(Node* node) {
  return guarded("getArtistName", static_cast<const char*>(""), [&]() -> const char* {
    if (!node) return "";
    if (!engine_ || !node->asSongList()) return copyTextInto(text_, std::string());
    return copyTextInto(text_, qorn::albumArtistName(engine_->nodes(), node));
  });
}

const char* IQornManager::getKeywords(const Node* node) {
  return guarded("getKeywords", static_cast<const char*>(""), [&]() -> const char* {
    return copyTextInto(text_, engine_ && node ? engine_->keywordsOf(node) : std::string());
  });
}

int IQornManager::getDuration(const Node* node) {
  return guarded("getDuration", -1, [&] { return node ? node->getDuration() : -1; });
}

void IQornManager::setDuration(Node* node, int seconds) {
  guardedVoid("setDuration", [&] {
    if (node) node->setDuration(seconds);
  });
}

double IQornManager::getActivation(Node* node) {
  return guarded("getActivation", 0.0, [&] {
    return engine_ && node ? static_cast<double>(engine_->decayNode(node).value()) : 0.0;
  });
}

bool IQornManager::isBlocked(Node* node) {
  return guarded("isBlocked", false, [&] { return node ? !node->apb : false; });
}

void IQornManager::setBlocked(Node* node, bool blocked) {
  guardedVoid("setBlocked", [&] {
    if (node) node->apb = !blocked;
  });
}

int IQornManager::addNodeRef(Node* node) {
  return guarded("addNodeRef", -1, [&] { return node ? node->addRef() : -1; });
}

int IQornManager::releaseNode(Node* node) {
  return guarded("releaseNode", -1, [&] { return node ? node->release() : -1; });
}

const char* IQornManager::getNodeFeaturesetUrl(const Node* node, int limit, int mode) {
  return guarded("getNodeFeaturesetUrl", static_cast<const char*>(nullptr),
                 [&]() -> const char* {
                   return engine_ && node ? engine_->featuresetUrl(node, limit, mode) : nullptr;
                 });
}

// ---- Play events, selection and learning ------------------------------------------------

int IQornManager::onPlay(Node* node, bool flag) {
  return guarded("onPlay", -1, [&] { return engine_ && node ? engine_->onPlay(node, flag) : -1; });
}

int IQornManager::onStop(Node* node, float position, bool flag) {
  return guarded("onStop", 0,
                 [&] { return engine_ && node ? engine_->onStop(node, position, flag) : 0; });
}

int IQornManager::onAbortedSong(Node* node, float position, bool flag) {
  return guarded("onAbortedSong", 0, [&] {
    return engine_ && node ? engine_->onAbortedSong(node, position, flag) : 0;
  });
}

int IQornManager::onSongEndReached(Node* node, bool flag) {
  return guarded("onSongEndReached", 0,
                 [&] { return engine_ && node ? engine_->onSongEndReached(node, flag) : 0; });
}

int IQornManager::onPrev() {
  return guarded("onPrev", 0, [&] { return engine_ ? engine_->onPrev() : 0; });
}

int IQornManager::learnTransition(const Node* from, const Node* to, bool good) {
  return guarded("learnTransition", 0,
                 [&] { return engine_ ? engine_->learnTransition(from, to, good) : 0; });
}

void IQornManager::freezeLinks(bool frozen) {
  guardedVoid("freezeLinks", [&] {
    if (engine_) engine_->freezeLinks(frozen);
  });
}

Node* IQornManager::pickNextNode(const float& randomness) {
  return guarded("pickNextNode", static_cast<Node*>(nullptr),
                 [&] { return engine_ ? engine_->pickNextNode(randomness) : nullptr; });
}

Node* IQornManager::pickPrevNode(bool* committed) {
  return guarded("pickPrevNode", static_cast<Node*>(nullptr),
                 [&] { return engine_ ? engine_->pickPrevNode(committed) : nullptr; });
}

int IQornManager::boost(const std::vector<Node*>* nodes, const float& amount, bool reset) {
  return guarded("boost", ZARVELL_E_FAIL, [&] {
    if (!nodes || !engine_) return ZARVELL_E_FAIL;
    return engine_->boost(*nodes, amount, reset);
  });
}

int IQornManager::activateKeywords(const char* text, int* count, Node*** nodes) {
  return guarded("activateKeywords", 0, [&] {
    if (!engine_) return 0;
    std::vector<Node*> found;
    const int result = engine_->activateKeywords(text ? text : "", found);
    fillReturnNodes(&found, nodes, count);
    return result;
  });
}

int IQornManager::getNeighbours(const Node* node, Node*** nodes, int* count) {
  return guarded("getNeighbours", 0, [&] {
    if (!engine_ || !node) return 0;
    std::vector<Node*> found;
    const int result = engine_->getNeighbours(node, found);
    fillReturnNodes(&found, nodes, count);
    return result;
  });
}

float IQornManager::getLinkStrength(const Node* a, const Node* b) {
  return guarded("getLinkStrength", -1.0f, [&] {
    if (!engine_ || !a || !b) return -1.0f;
    return engine_->getLinkStrength(a, b);
  });
}

int IQornManager::getFlatList(const std::vector<Node*>* nodes, Node*** out, int* count) {
  return guarded("getFlatList", 0, [&] {
    if (!engine_ || !nodes) return 0;
    std::vector<Node*> flat;
    const int result = engine_->getFlatList(*nodes, flat);
    fillReturnNodes(&flat, out, count);
    return result;
  });
}

void IQornManager::setPropagateToMeta(bool propagate) {
  guardedVoid("setPropagateToMeta", [&] {
    if (engine_) engine_->setPropagateToMeta(propagate);
  });
}

bool IQornManager::getPropagateToMeta() {
  return guarded("getPropagateToMeta", true,
                 [&] { return engine_ ? engine_->getPropagateToMeta() : true; });
}

// ---- Taboo, lists, palette and settings -------------------------------------------------

int IQornManager::getTaboo(const Node* node) {
  return guarded("getTaboo", 0, [&] { return engine_ && node ? engine_->getTaboo(node) : 0; });
}

void IQornManager::setTaboo(Node* node, bool taboo) {
  guardedVoid("setTaboo", [&] {
    if (engine_ && node) engine_->setTaboo(node, taboo);
  });
}

int IQornManager::setTabooDuration(int kind, int seconds) {
  return guarded("setTabooDuration", 0,
                 [&] { return engine_ ? engine_->setTabooDuration(kind, seconds) : 0; });
}

void IQornManager::setLocalTabooList(bool local) {
  guardedVoid("setLocalTabooList", [&] {
    if (engine_) engine_->setLocalTabooList(local);
  });
}

void IQornManager::resetLocalTabooList() {
  guardedVoid("resetLocalTabooList", [&] {
    if (engine_) engine_->resetLocalTabooList();
  });
}

int IQornManager::setViewStyle(int style, bool* changed) {
  return guarded("setViewStyle", 0, [&] {
    const bool didChange = engine_ ? engine_->setViewStyle(style & 7) : false;
    if (changed) *changed = didChange;
    return 0;
  });
}

int IQornManager::getListLength(int list) {
  return guarded("getListLength", 0, [&] { return engine_ ? engine_->getListLength(list) : 0; });
}

Node* IQornManager::getNodeFromList(int list, int index) {
  return guarded("getNodeFromList", static_cast<Node*>(nullptr),
                 [&] { return engine_ ? engine_->getNodeFromList(list, index) : nullptr; });
}

void IQornManager::syncPlayQueue(const std::vector<Node*>& nodes) {
  guardedVoid("syncPlayQueue", [&] {
    if (engine_) engine_->syncPlayQueue(nodes);
  });
}

const std::vector<Node*>& IQornManager::getPlayQueue() {
  return *guarded("getPlayQueue", &kEmptyQueue,
                  [&] { return engine_ ? &engine_->getPlayQueue() : &kEmptyQueue; });
}

int IQornManager::removeEntriesFromHistory(int* positions, int count) {
  return guarded("removeEntriesFromHistory", 0, [&] {
    return engine_ ? engine_->removeEntriesFromHistory(positions, count) : 0;
  });
}

Node* IQornManager::createPlayList(const std::string& name, const std::vector<Node*>& songs) {
  return guarded("createPlayList", static_cast<Node*>(nullptr),
                 [&] { return engine_ ? engine_->createPlayList(name, songs) : nullptr; });
}

int IQornManager::createPalette() {
  return guarded("createPalette", 0, [&] {
    if (engine_) engine_->createPalette();
    return 0;
  });
}

int IQornManager::getMyKalvorets(Node*** nodes, int* count) {
  return guarded("getMyKalvorets", 0, [&] {
    if (!engine_) return 0;
    std::vector<Node*> list = engine_->myKalvorets();
    fillReturnNodes(&list, nodes, count);
    return 0;
  });
}

int IQornManager::setMyKalvorets(std::vector<Node*>* nodes) {
  return guarded("setMyKalvorets", 0, [&] {
    if (engine_ && nodes) engine_->setMyKalvorets(*nodes);
    return 0;
  });
}

// ---- Import -------------------------------------------------------------------------------

int IQornManager::importFileList(const char** files, int count, const float& value) {
  return guarded("importFileList", 0,
                 [&] { return engine_ ? engine_->importFileList(files, count, value) : 0; });
}

int IQornManager::importFromMetaData(const std::vector<FESyncItem*>& items, const float& value,
                                     bool flag) {
  return guarded("importFromMetaData", 0,
                 [&] { return engine_ ? engine_->importFromMetaData(items, value, flag) : 0; });
}

int IQornManager::importITunes(const char* path, const float& value, bool flag) {
  return guarded("importITunes", 0,
                 [&] { return engine_ ? engine_->importITunes(path, value, flag) : 0; });
}

// ---- Community functions (not served by this engine) -----------------------------------

int IQornManager::loginUser(const char*, const char*) { return ZARVELL_E_FAIL; }

int IQornManager::checkUserExists(const char*, bool*) { return ZARVELL_E_FAIL; }

int IQornManager::createUser(const char*, const char*, const char*) { return ZARVELL_E_FAIL; }

int IQornManager::getSimilarUsers(const char*, char*** names, int* count) {
  if (names) *names = nullptr;
  if (count) *count = 0;
  return ZARVELL_E_FAIL;
}

int IQornManager::remoteCrossActivation(const char*, Node**, int, Node*** out, int* outCount) {
  if (out) *out = nullptr;
  if (outCount) *outCount = 0;
  return ZARVELL_E_FAIL;
}

int IQornManager::changePort(int) { return ZARVELL_E_FAIL; }

int IQornManager::uploadFeatures(const Node*) { return ZARVELL_E_FAIL; }

// ---- Log output ---------------------------------------------------------------------------

bool IQornManager::onAddToLogOutput(const char* text) {
  return guarded("onAddToLogOutput", false, [&] {
    qorn::appendLogOutput(text ? text : "");
    return true;
  });
}

const char* IQornManager::getLogOutput() {
  return guarded("getLogOutput", static_cast<const char*>(nullptr), [&]() -> const char* {
    // The new copy is made before the old one is freed, so that two calls never hand out
    // the same address (a caller holding the old pointer must see it change).
    const std::string& text = qorn::logOutputText();
    char* copy = nullptr;
    if (!text.empty()) {
      copy = static_cast<char*>(std::malloc(text.size() + 1));
      if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    std::free(handedOutLog);
    handedOutLog = copy;
    return handedOutLog;
  });
}

void IQornManager::clearLogOutput() {
  guardedVoid("clearLogOutput", [] { qorn::clearLogOutputText(); });
}

// ---- Result buffers -----------------------------------------------------------------------

void IQornManager::fillReturnNodes(std::vector<Node*>* nodes, Node*** out, int* count) {
  guardedVoid("fillReturnNodes", [&] {
    if (!out || !count) return;
    std::free(returnedNodes_);
    returnedNodes_ = nullptr;
    std::size_t copied = 0;
    if (nodes && !nodes->empty()) {
      returnedNodes_ = static_cast<Node**>(std::malloc(nodes->size() * sizeof(Node*)));
      if (!returnedNodes_) throw std::bad_alloc();
      for (Node* node : *nodes)
        if (node) returnedNodes_[copied++] = node;
      if (copied == 0) {
        std::free(returnedNodes_);
        returnedNodes_ = nullptr;
      }
    }
    *out = returnedNodes_;
    *count = static_cast<int>(copied);
  });
}

void IQornManager::FreeStringsBuffer() {
  for (int i = 0; i < stringCount_; ++i) std::free(strings_[i]);
  std::free(strings_);
  strings_ = nullptr;
  stringCount_ = 0;
}
