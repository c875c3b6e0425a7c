#include "qornManager.h"

#include <cstdlib>
#include <ctime>

#include "qornNodeHolder.h"

namespace qorn {

qornManager::qornManager(const std::string& basePath, const std::string& modelPath,
                         IQornManagerCallback* callback)
    : basePath_(basePath), modelPath_(modelPath), callback_(callback) {
  init();
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

qornManager::~qornManager() { cleanup(); }

std::unique_ptr<NodeHolder> qornManager::createNodeHolder() {
  return std::make_unique<qornNodeHolder>();
}

int qornManager::loadNet(const char*) { return 0; }

int qornManager::saveNet(const char*) { return 0; }

// ---- Not built yet: documented empty values ------------------------------------------

int qornManager::removeNodeFromNet(Node*) { return 0; }
std::string qornManager::keywordsOf(const Node*) const { return {}; }
const char* qornManager::featuresetUrl(const Node*, int, int) { return nullptr; }
int qornManager::onPlay(Node* node, bool) { return node->asSong() ? 0 : -1; }
int qornManager::onStop(Node*, float, bool) { return 0; }
int qornManager::onAbortedSong(Node*, float, bool) { return 0; }
int qornManager::onSongEndReached(Node*, bool) { return 0; }
int qornManager::onPrev() { return 0; }
int qornManager::learnTransition(const Node*, const Node*, bool) { return 0; }
void qornManager::freezeLinks(bool) {}
Node* qornManager::pickNextNode(float) { return nullptr; }
Node* qornManager::pickPrevNode(bool*) { return nullptr; }
int qornManager::boost(const std::vector<Node*>&, float, bool) { return 0; }
int qornManager::activateKeywords(const std::string&, std::vector<Node*>&) { return 0; }
int qornManager::getNeighbours(const Node*, std::vector<Node*>&) { return 0; }
float qornManager::getLinkStrength(const Node*, const Node*) { return 0.0f; }
int qornManager::getFlatList(const std::vector<Node*>&, std::vector<Node*>&) { return 0; }
int qornManager::getTaboo(const Node*) { return 0; }
void qornManager::setTaboo(Node*, bool) {}
int qornManager::setTabooDuration(int, int) { return 0; }
void qornManager::setLocalTabooList(bool) {}
void qornManager::resetLocalTabooList() {}
bool qornManager::setViewStyle(int) { return false; }
int qornManager::getListLength(int) { return 0; }
Node* qornManager::getNodeFromList(int, int) { return nullptr; }
void qornManager::syncPlayQueue(const std::vector<Node*>&) {}
int qornManager::removeEntriesFromHistory(int*, int) { return 0; }
Node* qornManager::createPlayList(const std::string&, const std::vector<Node*>&) { return nullptr; }
int qornManager::createPalette() { return 0; }
int qornManager::importFileList(const char**, int, float) { return 0; }
int qornManager::importFromMetaData(const std::vector<FESyncItem*>&, float, bool) { return 0; }
int qornManager::importITunes(const char*, float, bool) { return 0; }

}  // namespace qorn
