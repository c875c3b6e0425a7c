// The context menu entries of the list views for the selection states that decide them.
#include <gtest/gtest.h>

#include "app/views/ViewMenu.h"

namespace zarvell::app {
namespace {

struct MenuCase {
  const char* name;
  MenuState state;
  QStringList expected;
};

MenuState make(int kind, bool onRow, int selected) {
  MenuState s;
  s.kind = kind;
  s.onRow = onRow;
  s.selected = selected;
  s.anyNotTaboo = selected > 0;
  return s;
}

const QStringList kRowEntries = {"", "Boost Selection", "Play Selection", "Enqueue Selection"};
const QStringList kOutward = {"Export to M3U Playlist", "Copy Media to folder"};
const QStringList kStyle = {"Show Songs", "Show Albums", "Show Artists"};

std::vector<MenuCase> cases() {
  std::vector<MenuCase> out;
  out.push_back({"suggestions, one plain song", make(kSuggestionsView, true, 1),
                 kStyle + kRowEntries + QStringList{"Add to Bookmarks", "", "Inhibit Selection",
                                                    "Block Selection"} + kOutward});
  out.push_back({"suggestions, click beside the rows", make(kSuggestionsView, false, 0),
                 kStyle + QStringList{"", "Block Selection"} + kOutward});
  MenuState mixed = make(kHistoryView, true, 2);
  mixed.anyBlocked = true;
  mixed.anyTaboo = true;
  out.push_back({"history, one blocked and one not: both block entries, no taboo entry", mixed,
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Block Selection",
                                           "Unblock Selection"} + kOutward});
  MenuState blocked = make(kHistoryView, true, 2);
  blocked.anyBlocked = blocked.allBlocked = true;
  out.push_back({"history, all blocked", blocked,
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Unblock Selection"} + kOutward});
  MenuState taboo = make(kHistoryView, true, 2);
  taboo.anyTaboo = true;
  out.push_back({"history, one taboo and one not", taboo,
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Inhibit Selection",
                                           "Permit Selection", "Block Selection"} + kOutward});
  MenuState playing = make(kQueueView, true, 1);
  playing.playingFirstRow = true;
  out.push_back({"queue, the playing first row alone", playing,
                 kRowEntries + QStringList{"Add to Bookmarks", "Good Choice", "Bad Choice", "",
                                           "Remove from Play Queue", "Clear Play Queue"} +
                     kOutward});
  out.push_back({"queue, a row that is not playing", make(kQueueView, true, 1),
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Remove from Play Queue",
                                           "Clear Play Queue"} + kOutward});
  out.push_back({"queue, two rows", make(kQueueView, true, 2),
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Remove from Play Queue",
                                           "Store selection", "Clear Play Queue"} + kOutward});
  MenuState mine = make(kBookmarksView, true, 1);
  mine.myBookmarks = true;
  out.push_back({"my bookmarks", mine,
                 kRowEntries + QStringList{"", "Inhibit Selection", "Block Selection", "",
                                           "Remove from Bookmarks", "Clear Bookmarks"} +
                     kOutward});
  out.push_back({"suggested bookmarks", make(kBookmarksView, true, 1),
                 kRowEntries + QStringList{"", "Inhibit Selection", "Block Selection"} + kOutward});
  MenuState stores = make(kNeighboursView, true, 1);
  stores.hasStores = true;
  stores.debug = true;
  out.push_back({"neighbours, one node, stores, debug", stores,
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Inhibit Selection",
                                           "Block Selection", "", "Purchase Online from..."} +
                     kOutward + QStringList{"Show Neighbours"}});
  MenuState reports = make(kHistoryView, true, 2);
  reports.hasStores = true;
  reports.debug = true;
  out.push_back({"debug with two nodes: reports, no purchase", reports,
                 kRowEntries + QStringList{"Add to Bookmarks", "", "Inhibit Selection",
                                           "Block Selection"} + kOutward +
                     QStringList{"Report nodes should be linked",
                                 "Report nodes should not be linked",
                                 "Report nodes should be removed"}});
  out.push_back({"user lists", make(kUsersView, true, 1),
                 QStringList{"", "Inhibit Selection", "Block Selection"}});
  return out;
}

TEST(ViewMenu, EntriesFollowTheKindAndTheSelection) {
  for (const MenuCase& c : cases())
    EXPECT_EQ(contextMenuEntries(c.state).join("|").toStdString(), c.expected.join("|").toStdString())
        << c.name;
}

}  // namespace
}  // namespace zarvell::app
