#include "TabooList.h"

#include <string>
#include <vector>

#include "qorncore/datatypes/EngineLog.h"

namespace qorn {
namespace {
constexpr const char* kSource = "qorncore/manager/TabooList";
}

void TabooList::insert(const Entry& entry) {
  byExpiry_.emplace(entry.expiry, entry);
  byNode_.emplace(keyOf(entry), entry);
}

int TabooList::add(int32_t extra, const Node* node) {
  if (!node) return 0;
  const int32_t now = clock_->now();
  const bool song = node->getType() == kSong;
  if (!song && extra < 0) extra = 0;
  const int32_t expiry = song ? now + songTime_ : now + extra + listTime_;
  return addWithExpiry(expiry, song ? 0 : extra, node);
}

int TabooList::addWithExpiry(int32_t expiry, int32_t extra, const Node* node) {
  if (!node) return 0;
  if (clock_->now() >= expiry) return 0;
  insert(Entry{expiry, extra, node, node->id, node->getType() == kSong});
  return 1;
}

std::multimap<TabooList::NodeKey, TabooList::Entry>::iterator TabooList::oldest(
    const Node* node) {
  // Equal keys keep insertion order, so the lower bound is the oldest entry.
  auto it = byNode_.lower_bound(keyOf(node));
  return it != byNode_.end() && it->first == keyOf(node) ? it : byNode_.end();
}

void TabooList::purge(int32_t now) {
  while (!byExpiry_.empty() && byExpiry_.begin()->first < now) {
    const Entry expired = byExpiry_.begin()->second;
    byExpiry_.erase(byExpiry_.begin());
    auto it = byNode_.lower_bound(keyOf(expired));
    if (it != byNode_.end() && it->first == keyOf(expired)) byNode_.erase(it);
  }
}

void TabooList::rekey(const Entry& entry, int32_t newExpiry) {
  auto range = byExpiry_.equal_range(entry.expiry);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second.node != entry.node) continue;
    Entry moved = it->second;
    byExpiry_.erase(it);
    moved.expiry = newExpiry;
    byExpiry_.emplace(newExpiry, moved);
    return;
  }
}

int TabooList::proportion(const Node* node) {
  if (!node) return 0;
  const int32_t now = clock_->now();
  purge(now);
  auto it = oldest(node);
  if (it == byNode_.end()) return 0;
  Entry& entry = it->second;
  // A list's or artist's taboo lasts its extra length plus the list time; measuring it
  // against the list time alone would cut the extra off at the first reading.
  const int32_t duration = entry.song ? songTime_ : listTime_ + entry.extra;
  if (duration <= 0) return 100;
  const int64_t q = (static_cast<int64_t>(entry.expiry) - now) * 100 / duration;
  if (q < 0 || q > 100) {
    QORN_LOG(Error, kSource,
             "illegal taboo proportion " + std::to_string(q) + " for " + node->name.str());
    const int32_t repaired = q < 0 ? now : now + duration;
    rekey(entry, repaired);
    entry.expiry = repaired;
    return q < 0 ? 0 : 100;
  }
  return static_cast<int>(q);
}

void TabooList::remove(const Node* node) {
  if (!node) return;
  const NodeKey key = keyOf(node);
  byNode_.erase(key);
  // Its expiry entries go too: left behind, one of them would later purge a newer entry
  // of the same node and end that taboo early.
  for (auto it = byExpiry_.begin(); it != byExpiry_.end();)
    it = keyOf(it->second) == key ? byExpiry_.erase(it) : std::next(it);
}

int TabooList::setDurations(int32_t songTime, int32_t listTime) {
  if (songTime < 0 || listTime < 0) return 0;
  if (songTime == songTime_ && listTime == listTime_) return 0;
  QORN_LOG(Info, kSource, "set absolute taboo");
  const int32_t now = clock_->now();
  byExpiry_.clear();
  for (auto& [key, entry] : byNode_) {
    const int64_t moved = entry.song ? int64_t{entry.expiry} + songTime - songTime_
                                     : int64_t{entry.expiry} + listTime - listTime_;
    const int64_t latest = int64_t{now} + (entry.song ? songTime : listTime + entry.extra);
    entry.expiry = static_cast<int32_t>(moved < latest ? moved : latest);
    byExpiry_.emplace(entry.expiry, entry);
  }
  songTime_ = songTime;
  listTime_ = listTime;
  return 1;
}

}  // namespace qorn
