// The context menu of a node list view as data: the state of the view and its selection
// in, the entry texts out, in menu order ("" is a separator). The view builds the menu from
// the texts and recognises the chosen entry by its text. Pure; nothing throws except
// std::bad_alloc.
#pragma once

#include <QString>
#include <QStringList>

namespace zarvell::app {

// The kinds of node list view.
enum ViewKind { kSuggestionsView = 0, kBookmarksView = 1, kHistoryView = 2, kQueueView = 3,
                kNeighboursView = 4, kUsersView = 5 };

struct MenuState {
  int kind = kSuggestionsView;
  bool onRow = false;        // the right click hit a row
  bool myBookmarks = false;  // the removable "My Bookmarks" list (kind 1)
  int selected = 0;          // selected nodes
  bool anyBlocked = false, allBlocked = false;
  bool anyTaboo = false, anyNotTaboo = false;
  bool playingFirstRow = false;  // the one selected row is the queue's first, current song
  int viewStyle = 7;             // bits 1 songs, 2 albums, 4 artists
  bool hasStores = false;        // purchase stores are known
  bool debug = false;
};

inline const QString kPurchaseEntry = QStringLiteral("Purchase Online from...");

QStringList contextMenuEntries(const MenuState& state);

}  // namespace zarvell::app
