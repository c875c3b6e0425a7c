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
#include "app/appcore/AppMediaPort.h"
#include "app/desktop/MprisService.h"
#include "app/desktop/SingleInstance.h"
#include "app/desktop/TerminationSignals.h"
#include "app/mainwindow/MainWindow.h"
#include "app/skin/Skin.h"
#include "app/skin/SplashWindow.h"
#include "zarvell/paths.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Zarvell");
  QApplication::setDesktopFileName("zarvell");
  if (!zarvell::enterDataFolder()) {
    std::cerr << "zarvell: no usable data folder (set ZARVELL_HOME)\n";
    return 2;
  }
  // A player already running on this data folder is raised instead; nothing here is touched.
  zarvell::app::SingleInstance instance(QString::fromStdString(zarvell::dataFolder()));
  if (!instance.acquire()) return 0;

  // The one skin of the program, from the program folder; missing bitmaps leave the
  // widgets to the Qt style.
  zarvell::app::Skin skin(QString::fromStdString(zarvell::programFolder() + "/skins/default/"));
  skin.install(application);

  using zarvell::app::AppCore;
  AppCore core(zarvell::joinCommandLine(argc, argv), zarvell::app::MainWindow::factory());

  core.setSkin(&skin);
  core.installCommunity();  // web mode only
  core.initialise();
  // The start-up picture over the shown window, closing itself after two seconds.
  auto* splash = new zarvell::app::SplashWindow(&skin, AppCore::kVersionText,
                                                zarvell::app::SplashWindow::kStartupMs,
                                                core.mainWindow());
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->open();
  core.startupLogin();  // web mode only
  QObject::connect(&instance, &zarvell::app::SingleInstance::raiseRequested, &core, [&core] {
    zarvell::appLog(zarvell::AppLogLevel::Info, "raising the window for a second start");
    if (core.view()) core.view()->raiseWindow();
  });
  // SIGTERM and SIGINT close the player as its Close button does.
  zarvell::app::TerminationSignals termination;
  QObject::connect(&termination, &zarvell::app::TerminationSignals::terminationRequested, &core,
                   [&core] { core.requestClose(); });
  zarvell::app::AppMediaPort port(core);
  zarvell::app::MprisService mpris(port);
  mpris.start();
  core.loadDefaultNetwork();
  zarvell::appLog(zarvell::AppLogLevel::Info, "Zarvell started");
  return QApplication::exec();
}
