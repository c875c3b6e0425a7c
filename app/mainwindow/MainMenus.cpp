#include "MainMenus.h"

#include <QMenu>

#include "app/appcore/CommandIds.h"

namespace zarvell::app {

using namespace menu;

MainMenus::MainMenus(QWidget* parent) : QObject(parent) {
  QMenu* file = addMenu(command::kFileMenu);
  addItem(file, "&Open Network", kOpenNetwork);
  addItem(file, "&Save Network", kSaveNetwork);
  addItem(file, "Import &Folder", kImportFolder);
  addItem(file, "&Import iTunes Library", kImportITunes);
  file->addSeparator();
  addItem(file, "Export Selection to M3U &Playlist", kExportM3u);
  addItem(file, "&Copy Selected Media to Folder", kCopyMedia);
  file->addSeparator();
  addItem(file, "E&xit", kExit);

  QMenu* edit = addMenu(command::kEditMenu);
  addItem(edit, "&Copy", kCopy);
  addItem(edit, "&Paste", kPaste);
  addItem(edit, "Cu&t", kCut);
  edit->addSeparator();
  addItem(edit, "U&ntaboo Selection", kUntaboo);
  addItem(edit, "&Taboo Selection", kTaboo);
  addItem(edit, "&Block Selection", kBlock);
  addItem(edit, "&Unblock Selection", kUnblock);
  edit->addSeparator();
  addItem(edit, "&Enqueue Selection", kEnqueue);
  addItem(edit, "&Add to My Keytracks", kAddKeytracks);
  edit->addSeparator();
  addItem(edit, "Preference&s", kPreferences);

  QMenu* view = addMenu(command::kViewMenu);
  for (auto [text, id] : {std::pair{"View &Songs", kViewSongs}, {"View &Albums", kViewAlbums},
                          {"View A&rtists", kViewArtists}})
    addItem(view, text, id)->setCheckable(true);

  QMenu* help = addMenu(command::kHelpMenu);
  addItem(help, "Zarvell &Help", kHelpContents);
  addItem(help, "&Keyboard Shortcuts", kKeyboardShortcuts);
  help->addSeparator();
  addItem(help, "&Visit the Zarvell Homepage", kHomepage);
  addItem(help, "Complete the Zarvell &Survey", kSurvey);
  help->addSeparator();
  addItem(help, "About &Zarvell", kAbout);
}

QMenu* MainMenus::addMenu(int buttonId) {
  auto* menu = new QMenu(static_cast<QWidget*>(parent()));
  menu->setObjectName("menu_" + QString::number(buttonId));
  menus_[buttonId] = menu;
  return menu;
}

QAction* MainMenus::addItem(QMenu* menu, const QString& text, int itemId) {
  QAction* action = menu->addAction(text);
  action->setObjectName("menu_" + QString::number(itemId));
  connect(action, &QAction::triggered, this, [this, itemId] { emit triggered(itemId); });
  actions_[itemId] = action;
  return action;
}

QMenu* MainMenus::menu(int buttonId) const {
  const auto found = menus_.find(buttonId);
  return found == menus_.end() ? nullptr : found->second;
}

QAction* MainMenus::action(int itemId) const {
  const auto found = actions_.find(itemId);
  return found == actions_.end() ? nullptr : found->second;
}

void MainMenus::update(const State& state) {
  action(kOpenNetwork)->setVisible(state.debugMode);
  action(kSaveNetwork)->setVisible(state.debugMode);
  for (int id : {kExportM3u, kCopyMedia, kCopy, kCut, kUntaboo, kTaboo, kBlock, kUnblock,
                 kEnqueue, kAddKeytracks})
    action(id)->setEnabled(state.hasSelection);
  action(kPaste)->setEnabled(state.clipboardFilled);
  action(kViewSongs)->setChecked(state.viewStyle & 1);
  action(kViewAlbums)->setChecked(state.viewStyle & 2);
  action(kViewArtists)->setChecked(state.viewStyle & 4);
}

}  // namespace zarvell::app
