// The import window's cost: a folder imported through AppCore's import window against the
// console's importFolder (the folder scan and importFileList on a bare engine), each into
// an empty network in a fresh data folder, and the interface thread's liveliness meanwhile.
//   import_bench console FOLDER   prints "seconds S"
//   import_bench window FOLDER    prints "seconds S" and "longest tick gap MS ms": a 10 ms
//       timer on the interface thread runs through the import and its largest interval
//       between two ticks is reported (the window's own work, blocking calls included)
// One mode per process; scripts/bench-import-window.sh runs them in pairs.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/appcore/AppCore.h"
#include "app/mainwindow/MainWindow.h"
#include "kalvoretengine/IQornManager.h"
#include "zarvell/FolderScan.h"
#include "zarvell/paths.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

class GoOn : public IQornManagerCallback {
 public:
  bool progress(ProgressInfo*) override { return true; }
};

int console(const std::string& folder) {
  GoOn goOn;
  auto engine = std::make_unique<IQornManager>(false, &goOn);
  const auto t = Clock::now();
  const zarvell::FolderScanResult scan = zarvell::scanMediaFolder(folder);
  std::vector<const char*> paths;
  for (const std::string& file : scan.files) paths.push_back(file.c_str());
  const int result = engine->importFileList(paths.data(), static_cast<int>(paths.size()), 1.0f);
  const double seconds = since(t);
  if (result != 1) return std::cerr << "import failed: " << result << "\n", 1;
  std::printf("songs %zu\nseconds %.3f\n", paths.size(), seconds);
  return 0;
}

int window(const std::string& folder) {
  zarvell::app::AppCore core("", [](zarvell::app::AppCore& c) {
    auto w = std::make_unique<zarvell::app::MainWindow>(c);
    zarvell::app::PlayerView* view = w.get();
    return zarvell::app::AppCore::Window{std::move(w), view};
  });
  core.initialise();
  core.messages().setAnswerer([](const zarvell::app::MessageRequest&) { return QMessageBox::No; });
  QElapsedTimer ticks;
  qint64 longest = 0;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (ticks.isValid()) longest = std::max(longest, ticks.restart());
    else ticks.start();
  });
  timer.start();
  const auto t = Clock::now();
  const int result = core.importFolder(folder);
  const double seconds = since(t);
  timer.stop();
  if (result != 1) return std::cerr << "import failed: " << result << "\n", 1;
  std::printf("seconds %.3f\nlongest tick gap %lld ms\n", seconds, static_cast<long long>(longest));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("ZARVELL_AUDIO_SINK")) setenv("ZARVELL_AUDIO_SINK", "fake", 1);
  QApplication application(argc, argv);
  if (argc != 3) return std::cerr << "usage: import_bench console|window FOLDER\n", 2;
  const std::string mode = argv[1], folder = fs::absolute(argv[2]).string();
  if (!zarvell::enterDataFolder()) return std::cerr << "no data folder (set ZARVELL_HOME)\n", 2;
  zarvell::makeFolders("networks");
  if (mode == "console") return console(folder);
  if (mode == "window") return window(folder);
  std::cerr << "usage: import_bench console|window FOLDER\n";
  return 2;
}
