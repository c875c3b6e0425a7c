// The player's start-up, exit and song-change benchmark program.
//   app_bench startup NETWORK RUNS   paired runs in one process, each on a fresh copy of
//       NETWORK as the data folder's networks/default.xml:
//         reference  a bare engine: loadNet, then saveNet, then its destruction
//         player     AppCore with its main window: construction, initialise, the default
//                    network loaded, the window exposed ("start-up"); then the Close path
//                    (queue handed over, network saved behind the busy window) and the
//                    destruction ("exit")
//       prints every pair and the medians with their ratios.
//   app_bench gap NETWORK SONG RUNS  imports the 2-second SONG twice (two copies) into
//       NETWORK, queues the copies and plays them: the time from the first song's end
//       event reaching the interface thread to the second song's first audio in the sink
//       (RUNS times), with the median and the largest.
// Run by scripts/bench-app.sh, which also times gst-launch-1.0 starting the same song.
#include <QApplication>
#include <QTest>
#include <algorithm>
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
#include "zarvell/paths.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using zarvell::app::AppCore;

double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

std::unique_ptr<AppCore> makeCore() {
  return std::make_unique<AppCore>("", [](AppCore& core) {
    auto window = std::make_unique<zarvell::app::MainWindow>(core);
    zarvell::app::PlayerView* view = window.get();
    return AppCore::Window{std::move(window), view};
  });
}

void freshCopy(const std::string& network) {
  fs::copy_file(network, "networks/default.xml", fs::copy_options::overwrite_existing);
  std::error_code error;
  fs::remove("networks/default.xml.bak", error);
}

int benchStartup(const std::string& network, int runs) {
  std::vector<double> refLoad, refExit, start, exit, startRatio, exitRatio;
  for (int i = 0; i < runs; ++i) {
    freshCopy(network);
    auto t = Clock::now();
    auto engine = std::make_unique<IQornManager>(false, nullptr);
    if (engine->loadNet("networks/default.xml") != 1) return std::cerr << "load failed\n", 1;
    refLoad.push_back(since(t));
    t = Clock::now();
    engine->saveNet("networks/default.xml");
    engine.reset();
    refExit.push_back(since(t));

    freshCopy(network);
    t = Clock::now();
    auto core = makeCore();
    core->initialise();
    core->loadDefaultNetwork();
    if (!QTest::qWaitForWindowExposed(core->mainWindow())) return std::cerr << "no window\n", 1;
    start.push_back(since(t));
    if (core->engine().getListLength(0) == 0) return std::cerr << "empty network\n", 1;
    t = Clock::now();
    core->requestClose();
    core.reset();
    exit.push_back(since(t));
    startRatio.push_back(start.back() / refLoad.back());
    exitRatio.push_back(exit.back() / refExit.back());
    std::printf("pair %d: start-up %.3f s, loadNet %.3f s (%.2fx); exit %.3f s, saveNet %.3f s "
                "(%.2fx)\n",
                i + 1, start.back(), refLoad.back(), startRatio.back(), exit.back(),
                refExit.back(), exitRatio.back());
  }
  std::printf("start-up median %.3f s, loadNet median %.3f s, median pair ratio %.2fx "
              "(target <= 1.2x)\n",
              median(start), median(refLoad), median(startRatio));
  std::printf("exit median %.3f s, saveNet median %.3f s, median pair ratio %.2fx "
              "(target <= 1.2x)\n",
              median(exit), median(refExit), median(exitRatio));
  return 0;
}

int benchGap(const std::string& network, const std::string& song, int runs) {
  freshCopy(network);
  const std::string first = fs::absolute("gap-first.wav"), second = fs::absolute("gap-second.wav");
  fs::copy_file(song, first, fs::copy_options::overwrite_existing);
  fs::copy_file(song, second, fs::copy_options::overwrite_existing);
  auto core = makeCore();
  core->initialise();
  core->loadDefaultNetwork();
  const char* files[] = {first.c_str(), second.c_str()};
  core->engine().importFileList(files, 2, 1.0f);
  Node* a = core->engine().getNodeByPath(first.c_str());
  Node* b = core->engine().getNodeByPath(second.c_str());
  if (!a || !b) return std::cerr << "import failed\n", 1;
  std::printf("network: %d suggestions, songs imported\n", core->engine().getListLength(0));
  Clock::time_point endAt;
  bool measuring = false;
  std::vector<double> gaps;
  QObject::connect(core.get(), &AppCore::songEndReceived, [&] {
    endAt = Clock::now();
    measuring = true;
  });
  QObject::connect(core.get(), &AppCore::songStarted, [&] {
    if (measuring) gaps.push_back(since(endAt) * 1000.0);
    measuring = false;
  });
  for (int i = 0; i < runs; ++i) {
    core->queue().clear();
    core->enqueueNodes({a, b}, false);
    core->executeCommand(zarvell::app::command::kPlay);
    const size_t before = gaps.size();
    if (!QTest::qWaitFor([&] { return gaps.size() > before; }, 15000))
      return std::cerr << "no song change\n", 1;
    core->executeCommand(zarvell::app::command::kStop);
    std::printf("run %d: %.2f ms\n", i + 1, gaps.back());
  }
  std::printf("gap median %.2f ms, largest %.2f ms (target < 50 ms)\n", median(gaps),
              *std::max_element(gaps.begin(), gaps.end()));
  core->requestClose();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("ZARVELL_AUDIO_SINK")) setenv("ZARVELL_AUDIO_SINK", "fake", 1);
  QApplication application(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 1; i < args.size(); ++i)  // paths are relative to the folder we start in
    if (fs::exists(args[i])) args[i] = fs::absolute(args[i]);
  if (!zarvell::enterDataFolder()) return std::cerr << "no data folder (set ZARVELL_HOME)\n", 2;
  zarvell::makeFolders("networks");
  if (args.size() == 3 && args[0] == "startup")
    return benchStartup(args[1], std::atoi(args[2].c_str()));
  if (args.size() == 4 && args[0] == "gap")
    return benchGap(args[1], args[2], std::atoi(args[3].c_str()));
  std::cerr << "usage: app_bench startup NETWORK RUNS | gap NETWORK SONG RUNS\n";
  return 2;
}
