// A stand-in for the player's start, for the single-instance tests: takes a data folder and
// acquires it. The first on a folder prints "first" and stays up, printing "raise" for each
// raise request, until SIGTERM or SIGINT ends it cleanly (the lock is given back). A later
// start prints "another instance" and exits with status 3. "--app-name NAME" first sets an
// application name unlike the executable's, as a player may.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "app/desktop/SingleInstance.h"
#include "app/desktop/TerminationSignals.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  if (args.size() == 3 && args[0] == QLatin1String("--app-name")) {
    QCoreApplication::setApplicationName(args[1]);
    args = args.mid(2);
  }
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: single_instance_probe [--app-name NAME] DATA_FOLDER\n");
    return 2;
  }
  zarvell::app::TerminationSignals termination;
  QObject::connect(&termination, &zarvell::app::TerminationSignals::terminationRequested, &app,
                   &QCoreApplication::quit);
  zarvell::app::SingleInstance instance(args[0]);
  if (!instance.acquire()) {
    std::printf("another instance\n");
    return 3;
  }
  QObject::connect(&instance, &zarvell::app::SingleInstance::raiseRequested, [] {
    std::printf("raise\n");
    std::fflush(stdout);
  });
  std::printf("first\n");
  std::fflush(stdout);
  return app.exec();
}
