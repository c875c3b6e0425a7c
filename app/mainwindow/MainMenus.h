// MainMenus: the four menus of the main window ("&File", "&Edit", "&View", "&Help"), opened
// under their buttons. It builds the items (identifiers in CommandIds.h, objectNames
// "menu_<id>"), decides before each opening which items are shown, greyed and checked,
// and reports the chosen item; the main window carries the action out.
//
// Interface thread only. Nothing here throws except std::bad_alloc.
#pragma once

#include <QObject>
#include <map>

class QAction;
class QMenu;
class QWidget;

namespace zarvell::app {

class MainMenus : public QObject {
  Q_OBJECT

 public:
  // What the menus need to know when they open.
  struct State {
    bool debugMode = false;
    bool hasSelection = false;
    bool clipboardFilled = false;
    int viewStyle = 7;  // bits 1 songs, 2 albums, 4 artists
  };

  explicit MainMenus(QWidget* parent);

  // The menu under a menu button (command::kFileMenu ... kHelpMenu); null for other ids.
  QMenu* menu(int buttonId) const;
  QAction* action(int itemId) const;
  // Shows, greys and checks the items for `state` (called before a menu opens).
  void update(const State& state);

 signals:
  void triggered(int itemId);

 private:
  QMenu* addMenu(int buttonId);
  QAction* addItem(QMenu* menu, const QString& text, int itemId);

  std::map<int, QMenu*> menus_;
  std::map<int, QAction*> actions_;
};

}  // namespace zarvell::app
