// zarvell: the player. Usage: zarvell [-DEBUG] [-WEB]
//
// Works in the data folder (see zarvell/paths.h). The switches are found anywhere in the
// command line, in any case.
#include <QApplication>
#include <iostream>
#include <memory>

#include "app/appcore/AppCore.h"
#include "app/appcore/AppLogging.h"
#include "app/appcore/Switches.h"
#include "app/mainwindow/MainWindow.h"
#include "zarvell/paths.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Zarvell");
  QApplication::setDesktopFileName("zarvell");
  if (!zarvell::enterDataFolder()) {
    std::cerr << "zarvell: no usable data folder (set ZARVELL_HOME)\n";
    return 2;
  }
  using zarvell::app::AppCore;
  AppCore core(zarvell::joinCommandLine(argc, argv), [](AppCore& owner) {
    auto window = std::make_unique<zarvell::app::MainWindow>(owner);
    zarvell::app::PlayerView* view = window.get();
    return AppCore::Window{std::move(window), view};
  });
  core.initialise();
  core.loadDefaultNetwork();
  zarvell::appLog(zarvell::AppLogLevel::Info, "Zarvell started");
  return QApplication::exec();
}
