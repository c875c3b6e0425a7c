#include "ActivationHolder.h"

#include <algorithm>
#include <ostream>
#include <string>

#include "NodeHolder.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/engine/PlexEngine";

// Highest activation first; equal activations by ascending id.
bool higher(const Node* a, const Node* b) {
  const float x = a->activation.value();
  const float y = b->activation.value();
  if (x != y) return x > y;
  return a->id < b->id;
}

}  // namespace

void ActivationHolder::touch(Node* node) {
  if (!node || !admits(node)) return;
  candidates_.insert(node);
  dirty_ = true;
}

const std::vector<Node*>& ActivationHolder::hotlist(const NodeHolder& holder,
                                                     const Decay& decay) {
  if (dirty_) rebuild(holder, decay);
  return hotlist_;
}

void ActivationHolder::rebuild(const NodeHolder& holder, const Decay& decay) {
  if (candidates_.size() < static_cast<std::size_t>(size_)) {
    for (const auto& [id, node] : holder.byId())
      if (admits(node)) candidates_.insert(node);
  }
  std::vector<Node*> sorted(candidates_.begin(), candidates_.end());
  for (Node* node : sorted) decay(node);
  const std::size_t keep = std::min(sorted.size(), static_cast<std::size_t>(size_));
  lowest_ = nullptr;
  if (!sorted.empty()) {
    // The lowest node of the whole sorted index, found before the top is partitioned.
    lowest_ = *std::max_element(sorted.begin(), sorted.end(), higher);
    if (keep < sorted.size())
      std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(keep), sorted.end(),
                       higher);
    std::sort(sorted.begin(), sorted.begin() + static_cast<long>(keep), higher);
    for (std::size_t i = keep; i < sorted.size(); ++i) candidates_.erase(sorted[i]);
  }
  hotlist_.assign(sorted.begin(), sorted.begin() + static_cast<long>(keep));
  dirty_ = false;
}

int ActivationHolder::setFilter(int mask, const NodeHolder& holder) {
  if (mask == filter_) return 0;
  if ((mask & 7) == 0) {
    engineConsole() << "Warning illegal hotlist filter!" << mask << "\n";
    QORN_LOG(Error, kSource, "Warning illegal hotlist filter" + std::to_string(mask));
    return 0;
  }
  filter_ = mask;
  candidates_.clear();
  for (const auto& [id, node] : holder.byId())
    if (admits(node)) candidates_.insert(node);
  dirty_ = true;
  return 1;
}

void ActivationHolder::flatten() {
  if (lowest_) {
    const qornfloat low = lowest_->activation;
    for (Node* node : candidates_) node->activation = low;
  }
  dirty_ = true;
}

void ActivationHolder::clear() {
  candidates_.clear();
  hotlist_.clear();
  lowest_ = nullptr;
  dirty_ = true;
}

}  // namespace qorn
