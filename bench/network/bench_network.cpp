// Network file benchmark program.
//   bench_network save FILE [RUNS]  builds the 100,000-song synthetic network, saves it to
//       FILE through the engine (median of RUNS, default 3) and writes the same bytes with
//       one write() plus fsync() for reference; prints both and their ratio, then the
//       median ratio of RUNS paired runs (each save right after its reference).
//   bench_network load FILE [RUNS]  loads FILE into a fresh engine (median of RUNS) and
//       prints the time, the nodes and links read and the peak memory the first load
//       added to the process (VmHWM after it minus VmRSS before it).
//   bench_network resave FILE OUT  loads FILE and saves it to OUT four times (profiling).
#include <fcntl.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "NetworkGenerator.h"
#include "qorncore/manager/qornManager.h"
#include "qorncore/manager/qornManagerNetworkFile.h"

namespace {

double seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// CPU seconds of the whole process so far (all threads): on a busy machine it tells
// whether a change saved work even when the wall-clock figures are noisy.
double cpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long statusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
  return 0;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

int benchSave(const std::string& path, int runs) {
  qorn::qornManager engine("", "", nullptr);
  const netgen::Stats s = netgen::generate(engine, netgen::Options{});
  std::cout << "network: " << s.nodes << " nodes, " << s.links << " links\n";
  std::ostringstream quiet;
  std::vector<double> save, saveCpu, plain;
  for (int i = 0; i < runs; ++i) {
    const double cpu = cpuSeconds();
    const auto t = std::chrono::steady_clock::now();
    if (qorn::saveNetworkFile(engine, path.c_str(), quiet) != 1) {
      std::cerr << "save failed\n";
      return 1;
    }
    save.push_back(seconds(t));
    saveCpu.push_back(cpuSeconds() - cpu);
  }
  const std::string bytes = readAll(path);
  const std::string plainPath = path + ".plain";
  // One write() of the same bytes plus fsync(), as the reference of a save.
  auto plainWrite = [&]() -> double {
    const auto t = std::chrono::steady_clock::now();
    const int fd = ::open(plainPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 &&
                    ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                    ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    return ok ? seconds(t) : -1.0;
  };
  for (int i = 0; i < runs; ++i) {
    plain.push_back(plainWrite());
    if (plain.back() < 0) {
      std::cerr << "plain write failed\n";
      return 1;
    }
  }
  // Paired runs: each save right after its reference, so both see the same disk state.
  std::vector<double> pairSave, pairPlain, pairRatio;
  for (int i = 0; i < runs; ++i) {
    const double reference = plainWrite();
    const auto t = std::chrono::steady_clock::now();
    if (reference < 0 || qorn::saveNetworkFile(engine, path.c_str(), quiet) != 1) {
      std::cerr << "paired save failed\n";
      return 1;
    }
    pairSave.push_back(seconds(t));
    pairPlain.push_back(reference);
    pairRatio.push_back(pairSave.back() / reference);
  }
  ::unlink(plainPath.c_str());
  std::printf(
      "file bytes %zu\nsaveNet seconds %.3f (cpu %.3f)\nplain write+fsync seconds %.3f\n"
      "save / plain write %.2fx (target <= 2x)\n",
      bytes.size(), median(save), median(saveCpu), median(plain), median(save) / median(plain));
  std::printf(
      "paired saveNet seconds %.3f\npaired plain write+fsync seconds %.3f\n"
      "paired save / plain write %.2fx median of %d pairs (target <= 2x)\n",
      median(pairSave), median(pairPlain), median(pairRatio), runs);
  return 0;
}

int benchLoad(const std::string& path, int runs) {
  std::vector<double> load, loadCpu;
  long peakAddedKb = 0;
  std::size_t nodes = 0, links = 0;
  for (int i = 0; i < runs; ++i) {
    auto engine = std::make_unique<qorn::qornManager>("", "", nullptr);
    std::ostringstream quiet;
    const long before = statusKb("VmRSS:");
    const double cpu = cpuSeconds();
    const auto t = std::chrono::steady_clock::now();
    if (qorn::loadNetworkFile(*engine, path.c_str(), quiet) != 1) {
      std::cerr << "load failed\n";
      return 1;
    }
    load.push_back(seconds(t));
    loadCpu.push_back(cpuSeconds() - cpu);
    if (i == 0) peakAddedKb = statusKb("VmHWM:") - before;
    nodes = engine->nodes().size();
    links = engine->links().size();
  }
  std::printf(
      "loaded %zu nodes, %zu links\nloadNet seconds %.3f (cpu %.3f)\n"
      "load peak memory MB %.1f\n",
      nodes, links, median(load), median(loadCpu), peakAddedKb / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: bench_network save|load FILE [RUNS]\n";
    return 2;
  }
  const std::string mode = argv[1];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  if (mode == "save") return benchSave(argv[2], runs);
  if (mode == "load") return benchLoad(argv[2], runs);
  if (mode == "resave" && argc > 3) {  // for profiling: load FILE once, save it to OUT 4 times
    qorn::qornManager engine("", "", nullptr);
    std::ostringstream quiet;
    qorn::loadNetworkFile(engine, argv[2], quiet);
    for (int i = 0; i < 4; ++i) {
      const auto t = std::chrono::steady_clock::now();
      qorn::saveNetworkFile(engine, argv[3], quiet);
      std::printf("saved in %.3f s\n", seconds(t));
    }
    return 0;
  }
  std::cerr << "usage: bench_network save|load FILE [RUNS]\n";
  return 2;
}
