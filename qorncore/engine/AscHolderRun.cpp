// AscHolder's runs: the links of a network file stored in one pass, with each adjacency
// list built once at its exact size (see beginRun in AscHolder.h).
#include <algorithm>

#include "AscHolder.h"

namespace qorn {
namespace {

// Orders a list by the other end's id, equal ids by link number (the order of arrival).
// False when the list holds a pair twice.
bool settle(std::vector<AscHolder::Entry>& adj) {
  auto before = [](const AscHolder::Entry& a, const AscHolder::Entry& b) {
    return a.other != b.other ? a.other < b.other : a.slot < b.slot;
  };
  // A file the engine wrote gives every list in order already.
  if (std::adjacent_find(adj.begin(), adj.end(), [](const auto& a, const auto& b) {
        return a.other >= b.other;
      }) == adj.end())
    return true;
  std::sort(adj.begin(), adj.end(), before);
  return std::adjacent_find(adj.begin(), adj.end(), [](const auto& a, const auto& b) {
           return a.other == b.other;
         }) == adj.end();
}

}  // namespace

bool AscHolder::beginRun() {
  if (running_) return true;
  if (used_ != 0 || live_ != 0) return false;
  running_ = true;
  run_.clear();
  return true;
}

bool AscHolder::append(const Asc& asc, int32_t fromId, int32_t toId, int32_t penaltyCounter) {
  if (!asc.from || !asc.to || asc.from == asc.to) return false;
  if (!running_) return add(asc, fromId, toId, penaltyCounter) != nullptr;
  // Room first, so that the link number and its ends are recorded together or not at all.
  if (run_.size() == run_.capacity()) run_.reserve(std::max<std::size_t>(4096, 2 * run_.size()));
  const uint32_t slot = allocate(asc);
  run_.push_back(RunEnds{fromId, toId});
  if (penaltyCounter > 0) penalties_[slotPtr(slot)] = penaltyCounter;
  return true;
}

void AscHolder::endRun() {
  if (!running_) return;
  running_ = false;
  std::vector<RunEnds> ends;
  ends.swap(run_);
  try {
    if (!buildRun(ends)) replayRun(ends);
  } catch (...) {
    dropAll();
    throw;
  }
}

bool AscHolder::buildRun(const std::vector<RunEnds>& ends) {
  // Counts per id in a plain array for the ids of a saved network (small and close
  // together); an id beyond it (a hand-edited file) goes through the table one by one.
  int32_t largest = 0;
  for (const RunEnds& e : ends) largest = std::max({largest, e.from, e.to});
  const std::size_t limit =
      std::min(static_cast<std::size_t>(largest) + 1, 4 * ends.size() + 4096);
  auto near = [limit](int32_t id) { return id >= 0 && static_cast<std::size_t>(id) < limit; };
  std::vector<uint32_t> count(limit, 0);
  for (const RunEnds& e : ends) {
    if (near(e.from)) ++count[static_cast<std::size_t>(e.from)];
    if (near(e.to)) ++count[static_cast<std::size_t>(e.to)];
  }
  // Each list at its final size; `next` is where its next entry goes (a list's buffer
  // stays where it is when the table moves the list itself).
  std::vector<Entry*> next(limit, nullptr);
  for (std::size_t id = 0; id < limit; ++id) {
    if (count[id] == 0) continue;
    std::vector<Entry>& adj = adjacency_.get(static_cast<int32_t>(id));
    adj.resize(count[id]);
    next[id] = adj.data();
  }
  std::vector<int32_t> farIds;
  auto put = [&](int32_t id, Entry entry) {
    if (near(id)) {
      *next[static_cast<std::size_t>(id)]++ = entry;
    } else {
      adjacency_.get(id).push_back(entry);
      farIds.push_back(id);
    }
  };
  for (uint32_t slot = 0; slot < ends.size(); ++slot) {
    put(ends[slot].from, Entry{ends[slot].to, slot});
    put(ends[slot].to, Entry{ends[slot].from, slot});
  }
  bool once = true;  // no pair came twice
  for (std::size_t id = 0; id < limit; ++id)
    if (count[id] != 0) once = settle(*adjacency_.find(static_cast<int32_t>(id))) && once;
  std::sort(farIds.begin(), farIds.end());
  farIds.erase(std::unique(farIds.begin(), farIds.end()), farIds.end());
  for (int32_t id : farIds) once = settle(*adjacency_.find(id)) && once;
  return once;
}

void AscHolder::replayRun(const std::vector<RunEnds>& ends) {
  struct Replayed {
    Asc link;
    RunEnds ends;
    int32_t penalty;
  };
  std::vector<Replayed> links;
  links.reserve(ends.size());
  for (uint32_t slot = 0; slot < ends.size(); ++slot)
    links.push_back(Replayed{*slotPtr(slot), ends[slot], penalty(slotPtr(slot))});
  dropAll();
  for (const Replayed& r : links) add(r.link, r.ends.from, r.ends.to, r.penalty);
}

void AscHolder::dropAll() {
  adjacency_.clear();
  for (uint32_t slot = 0; slot < used_; ++slot) *slotPtr(slot) = Asc();
  used_ = 0;
  live_ = 0;
  freeSlots_.clear();
  penalties_.clear();
  run_.clear();
  running_ = false;
}

}  // namespace qorn
