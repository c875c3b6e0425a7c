// IdTable: a map from node id to a list (a vector-like value), built for the ids a network
// really has.
//
// Node ids are small and close together (the engine hands out the next free number), so
// most live in a plain array indexed by id: a lookup is one index, and a walk in id order
// is a walk through memory. Ids far from the rest (negative, or beyond twice the number of
// entries plus a margin) go to a hash map, so a stray huge id costs one entry, not an
// array reaching up to it. Every sparse id is negative or at least the array's size;
// growing the array moves the sparse entries it now covers into it.
//
// A list that is empty counts as absent: find() gives null for it and the walks skip it.
// List must be a contiguous container (data(), empty()).
// Single-threaded; nothing here throws except std::bad_alloc.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qorn {

template <typename List>
class IdTable {
 public:
  // The list of `id`, or null when it has none (or an empty one).
  List* find(int32_t id) {
    List* list = slot(id);
    return list && !list->empty() ? list : nullptr;
  }
  const List* find(int32_t id) const { return const_cast<IdTable*>(this)->find(id); }

  // Starts fetching the array slot of `id` into the cache (a hint; nothing changes).
  void prefetch(int32_t id) const {
    if (id >= 0 && static_cast<std::size_t>(id) < dense_.size())
      __builtin_prefetch(&dense_[static_cast<std::size_t>(id)]);
  }

  // The list of `id`, made (empty) when there is none.
  List& get(int32_t id) {
    if (List* list = slot(id)) {
      if (list->empty()) ++population_;
      return *list;
    }
    if (id >= 0 && static_cast<std::size_t>(id) < denseLimit()) {
      grow(static_cast<std::size_t>(id) + 1);
      ++population_;
      return dense_[static_cast<std::size_t>(id)];
    }
    ++population_;
    return sparse_[id];
  }

  // The lists of `a` and `b`, both made when missing (the same list when a == b). Use this
  // rather than two get() calls: making the second may move the first.
  std::pair<List&, List&> getBoth(int32_t a, int32_t b) {
    get(a);
    get(b);
    return {*slot(a), *slot(b)};
  }

  // Drops the list of `id` and gives its memory back.
  void erase(int32_t id) {
    if (id >= 0 && static_cast<std::size_t>(id) < dense_.size()) {
      List& list = dense_[static_cast<std::size_t>(id)];
      if (!list.empty()) --population_;
      List().swap(list);
      return;
    }
    auto it = sparse_.find(id);
    if (it == sparse_.end()) return;
    if (!it->second.empty()) --population_;
    sparse_.erase(it);
  }

  void clear() {
    dense_.clear();
    sparse_.clear();
    population_ = 0;
  }

  // fn(id, list) for every non-empty list, in no particular order.
  template <typename F>
  void forEach(F&& fn) {
    for (std::size_t id = 0; id < dense_.size(); ++id)
      if (!dense_[id].empty()) fn(static_cast<int32_t>(id), dense_[id]);
    for (auto& [id, list] : sparse_)
      if (!list.empty()) fn(id, list);
  }

  // fn(id, list) for every non-empty list in ascending id order.
  template <typename F>
  void forEachInIdOrder(F&& fn) const {
    std::vector<int32_t> far;
    far.reserve(sparse_.size());
    for (const auto& entry : sparse_)
      if (!entry.second.empty()) far.push_back(entry.first);
    std::sort(far.begin(), far.end());
    auto next = far.begin();
    for (; next != far.end() && *next < 0; ++next) fn(*next, sparse_.find(*next)->second);
    constexpr std::size_t kAhead = 4;  // lists lie anywhere on the heap: fetch ahead
    for (std::size_t id = 0; id < dense_.size(); ++id) {
      if (id + kAhead < dense_.size()) __builtin_prefetch(dense_[id + kAhead].data());
      if (!dense_[id].empty()) fn(static_cast<int32_t>(id), dense_[id]);
    }
    for (; next != far.end(); ++next) fn(*next, sparse_.find(*next)->second);
  }

 private:
  static constexpr std::size_t kMargin = 4096;

  std::size_t denseLimit() const { return 2 * population_ + kMargin; }

  List* slot(int32_t id) {
    if (id >= 0 && static_cast<std::size_t>(id) < dense_.size())
      return &dense_[static_cast<std::size_t>(id)];
    auto it = sparse_.find(id);
    return it == sparse_.end() ? nullptr : &it->second;
  }

  // Makes the array at least `size` long (doubling) and moves the sparse lists it now
  // covers into it.
  void grow(std::size_t size) {
    const std::size_t old = dense_.size();
    if (size <= old) return;
    dense_.resize(std::max(size, std::min(2 * old, denseLimit())));
    for (auto it = sparse_.begin(); it != sparse_.end();) {
      if (it->first >= 0 && static_cast<std::size_t>(it->first) < dense_.size()) {
        dense_[static_cast<std::size_t>(it->first)] = std::move(it->second);
        it = sparse_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::vector<List> dense_;
  std::unordered_map<int32_t, List> sparse_;
  std::size_t population_ = 0;  // non-empty lists (and ones just handed out by get)
};

}  // namespace qorn
