#include "History.h"

#include <algorithm>
#include <set>

namespace qorn {

void History::append(Node* song, bool completed) {
  if (!song) return;
  if (!previous_.empty() && previous_.back() == song) {
    previous_.pop_back();
    completed = true;
  }
  if (completed && !entries_.empty() && entries_.size() > committed_) entries_.resize(committed_);
  if (entries_.empty() || entries_.back() != song) entries_.push_back(song);
  if (completed) committed_ = entries_.size();
}

Node* History::pickPrev(bool* committed) {
  if (!committed || entries_.empty()) return nullptr;
  const bool wasCommitted = entries_.size() <= committed_;
  *committed = wasCommitted;
  Node* song = entries_.back();
  entries_.pop_back();
  if (wasCommitted) previous_.push_back(song);
  if (committed_ > entries_.size()) committed_ = entries_.size();
  return song;
}

bool History::removePositions(const int* positions, int count) {
  if (!positions) {
    clear();
    return true;
  }
  std::set<std::size_t> doomed;
  for (int i = 0; i < count; ++i)
    if (positions[i] >= 0 && static_cast<std::size_t>(positions[i]) < entries_.size())
      doomed.insert(static_cast<std::size_t>(positions[i]));
  if (doomed.empty()) return false;
  std::size_t below = 0;
  for (std::size_t p : doomed)
    if (p < committed_) ++below;
  std::vector<Node*> kept;
  kept.reserve(entries_.size() - doomed.size());
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (!doomed.count(i)) kept.push_back(entries_[i]);
  entries_ = std::move(kept);
  committed_ -= below;
  return true;
}

void History::forget(const Node* node) {
  std::vector<int> positions;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i] == node) positions.push_back(static_cast<int>(i));
  if (!positions.empty()) removePositions(positions.data(), static_cast<int>(positions.size()));
  previous_.erase(std::remove(previous_.begin(), previous_.end(), node), previous_.end());
}

void History::clear() {
  entries_.clear();
  committed_ = 0;
  previous_.clear();
}

}  // namespace qorn
