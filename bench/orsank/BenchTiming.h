// The timing both loops share, so that they differ only in how one file is read.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace orsank::bench {

// argv: PASSES FILE...; reads every file once per pass and prints "<label> <ns per file>
// <checksum>" for the fastest pass (the checksum keeps the reads from being optimised
// away and lets the script see both loops read the same values).
template <typename ReadOne>
int timePasses(int argc, char** argv, const char* label, ReadOne readOne) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s PASSES FILE...\n", argv[0]);
    return 2;
  }
  const int passes = std::atoi(argv[1]);
  double best = std::numeric_limits<double>::max();
  std::size_t checksum = 0;
  for (int pass = 0; pass < passes; ++pass) {
    checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 2; i < argc; ++i) checksum += readOne(argv[i]);
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  std::printf("%s %.0f %zu\n", label, best / (argc - 2), checksum);
  return 0;
}

}  // namespace orsank::bench
