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
template <typename R>
bool higher(const R& a, const R& b) {
  if (a.activation != b.activation) return a.activation > b.activation;
  return a.id < b.id;
}

}  // namespace

void ActivationHolder::CandidateSet::insert(Node* node) {
  if ((nodes_.size() + 1) * 2 > table_.size()) grow();
  const std::size_t mask = table_.size() - 1;
  auto x = reinterpret_cast<std::uintptr_t>(node);
  x ^= x >> 17;
  x *= 0x9e3779b97f4a7c15ULL;
  std::size_t i = static_cast<std::size_t>(x ^ (x >> 29)) & mask;
  while (table_[i] && table_[i] != node) i = (i + 1) & mask;
  if (table_[i]) return;
  table_[i] = node;
  nodes_.push_back(node);
  slots_.push_back(static_cast<uint32_t>(i));
}

void ActivationHolder::CandidateSet::clear() {
  for (uint32_t slot : slots_) table_[slot] = nullptr;
  nodes_.clear();
  slots_.clear();
}

void ActivationHolder::CandidateSet::grow() {
  std::vector<Node*> nodes;
  nodes.swap(nodes_);
  table_.assign(table_.empty() ? 256 : table_.size() * 2, nullptr);
  slots_.clear();
  for (Node* node : nodes) insert(node);
}

void ActivationHolder::touch(Node* node) {
  if (!node || !admits(node)) return;
  candidates_.insert(node);
  dirty_ = true;
}

const std::vector<Node*>& ActivationHolder::hotlist(const NodeHolder& holder, const Decay& decay) {
  if (dirty_) rebuild(holder, decay);
  return hotlist_;
}

void ActivationHolder::rebuild(const NodeHolder& holder, const Decay& decay) {
  if (candidates_.size() < static_cast<std::size_t>(size_)) {
    for (const auto& [id, node] : holder.byId())
      if (admits(node)) candidates_.insert(node);
  }
  // Sort keys copied out of the nodes once, so the selection compares values in memory
  // order instead of reading a node per comparison.
  std::vector<Ranked>& sorted = sorted_;
  sorted.clear();
  for (Node* node : candidates_) {
    decay(node);
    sorted.push_back(Ranked{node->activation.value(), node->id, node});
  }
  const std::size_t keep = std::min(sorted.size(), static_cast<std::size_t>(size_));
  lowest_ = nullptr;
  if (!sorted.empty()) {
    // The lowest node of the whole sorted index, found before the top is partitioned.
    lowest_ = std::max_element(sorted.begin(), sorted.end(), higher<Ranked>)->node;
    if (keep < sorted.size()) {
      std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(keep), sorted.end(),
                       higher<Ranked>);
      // Every candidate beyond the top leaves the set.
      candidates_.clear();
      for (std::size_t i = 0; i < keep; ++i) candidates_.insert(sorted[i].node);
    }
    std::sort(sorted.begin(), sorted.begin() + static_cast<long>(keep), higher<Ranked>);
  }
  hotlist_.clear();
  for (std::size_t i = 0; i < keep; ++i) hotlist_.push_back(sorted[i].node);
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
