// Accumulator: sums of qornfloat amounts keyed by pointer, for the propagation work space.
//
// Open addressing over a power-of-two table with the entries kept densely in insertion
// order. clear() keeps the storage, so a reused accumulator allocates nothing once it has
// grown to the size of the propagations it serves. Keys are never null. Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "qorncore/datatypes/qornfloat.h"

namespace qorn {

template <typename Key>
class Accumulator {
 public:
  using Entry = std::pair<Key*, qornfloat>;

  // Adds amount to the key's sum (a new key starts at 0).
  void add(Key* key, qornfloat amount) {
    qornfloat& sum = entries_[slotFor(key)].second;
    // The plain float sum inline; an undefined operand takes qornfloat's warning path.
    if (!sum.isUndefined() && !amount.isUndefined())
      sum = qornfloat(sum.value() + amount.value());
    else
      sum += amount;
  }
  // The key's sum; throws std::out_of_range for a key never added.
  qornfloat at(Key* key) const {
    const long i = indexOf(key);
    if (i < 0) throw std::out_of_range("Accumulator::at");
    return entries_[static_cast<std::size_t>(i)].second;
  }
  std::size_t count(Key* key) const { return indexOf(key) >= 0 ? 1 : 0; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // Entries in the order their keys were first added.
  typename std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  typename std::vector<Entry>::const_iterator end() const { return entries_.end(); }
  void clear() {
    // The recorded slots, not probes: a probe stops early once a slot on its chain is empty.
    for (uint32_t slot : slots_) table_[slot] = kEmpty;
    entries_.clear();
    slots_.clear();
  }

 private:
  static constexpr uint32_t kEmpty = 0xffffffffu;

  static std::size_t hash(const Key* key) {
    auto x = reinterpret_cast<std::uintptr_t>(key);
    x ^= x >> 17;
    x *= 0x9e3779b97f4a7c15ULL;
    return static_cast<std::size_t>(x ^ (x >> 29));
  }
  // Slot of the key in the table, or the empty slot where it would go.
  std::size_t probe(const Key* key) const {
    const std::size_t mask = table_.size() - 1;
    std::size_t i = hash(key) & mask;
    while (table_[i] != kEmpty && entries_[table_[i]].first != key) i = (i + 1) & mask;
    return i;
  }
  long indexOf(const Key* key) const {
    if (table_.empty()) return -1;
    const uint32_t e = table_[probe(key)];
    return e == kEmpty ? -1 : static_cast<long>(e);
  }
  std::size_t slotFor(Key* key) {
    if ((entries_.size() + 1) * 2 > table_.size()) grow();
    const std::size_t i = probe(key);
    if (table_[i] == kEmpty) {
      table_[i] = static_cast<uint32_t>(entries_.size());
      entries_.emplace_back(key, qornfloat(0.0f));
      slots_.push_back(static_cast<uint32_t>(i));
    }
    return table_[i];
  }
  void grow() {
    table_.assign(table_.empty() ? 64 : table_.size() * 2, kEmpty);
    for (std::size_t k = 0; k < entries_.size(); ++k) {
      const std::size_t i = probe(entries_[k].first);
      table_[i] = static_cast<uint32_t>(k);
      slots_[k] = static_cast<uint32_t>(i);
    }
  }

  std::vector<uint32_t> table_;
  std::vector<Entry> entries_;
  std::vector<uint32_t> slots_;  // table slot of each entry
};

}  // namespace qorn
