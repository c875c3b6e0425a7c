#include "ViewMenu.h"

namespace zarvell::app {

QStringList contextMenuEntries(const MenuState& s) {
  QStringList out;
  if (s.kind == kSuggestionsView) out << "Show Songs" << "Show Albums" << "Show Artists";
  if (s.onRow && s.kind != kUsersView) {
    out << "" << "Boost Selection" << "Play Selection" << "Enqueue Selection";
    if (s.kind != kBookmarksView) out << "Add to Bookmarks";
    if (s.kind == kQueueView && s.selected == 1 && s.playingFirstRow)
      out << "Good Choice" << "Bad Choice";
  }
  if (s.kind != kQueueView) {
    out << "";
    if (!s.anyBlocked) {
      if (s.anyNotTaboo) out << "Inhibit Selection";
      if (s.anyTaboo) out << "Permit Selection";
    }
    if (!s.allBlocked) out << "Block Selection";
    if (s.anyBlocked) out << "Unblock Selection";
  }
  if (s.kind == kBookmarksView && s.myBookmarks) {
    out << "";
    if (s.onRow) out << "Remove from Bookmarks";
    out << "Clear Bookmarks";
  }
  if (s.kind == kQueueView) {
    out << "";
    if (s.onRow) out << "Remove from Play Queue";
    if (s.selected > 1) out << "Store selection";
    out << "Clear Play Queue";
  }
  if (s.onRow && s.selected == 1 && s.hasStores) out << "" << kPurchaseEntry;
  if (s.kind != kUsersView) out << "Export to M3U Playlist" << "Copy Media to folder";
  if (s.debug) {
    if (s.selected == 1) out << "Show Neighbours";
    if (s.selected >= 2)
      out << "Report nodes should be linked" << "Report nodes should not be linked"
          << "Report nodes should be removed";
  }
  return out;
}

}  // namespace zarvell::app
