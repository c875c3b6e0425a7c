// Pieces shared by the import stages (qornManagerImport.cpp, qornManagerInsert.cpp,
// ImportItems.cpp): progress reports, keyword texts and the batch of nodes one import
// builds. Library items are made and owned through SyncItemList.h. Internal to the manager; single-threaded (the importing
// thread). Nothing here throws except std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sonalyx/FESyncItem.h"

class IQornManagerCallback;
class Node;

namespace qorn {

class SongListNode;

// The file name of a path (the text after the last "/"), cut at the last occurrence of
// each known audio extension in turn (".mp3", ".wma", ".m4a", ".wav", ".m4p", ".flac",
// ".ogg", ".oga", ".opus", compared without regard to case; the name keeps its case).
std::string cutFileName(std::string_view path);

// The text split at the keyword separators (space _ - / [ ] ( ) \ .), the non-empty
// pieces joined with ", ".
std::string keywordText(std::string_view text);

// ---- Progress

// Sends ProgressInfo records with fixed stage codes to the engine callback. Without a
// callback every report goes on.
class ImportProgress {
 public:
  ImportProgress(IQornManagerCallback* callback, int32_t stage, int32_t stages)
      : callback_(callback), stage_(stage), stages_(stages) {}
  // False when the callback asks to cancel.
  bool report(int32_t current, int32_t total, const char* caption, const std::string& detail,
              const char* detail2) const;

 private:
  IQornManagerCallback* callback_;
  int32_t stage_;
  int32_t stages_;
};

// ---- The nodes of one import

// What node building made: the new nodes in creation order (each holding its initial
// reference until the network takes it), and the song lists of the network that got new
// tracks, with their track counts before, so that a cancelled import can give them back.
struct ImportBatch {
  std::vector<Node*> nodes;
  std::vector<std::pair<SongListNode*, std::size_t>> grownLists;

  // Takes the new tracks out of the grown lists again.
  void restoreGrownLists();
  // Releases every node (those not taken by the network are destroyed) and forgets them.
  void releaseAll();
};

}  // namespace qorn
