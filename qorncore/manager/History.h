// History: the songs played, oldest first. The leading `committed` entries are confirmed
// (played to their end); entries after them are tentative (stopped or skipped) and are
// dropped when the next song completes. pickPrev takes songs back off the end; a song
// taken back from the committed part is remembered so that playing it again restores it.
//
// Holds song pointers without references; the manager removes a song from the history
// before it leaves the network. Single-threaded.
#pragma once

#include <vector>

#include "qorncore/engine/Node.h"

namespace qorn {

class History {
 public:
  void append(Node* song, bool completed);
  // The last entry, taken off the history (null when empty); *committed tells whether it
  // lay in the committed part.
  Node* pickPrev(bool* committed);
  // Removes the entries at the given positions (others ignored); true when any went.
  bool removePositions(const int* positions, int count);
  // Every occurrence of the node leaves the history and the previous-songs queue.
  void forget(const Node* node);
  void clear();

  const std::vector<Node*>& entries() const { return entries_; }
  std::size_t committed() const { return committed_; }
  const std::vector<Node*>& previousSongs() const { return previous_; }

 private:
  std::vector<Node*> entries_;
  std::size_t committed_ = 0;
  std::vector<Node*> previous_;  // newest last
};

}  // namespace qorn
