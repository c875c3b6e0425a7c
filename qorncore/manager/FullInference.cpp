#include "FullInference.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_set>

namespace qorn {
namespace {

constexpr int kLinksPerVisit = 5;
constexpr int kGroupTake = 5;
constexpr int kCountLimit = 10;
constexpr float kStrongSimilarity = 0.4f;
constexpr float kAnchorReach = 0.4f;    // farther from the anchor: L is emptied
constexpr float kRestartDistance = 0.2f;
constexpr std::size_t kBand = 5;        // pool entries taken before the band test

// The songs not yet visited, in set order; removal marks, and compaction keeps walks short.
class RemainingSongs {
 public:
  explicit RemainingSongs(const std::vector<Node*>& songs) {
    std::unordered_set<const Node*> seen;
    for (Node* s : songs)
      if (s != nullptr && seen.insert(s).second) order_.push_back(s);
    for (std::size_t i = 0; i < order_.size(); ++i) where_[order_[i]] = i;
    live_ = order_.size();
  }
  bool empty() const { return live_ == 0; }
  std::size_t size() const { return live_; }
  Node* first() {
    while (order_[head_] == nullptr) ++head_;
    return order_[head_];
  }
  void remove(Node* s) {
    auto it = where_.find(s);
    if (it == where_.end()) return;
    order_[it->second] = nullptr;
    where_.erase(it);
    --live_;
    if (live_ > 0 && order_.size() > 2 * live_ + 64) compact();
  }
  void appendAll(const Node* except, std::vector<Node*>& out) const {
    for (std::size_t i = head_; i < order_.size(); ++i)
      if (order_[i] != nullptr && order_[i] != except) out.push_back(order_[i]);
  }

 private:
  void compact() {
    std::vector<Node*> kept;
    kept.reserve(live_);
    for (std::size_t i = head_; i < order_.size(); ++i)
      if (order_[i] != nullptr) kept.push_back(order_[i]);
    order_ = std::move(kept);
    head_ = 0;
    for (std::size_t i = 0; i < order_.size(); ++i) where_[order_[i]] = i;
  }

  std::vector<Node*> order_;
  std::unordered_map<const Node*, std::size_t> where_;
  std::size_t head_ = 0;
  std::size_t live_ = 0;
};

// The candidate list: similarity to the anchor, best first; equal similarities keep the
// order they were entered in.
class CandidateList {
 public:
  using Map = std::multimap<float, Node*, std::greater<float>>;
  bool empty() const { return map_.empty(); }
  const Map::value_type& front() const { return *map_.begin(); }
  Map::const_iterator begin() const { return map_.begin(); }
  Map::const_iterator end() const { return map_.end(); }
  void clear() {
    map_.clear();
    where_.clear();
  }
  void assign(const std::vector<ScoredSong>& scored) {
    clear();
    for (const ScoredSong& s : scored) where_[s.second] = map_.emplace_hint(map_.end(), s);
  }
  void remove(const Node* s) {
    auto it = where_.find(s);
    if (it == where_.end()) return;
    map_.erase(it->second);
    where_.erase(it);
  }

 private:
  Map map_;
  std::unordered_map<const Node*, Map::iterator> where_;
};

// The comparison pool from L: the first kBand entries other than y, then entries whose
// distance stays within x * m of d.
void poolFromCandidates(const CandidateList& list, const Node* y, float d, float x,
                        std::vector<Node*>& pool) {
  float m = 0.0f;
  std::size_t taken = 0;
  for (const auto& entry : list) {
    if (entry.second == y) continue;
    const float distance = 1.0f - entry.first;
    if (taken < kBand) {
      pool.push_back(entry.second);
      m = std::max(m, distance + d);
      ++taken;
    } else if (std::fabs(distance - d) <= x * m) {
      pool.push_back(entry.second);
    } else {
      break;
    }
  }
}

}  // namespace

int linkVisitedSong(Node* y, std::vector<ScoredSong>& scored,
                    std::unordered_map<const Node*, int>& counts, const FullInferenceHooks& hooks) {
  int& c = counts[y];
  int k = 0;
  std::size_t i = 0;
  while (i < scored.size() && k < kLinksPerVisit && c <= kCountLimit) {
    std::size_t end = i;
    while (end < scored.size() && scored[end].first == scored[i].first) ++end;
    const std::size_t group = end - i;
    const float s = scored[i].first;
    if (s <= 0.0f || (k > 0 && s <= kStrongSimilarity)) break;  // the rest is no better
    if (group > static_cast<std::size_t>(kGroupTake)) {
      for (std::size_t q = 0; q < static_cast<std::size_t>(kGroupTake); ++q) {
        const std::size_t span = group - q;
        const std::size_t pick = q + static_cast<std::size_t>(hooks.random()) % span;
        std::swap(scored[i + q], scored[i + pick]);
      }
    }
    const std::size_t take = std::min<std::size_t>(group, kGroupTake);
    for (std::size_t t = 0; t < take && k < kLinksPerVisit && c <= kCountLimit; ++t) {
      if (k > 0 && s <= kStrongSimilarity) break;
      Node* other = scored[i + t].second;
      if (!hooks.link(y, other, s)) continue;
      ++k;
      ++c;
      ++counts[other];
    }
    i = end;
  }
  return k;
}

int runFullInference(const std::vector<Node*>& songs, float linkParam,
                     const FullInferenceHooks& hooks, FullInferenceStats* stats) {
  FullInferenceStats local;
  FullInferenceStats& st = stats ? *stats : local;
  const float x = std::clamp(std::isnan(linkParam) ? 0.0f : linkParam, 0.0f, 1.0f);
  RemainingSongs remaining(songs);
  CandidateList candidates;
  std::unordered_map<const Node*, int> counts;
  std::vector<Node*> pool;
  std::vector<ScoredSong> scored;
  bool restart = true;
  int visited = 0;
  while (!remaining.empty()) {
    // a. The song to visit and its distance d from the anchor.
    Node* y;
    float d = 0.0f;
    if (restart || candidates.empty()) {
      y = candidates.empty() ? remaining.first() : candidates.front().second;
      candidates.clear();
      restart = false;
    } else {
      y = candidates.front().second;
      d = 1.0f - candidates.front().first;
      if (d > kAnchorReach) candidates.clear();
    }
    // b. Its comparison pool.
    pool.clear();
    const bool fromCandidates = !candidates.empty();
    if (fromCandidates) {
      poolFromCandidates(candidates, y, d, x, pool);
    } else {
      remaining.appendAll(y, pool);
      ++st.fullScans;
    }
    // c. Whether the next visit restarts.
    const double tenth = static_cast<double>(remaining.size()) / 10.0;
    if (pool.empty() || (static_cast<double>(pool.size()) > tenth && d > kRestartDistance))
      restart = true;
    // d. y is visited.
    remaining.remove(y);
    candidates.remove(y);
    // e. Similarities, best first (stable: equal ones keep pool order).
    scored.clear();
    st.comparisons += static_cast<long>(pool.size());
    if (hooks.compare(y, pool, scored)) {
      std::stable_sort(scored.begin(), scored.end(),
                       [](const ScoredSong& a, const ScoredSong& b) { return a.first > b.first; });
      // f. A new anchor.
      if (candidates.empty()) candidates.assign(scored);
      st.linksMade += linkVisitedSong(y, scored, counts, hooks);
    } else {
      restart = true;
    }
    ++st.visits;
    if (!hooks.progress(++visited, y)) return 0;
  }
  return 1;
}

}  // namespace qorn
