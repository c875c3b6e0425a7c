// The timing both loops share, so that they differ only in how one file is read.
#pragma once

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace orsank::bench {

// Processor time of this process (user and system), in nanoseconds: unlike the wall clock
// it leaves out the time other programs on a busy machine take the processor away.
inline double processNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// argv: PASSES FILE...; reads every file once per pass and prints "<label> <processor ns
// per file> <wall ns per file> <checksum>", each time the fastest pass's (the checksum
// keeps the reads from being optimised away and lets the script see both loops read the
// same values).
template <typename ReadOne>
int timePasses(int argc, char** argv, const char* label, ReadOne readOne) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s PASSES FILE...\n", argv[0]);
    return 2;
  }
  const int passes = std::atoi(argv[1]);
  double bestCpu = std::numeric_limits<double>::max();
  double bestWall = std::numeric_limits<double>::max();
  std::size_t checksum = 0;
  for (int pass = 0; pass < passes; ++pass) {
    checksum = 0;
    const double cpuStart = processNanoseconds();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 2; i < argc; ++i) checksum += readOne(argv[i]);
    const std::chrono::duration<double, std::nano> wall = std::chrono::steady_clock::now() - start;
    const double cpu = processNanoseconds() - cpuStart;
    if (cpu < bestCpu) bestCpu = cpu;
    if (wall.count() < bestWall) bestWall = wall.count();
  }
  const int files = argc - 2;
  std::printf("%s %.0f %.0f %zu\n", label, bestCpu / files, bestWall / files, checksum);
  return 0;
}

}  // namespace orsank::bench
