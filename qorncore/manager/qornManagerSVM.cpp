// Link inference: placeholder until the libsvm-based module lands. It behaves as an
// engine without a pairwise model: no similarity, and every inference fails.
#include "qornManager.h"

namespace qorn {

float qornManager::similarity(const Node*, const Node*) {
  return 0.0f;
}

int qornManager::inferLinksFull(const std::vector<Node*>&, float) {
  return 0;
}

int qornManager::inferLinksMerge(const std::vector<Node*>&, std::vector<Node*>&, bool) {
  return 0;
}

}  // namespace qorn
