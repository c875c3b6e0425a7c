// The node list views on a large network (Google Benchmark), each beside a reference:
//   RefreshAllViews      the main tab page re-reading suggestions, queue and history
//   ReadListsReference   the engine calls alone (list lengths, nodes, references)
//   HistoryScrollRepaint one page scrolled and the history view drawn into an image
//   PlainTableRepaint    the same drawing by a plain QTableView on a QStandardItemModel
//                        holding the same texts
// The network file (made by kalvoret-netgen) is named by ZARVELL_VIEWS_NETWORK; the history
// is filled with 10,000 of its songs. "views_kib" is the memory the tab
// page adds (heap in use before and after building and filling it).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/appcore/AppCore.h"
#include "app/appcore/NodeText.h"
#include "app/mainwindow/MainWindow.h"
#include "app/views/BarrelView.h"
#include "app/views/TabBarrelView.h"
#include "kalvoretengine/IQornManager.h"

namespace {

using zarvell::app::AppCore;

constexpr int kHistoryEntries = 10000;

// The heap in use (glibc's count of allocated bytes), in KiB: the resident set does not
// grow for memory the allocator had already taken from the system.
long heapKib() { return static_cast<long>(mallinfo2().uordblks / 1024); }

struct World {
  std::unique_ptr<AppCore> core;
  zarvell::app::TabBarrelView* page = nullptr;
  long viewsKib = 0;
};

World& world() {
  static World w = [] {
    World made;
    const char* network = std::getenv("ZARVELL_VIEWS_NETWORK");
    made.core = std::make_unique<AppCore>("", [](AppCore& core) {
      auto window = std::make_unique<zarvell::app::MainWindow>(core);
      zarvell::app::PlayerView* view = window.get();
      return AppCore::Window{std::move(window), view};
    });
    made.core->initialise();
    if (!network || made.core->loadNetwork(network) != 1) {
      std::fprintf(stderr, "views_bench: set ZARVELL_VIEWS_NETWORK to a loadable network\n");
      std::exit(1);
    }
    IQornManager& engine = made.core->engine();
    // The history: 10,000 distinct songs, each stopped and so appended.
    int added = 0;
    // The generated network's songs live at "/music/N/N.mp3".
    for (int i = 1; added < kHistoryEntries && i <= 10 * kHistoryEntries; ++i) {
      const std::string path = "/music/" + std::to_string(i) + "/" + std::to_string(i) + ".mp3";
      if (Node* song = engine.getNodeByPath(path.c_str())) {
        engine.onStop(song, 0.0f, true);
        ++added;
      }
    }
    const long before = heapKib();
    made.page = new zarvell::app::TabBarrelView(*made.core);
    made.page->resize(900, 700);
    made.page->refreshViews();
    made.viewsKib = heapKib() - before;
    std::fprintf(stderr, "views_bench: %d suggestions, %d history entries, heap %ld KiB "
                 "before the page, %ld KiB after\n",
                 engine.getListLength(0), engine.getListLength(2), before, before + made.viewsKib);
    return made;
  }();
  return w;
}

void RefreshAllViews(benchmark::State& state) {
  World& w = world();
  for (auto _ : state) w.page->refreshViews();
  state.counters["suggestions"] = w.page->suggestions()->rowCount();
  state.counters["history"] = w.page->history()->rowCount();
  state.counters["views_kib"] = static_cast<double>(w.viewsKib);
}

void ReadListsReference(benchmark::State& state) {
  IQornManager& engine = world().core->engine();
  for (auto _ : state) {
    for (int list : {0, 2}) {
      const int length = engine.getListLength(list);
      std::vector<Node*> nodes;
      nodes.reserve(static_cast<size_t>(length));
      for (int i = 0; i < length; ++i)
        if (Node* n = engine.getNodeFromList(list, i)) {
          engine.addNodeRef(n);
          nodes.push_back(n);
        }
      for (Node* n : nodes) engine.releaseNode(n);
      benchmark::DoNotOptimize(nodes.data());
    }
  }
}

void scrollAndRender(benchmark::State& state, QTableView& view) {
  view.resize(900, 400);
  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
  QScrollBar* bar = view.verticalScrollBar();
  int value = 0;
  for (auto _ : state) {
    value = value + bar->pageStep() > bar->maximum() ? 0 : value + bar->pageStep();
    bar->setValue(value);
    view.render(&image);
  }
  state.counters["rows"] = view.model()->rowCount();
}

void HistoryScrollRepaint(benchmark::State& state) {
  scrollAndRender(state, *world().page->history());
}

void PlainTableRepaint(benchmark::State& state) {
  World& w = world();
  static QStandardItemModel* model = [&] {
    auto* m = new QStandardItemModel;
    zarvell::app::BarrelView& history = *w.page->history();
    for (int row = 0; row < history.rowCount(); ++row) {
      QList<QStandardItem*> items;
      for (int column = 0; column < zarvell::app::kNodeColumnCount; ++column)
        items << new QStandardItem(history.model()->index(row, column).data().toString());
      m->appendRow(items);
    }
    return m;
  }();
  static QTableView* view = [] {
    auto* v = new QTableView;
    v->setModel(model);
    return v;
  }();
  scrollAndRender(state, *view);
}

BENCHMARK(RefreshAllViews)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadListsReference)->Unit(benchmark::kMillisecond);
BENCHMARK(HistoryScrollRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainTableRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
