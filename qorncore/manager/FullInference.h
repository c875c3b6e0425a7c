// The full link inference over a song set ("Building Network"): visits every song once and
// links it to up to five of the songs most like it.
//
// The visit order follows similarity: the candidate list L holds the similarities of one
// anchor song to others, best first. The next song visited is L's best entry (at distance d
// from the anchor); its comparison pool is the five best entries of L plus the entries whose
// own distance from the anchor lies within linkParam x m of d (m: the largest distance + d
// among those five), so a song is compared with a small band of likely neighbours instead of
// every remaining song. When L is empty (at a restart, or when the song visited is more than
// 0.4 away from the anchor) the pool is every remaining song and that song becomes the new
// anchor. A restart follows an empty pool, a failed comparison, or a pool of more than a
// tenth of the remaining songs at d > 0.2.
//
// Linking a visited song Y: groups of equal similarity, best first; a group of more than five
// has its first five places shuffled (rand-like source); at most five songs of a group and at
// most five links per visit; a link needs similarity > 0.4 unless it is the visit's first
// (and every link needs similarity > 0); a song whose count of inferred links passes 10 gets
// no more links in its visit.
//
// The routine knows nothing of models: similarities, linking, progress and random draws are
// the caller's (FullInferenceHooks). Single-threaded; nothing here throws except
// std::bad_alloc or what a hook throws.
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

class Node;

namespace qorn {

using ScoredSong = std::pair<float, Node*>;

struct FullInferenceHooks {
  // The similarities of `y` to the songs of `pool`, appended to `out` in pool order; songs
  // without usable features are left out. False when nothing can be compared (the run then
  // restarts instead of linking).
  std::function<bool(Node* y, const std::vector<Node*>& pool, std::vector<ScoredSong>& out)>
      compare;
  // Makes the link y-other with `strength`; false when none was made (e.g. one existed).
  std::function<bool(Node* y, Node* other, float strength)> link;
  // After each visit: `visited` songs done, `y` the last; false cancels the run.
  std::function<bool(int visited, Node* y)> progress;
  // A draw in [0, RAND_MAX].
  std::function<int()> random;
};

struct FullInferenceStats {
  long visits = 0;
  long linksMade = 0;
  long fullScans = 0;     // visits whose pool was every remaining song (L empty)
  long comparisons = 0;   // pool entries handed to compare
};

// Runs over `songs` (null entries and repeats are skipped) with linkParam clamped into
// [0, 1]. 1 when every song was visited, 0 when progress cancelled (links made so far stay).
int runFullInference(const std::vector<Node*>& songs, float linkParam,
                     const FullInferenceHooks& hooks, FullInferenceStats* stats = nullptr);

// The linking step alone, for one visited song: `scored` best first (it is reordered by the
// shuffle), `counts` the inferred-link counts of every song. Returns the links made.
int linkVisitedSong(Node* y, std::vector<ScoredSong>& scored,
                    std::unordered_map<const Node*, int>& counts, const FullInferenceHooks& hooks);

}  // namespace qorn
