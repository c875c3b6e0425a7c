// zarvell-screenshot: draws the player's main window with a given network into a PNG file,
// on whatever Qt platform it runs (the offscreen one in scripts/screenshot.sh).
// Usage: zarvell-screenshot NETWORK.xml OUT.png [WIDTH HEIGHT]
//
// It runs the real player core and main window with the program folder's skin: the network
// is loaded, its first songs are queued and the first one plays for a moment (with the
// fake sink when the environment selects it), then the window is grabbed.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QThread>
#include <iostream>

#include "app/appcore/AppCore.h"
#include "app/mainwindow/MainWindow.h"
#include "app/skin/Skin.h"
#include "zarvell/paths.h"

namespace {

void settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::cerr << "usage: zarvell-screenshot NETWORK.xml OUT.png [WIDTH HEIGHT]\n";
    return 2;
  }
  QApplication application(argc, argv);
  if (!zarvell::enterDataFolder()) {
    std::cerr << "zarvell-screenshot: no usable data folder (set ZARVELL_HOME)\n";
    return 2;
  }
  zarvell::app::Skin skin(QString::fromStdString(zarvell::programFolder() + "/skins/default/"));
  skin.install(application);
  using zarvell::app::AppCore;
  AppCore core("", zarvell::app::MainWindow::factory());
  core.setSkin(&skin);
  core.initialise();
  if (core.loadNetwork(argv[1]) != 1) {
    std::cerr << "zarvell-screenshot: could not load " << argv[1] << "\n";
    return 1;
  }
  auto& window = *static_cast<zarvell::app::MainWindow*>(core.mainWindow());
  if (argc == 5) window.resize(std::atoi(argv[3]), std::atoi(argv[4]));
  QTableView* suggestions = window.suggestionsView();
  std::vector<Node*> songs;
  for (int row = 0; row < suggestions->model()->rowCount() && songs.size() < 4; ++row) {
    suggestions->selectRow(row);
    for (Node* node : window.selectedNodes())
      if (core.engine().getNodeType(node) == 1) songs.push_back(node);
  }
  core.enqueueNodes(songs, false);
  core.executeCommand(zarvell::app::command::kPlay);
  settle(1500);
  if (!songs.empty()) window.showInSuggestions(songs.back());
  settle(300);
  if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
    std::cerr << "zarvell-screenshot: could not write " << argv[2] << "\n";
    return 1;
  }
  core.setSkin(nullptr);
  return 0;
}
