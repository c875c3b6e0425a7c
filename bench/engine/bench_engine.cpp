// The engine on a generated library of 100,000 songs, 10,000 albums, 5,000 artists and
// about 1,000,000 links (fixed seed): the cost of one play (onPlay + boost), of picking the
// next song, of flat lists of an album and an artist, of the palette and of a transition
// verdict, and the resident memory of the network.
//
// Per-call figures are taken with two clocks around each call: the wall clock (what a
// listener waits) and this thread's CPU clock (what the call itself costs, steady while
// other programs load the machine). The median, 99th percentile and largest call are
// reported as counters in milliseconds (wall: median_ms, p99_ms, max_ms; CPU: cpu_median_ms,
// cpu_p99_ms, cpu_max_ms) beside Google Benchmark's mean.
//
// The engine clock is fixed and advanced by a song's length per play, so every run sees
// the same taboo expiries and makes the same choices: the pick_hash and palette_hash
// counters identify the songs chosen, for comparing two builds.
// Environment: ZARVELL_BENCH_CYCLES  play-loop cycles (default 2000)
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "NetworkGenerator.h"

namespace {

constexpr int32_t kStartTime = 1'700'000'000;
constexpr int32_t kSongSeconds = 240;

struct Network {
  netgen::Options options;
  std::unique_ptr<qorn::qornManager> engine;
  double residentMb = 0;
  double networkMb = 0;
  uint64_t next = 12345;

  Network() {
    const long before = netgen::residentBytes();
    engine = std::make_unique<qorn::qornManager>("", "", nullptr);
    engine->clock().set(kStartTime);
    netgen::generate(*engine, options);
    // As the application after a load: the views read the hotlist (BM_HotlistFullRebuild
    // times this first rebuild over every node).
    engine->getHotlist();
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

double threadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

// Wall and CPU time of each call; reported as median, 99th percentile and largest.
class Timings {
 public:
  template <typename F>
  void time(F&& f) {
    const double c0 = threadCpuMs();
    const auto t0 = std::chrono::steady_clock::now();
    f();
    const auto t1 = std::chrono::steady_clock::now();
    cpu_.push_back(threadCpuMs() - c0);
    wall_.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  void report(benchmark::State& state, const std::string& prefix = "") {
    if (wall_.empty()) return;
    put(state, prefix, wall_);
    put(state, prefix + "cpu_", cpu_);
  }

 private:
  static void put(benchmark::State& state, const std::string& prefix, std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    state.counters[prefix + "median_ms"] = v[v.size() / 2];
    state.counters[prefix + "p99_ms"] = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    state.counters[prefix + "max_ms"] = v.back();
  }
  std::vector<double> wall_;
  std::vector<double> cpu_;
};

// FNV-1a over node ids: one number naming a sequence of choices.
class IdHash {
 public:
  void add(const Node* node) {
    const uint32_t id = node ? static_cast<uint32_t>(node->id) : 0u;
    for (int i = 0; i < 4; ++i) {
      hash_ ^= (id >> (8 * i)) & 0xffu;
      hash_ *= 16777619u;
    }
  }
  double value() const { return static_cast<double>(hash_); }

 private:
  uint32_t hash_ = 2166136261u;
};

int cycles() {
  const char* text = std::getenv("ZARVELL_BENCH_CYCLES");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 2000;
}

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
    n.engine->clock().advance(kSongSeconds);
    t.time([&] {
      n.engine->onPlay(song, true);
      benchmark::DoNotOptimize(n.engine->boost({song}, 1.0f, false));
    });
  }
  t.report(state);
  n.engine->getHotlist();  // the views read it after every play; the next pick starts fresh
}
BENCHMARK(BM_Play)->Iterations(400)->Unit(benchmark::kMillisecond);

// The next song right after a play of a song chosen at random: the hotlist is rebuilt first.
void BM_PickNextNodeAfterPlay(benchmark::State& state) {
  Network& n = net();
  Timings t;
  for (auto _ : state) {
    state.PauseTiming();
    Node* song = n.song();
    n.engine->clock().advance(kSongSeconds);
    n.engine->onPlay(song, true);
    n.engine->boost({song}, 1.0f, false);
    state.ResumeTiming();
    t.time([&] { benchmark::DoNotOptimize(n.engine->pickNextNode(0.3f)); });
  }
  t.report(state);
}
BENCHMARK(BM_PickNextNodeAfterPlay)->Iterations(500)->Unit(benchmark::kMicrosecond);

// The application's play loop, many times over: the song ends, the next is picked with the
// default randomness (0.1), played and boosted; a song lasts four minutes, so taboo entries
// run out and are purged along the way. Each pick (pick_*) and each play (play_*: onPlay +
// boost) is timed.
void BM_PlayLoop(benchmark::State& state) {
  Network& n = net();
  Timings picks;
  Timings plays;
  IdHash hash;
  Node* current = n.song();
  for (auto _ : state) {
    n.engine->clock().advance(kSongSeconds);
    n.engine->onSongEndReached(current, true);
    Node* next = nullptr;
    picks.time([&] { next = n.engine->pickNextNode(0.1f); });
    hash.add(next);
    if (next && next->asSong()) current = next;
    plays.time([&] {
      n.engine->onPlay(current, true);
      n.engine->boost({current}, 1.0f, false);
    });
  }
  picks.report(state, "pick_");
  plays.report(state, "play_");
  state.counters["pick_hash"] = hash.value();
}
BENCHMARK(BM_PlayLoop)->Iterations(cycles())->Unit(benchmark::kMicrosecond);

// The hotlist rebuilt over every node of the network, as after a load or a change of the
// view style (every node becomes a candidate).
void BM_HotlistFullRebuild(benchmark::State& state) {
  Network& n = net();
  Timings t;
  int style = 1;
  for (auto _ : state) {
    n.engine->setViewStyle(style);
    t.time([&] { benchmark::DoNotOptimize(n.engine->getHotlist().size()); });
    style = style == 1 ? 7 : 1;
  }
  n.engine->setViewStyle(7);
  n.engine->getHotlist();
  t.report(state);
}
BENCHMARK(BM_HotlistFullRebuild)->Iterations(20)->Unit(benchmark::kMillisecond);

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

// The palette of the whole network; rand() is seeded before each call, so every call makes
// the same palette.
void BM_CreatePalette(benchmark::State& state) {
  Network& n = net();
  Timings t;
  for (auto _ : state) {
    std::srand(1);
    t.time([&] { benchmark::DoNotOptimize(n.engine->createPalette()); });
  }
  t.report(state);
  IdHash hash;
  for (const Node* node : n.engine->palette()) hash.add(node);
  state.counters["palette"] = static_cast<double>(n.engine->palette().size());
  state.counters["palette_hash"] = hash.value();
}
BENCHMARK(BM_CreatePalette)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
