// The manager's link-inference calls, served by LinkInference (models, similarity, runs).
#include "LinkInference.h"
#include "qornManager.h"

namespace qorn {

void qornManager::LinkInferenceDeleter::operator()(LinkInference* module) const noexcept {
  delete module;
}

LinkInference& qornManager::linkInference() {
  if (!inference_) inference_.reset(new LinkInference(*this));
  return *inference_;
}

float qornManager::similarity(const Node* a, const Node* b) {
  return linkInference().similarity(a, b);
}

int qornManager::inferLinksFull(const std::vector<Node*>& songs, float linkParam) {
  return linkInference().inferFull(songs, linkParam);
}

int qornManager::inferLinksMerge(const std::vector<Node*>& oldSongs,
                                 std::vector<Node*>& newNodes, bool insert) {
  return linkInference().inferMerge(oldSongs, newNodes, insert);
}

}  // namespace qorn
