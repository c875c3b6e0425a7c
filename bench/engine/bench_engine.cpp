// The engine on a generated library of 100,000 songs, 10,000 albums, 5,000 artists and
// about 1,000,000 links (fixed seed): the cost of one play (onPlay + boost), of picking the
// next song, of flat lists of an album and an artist, of the palette and of a transition
// verdict, and the resident memory of the network.
//
// Per-call figures are taken with a clock around each call; the median and the 99th
// percentile are reported as counters (in milliseconds) beside Google Benchmark's mean.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "NetworkGenerator.h"

namespace {

struct Network {
  netgen::Options options;
  std::unique_ptr<qorn::qornManager> engine;
  double residentMb = 0;
  double networkMb = 0;
  uint64_t next = 12345;

  Network() {
    const long before = netgen::residentBytes();
    engine = std::make_unique<qorn::qornManager>("", "", nullptr);
    netgen::generate(*engine, options);
    const long after = netgen::residentBytes();
    residentMb = after / 1048576.0;
    networkMb = (after - before) / 1048576.0;
    std::srand(1);
  }
  // Songs in a fixed pseudo-random order.
  Node* song() {
    next = next * 6364136223846793005ULL + 1442695040888963407ULL;
    const int i = static_cast<int>((next >> 33) % static_cast<uint64_t>(options.songs));
    return engine->nodes().find(netgen::firstSong(options) + i);
  }
  Node* album(int i) { return engine->nodes().find(netgen::firstAlbum(options) + i); }
  Node* artist(int i) { return engine->nodes().find(netgen::firstArtist(options) + i); }
};

Network& net() {
  static Network network;
  return network;
}

class Timings {
 public:
  template <typename F>
  void time(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    samples_.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  void report(benchmark::State& state) {
    if (samples_.empty()) return;
    std::sort(samples_.begin(), samples_.end());
    state.counters["median_ms"] = samples_[samples_.size() / 2];
    state.counters["p99_ms"] = samples_[std::min(samples_.size() - 1, samples_.size() * 99 / 100)];
    state.counters["max_ms"] = samples_.back();
  }

 private:
  std::vector<double> samples_;
};

void BM_Memory(benchmark::State& state) {
  Network& n = net();
  for (auto _ : state) benchmark::DoNotOptimize(n.engine->nodes().size());
  state.counters["resident_MB"] = n.residentMb;
  state.counters["network_MB"] = n.networkMb;
  state.counters["links"] = static_cast<double>(n.engine->links().size());
}
BENCHMARK(BM_Memory)->Iterations(1);

void BM_Play(benchmark::State& state) {
  Network& n = net();
  Timings t;
  for (auto _ : state) {
    Node* song = n.song();
    t.time([&] {
      n.engine->onPlay(song, true);
      benchmark::DoNotOptimize(n.engine->boost({song}, 1.0f, false));
    });
  }
  t.report(state);
}
BENCHMARK(BM_Play)->Iterations(400)->Unit(benchmark::kMillisecond);

// The next song right after a play: the hotlist is rebuilt first.
void BM_PickNextNodeAfterPlay(benchmark::State& state) {
  Network& n = net();
  Timings t;
  for (auto _ : state) {
    state.PauseTiming();
    Node* song = n.song();
    n.engine->onPlay(song, true);
    n.engine->boost({song}, 1.0f, false);
    state.ResumeTiming();
    t.time([&] { benchmark::DoNotOptimize(n.engine->pickNextNode(0.3f)); });
  }
  t.report(state);
}
BENCHMARK(BM_PickNextNodeAfterPlay)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The next song from an unchanged hotlist.
void BM_PickNextNode(benchmark::State& state) {
  Network& n = net();
  n.engine->getHotlist();
  Timings t;
  for (auto _ : state) t.time([&] { benchmark::DoNotOptimize(n.engine->pickNextNode(0.3f)); });
  t.report(state);
}
BENCHMARK(BM_PickNextNode)->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_FlatListAlbum(benchmark::State& state) {
  Network& n = net();
  int i = 0;
  std::vector<Node*> flat;
  for (auto _ : state) {
    flat.clear();
    n.engine->getFlatList({n.album(i++ % n.options.albums)}, flat);
    benchmark::DoNotOptimize(flat.data());
  }
}
BENCHMARK(BM_FlatListAlbum)->Unit(benchmark::kMicrosecond);

// Artists 0..9 are the busiest (hundreds to thousands of songs); the rest are typical.
void BM_FlatListArtist(benchmark::State& state) {
  Network& n = net();
  const int first = static_cast<int>(state.range(0));
  int i = 0;
  std::vector<Node*> flat;
  for (auto _ : state) {
    flat.clear();
    n.engine->getFlatList({n.artist(first + i++ % 10)}, flat);
    benchmark::DoNotOptimize(flat.data());
  }
  state.counters["songs"] = static_cast<double>(flat.size());
}
BENCHMARK(BM_FlatListArtist)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_LearnTransition(benchmark::State& state) {
  Network& n = net();
  Timings t;
  bool good = true;
  for (auto _ : state) {
    Node* a = n.song();
    Node* b = n.song();
    t.time([&] { benchmark::DoNotOptimize(n.engine->learnTransition(a, b, good)); });
    good = !good;
  }
  t.report(state);
}
BENCHMARK(BM_LearnTransition)->Iterations(500)->Unit(benchmark::kMicrosecond);

void BM_CreatePalette(benchmark::State& state) {
  Network& n = net();
  for (auto _ : state) benchmark::DoNotOptimize(n.engine->createPalette());
  state.counters["palette"] = static_cast<double>(n.engine->palette().size());
}
BENCHMARK(BM_CreatePalette)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
