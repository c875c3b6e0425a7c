// NodesById: the nodes of a network by id (ids above 0), walked in ascending id order.
//
// Ids are handed out one after another, so nearly all of them live in an array indexed by
// id: a lookup is one index and the whole-network walks (saving, hot list, palette) run
// through memory in order instead of chasing tree nodes. Ids far beyond the rest (above
// twice the number of nodes plus a margin) go to an ordered map, so one huge id costs one
// map entry. Every id in the map is at least the array's size; growing the array moves
// the entries it now covers into it.
//
// Iterators yield std::pair<int32_t, Node*> by value; any insertion or erasure invalidates
// them. Single-threaded; nothing here throws except std::bad_alloc.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

class Node;

namespace qorn {

class NodesById {
 public:
  using value_type = std::pair<int32_t, Node*>;

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = NodesById::value_type;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = value_type;

    const_iterator() = default;
    value_type operator*() const {
      if (index_ < owner_->dense_.size())
        return {static_cast<int32_t>(index_), owner_->dense_[index_]};
      return {far_->first, far_->second};
    }
    const_iterator& operator++() {
      if (index_ < owner_->dense_.size())
        index_ = owner_->nextUsed(index_ + 1);
      else
        ++far_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator was = *this;
      ++*this;
      return was;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.index_ == b.index_ && a.far_ == b.far_;
    }

   private:
    friend class NodesById;
    const_iterator(const NodesById* owner, std::size_t index,
                   std::map<int32_t, Node*>::const_iterator far)
        : owner_(owner), index_(index), far_(far) {}
    const NodesById* owner_ = nullptr;
    std::size_t index_ = 0;  // in the array while below its size, else in the map
    std::map<int32_t, Node*>::const_iterator far_;
  };

  const_iterator begin() const { return {this, nextUsed(1), far_.begin()}; }
  const_iterator end() const { return {this, dense_.size(), far_.end()}; }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  Node* find(int32_t id) const {
    if (id <= 0) return nullptr;
    if (static_cast<std::size_t>(id) < dense_.size()) return dense_[static_cast<std::size_t>(id)];
    auto it = far_.find(id);
    return it == far_.end() ? nullptr : it->second;
  }

  // Enters the node under `id` (above 0) unless the id is taken. True when entered.
  bool emplace(int32_t id, Node* node) {
    if (id <= 0 || !node || find(id)) return false;
    const auto at = static_cast<std::size_t>(id);
    if (at < dense_.size() || at < denseLimit()) {
      grow(at + 1);
      dense_[at] = node;
    } else {
      far_.emplace(id, node);
    }
    ++count_;
    largest_ = std::max(largest_, id);
    return true;
  }

  // Removes the entry of `id`; the node it named, or null when there was none.
  Node* erase(int32_t id) {
    if (id <= 0) return nullptr;
    Node* node = nullptr;
    if (static_cast<std::size_t>(id) < dense_.size()) {
      node = std::exchange(dense_[static_cast<std::size_t>(id)], nullptr);
    } else if (auto it = far_.find(id); it != far_.end()) {
      node = it->second;
      far_.erase(it);
    }
    if (node) --count_;
    if (node && id == largest_) largest_ = findLargest();
    return node;
  }

  // The largest id in use, 0 when there is none. Kept up to date: the engine asks for it
  // whenever it hands out a new id.
  int32_t largestId() const { return largest_; }

 private:
  static constexpr std::size_t kMargin = 4096;

  std::size_t denseLimit() const { return 2 * count_ + kMargin; }

  int32_t findLargest() const {
    if (!far_.empty()) return far_.rbegin()->first;
    for (std::size_t id = dense_.size(); id-- > 1;)
      if (dense_[id]) return static_cast<int32_t>(id);
    return 0;
  }

  // The first used array index at or after `from`, or the array's size.
  std::size_t nextUsed(std::size_t from) const {
    while (from < dense_.size() && !dense_[from]) ++from;
    return std::min(from, dense_.size());
  }

  void grow(std::size_t size) {
    const std::size_t old = dense_.size();
    if (size <= old) return;
    dense_.resize(std::max(size, std::min(2 * old, denseLimit())), nullptr);
    while (!far_.empty() && static_cast<std::size_t>(far_.begin()->first) < dense_.size()) {
      dense_[static_cast<std::size_t>(far_.begin()->first)] = far_.begin()->second;
      far_.erase(far_.begin());
    }
  }

  std::vector<Node*> dense_;      // index 0 is never used
  std::map<int32_t, Node*> far_;  // ids at or beyond dense_.size()
  std::size_t count_ = 0;
  int32_t largest_ = 0;  // the largest id in use, 0 when none
};

}  // namespace qorn
