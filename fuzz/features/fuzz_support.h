// Shared bits of the feature fuzz targets: a scratch folder for the files the code under
// test writes, and a check that stops the run on a broken invariant.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace featurefuzz {

// Created once per process, on a RAM-backed file system when there is one.
inline const std::string& scratchFolder() {
  static const std::string folder = [] {
    std::string pattern =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/zarvell-fuzz-XXXXXX" : "/tmp/zarvell-fuzz-XXXXXX";
    char* made = mkdtemp(pattern.data());
    return made != nullptr ? std::string(made) : std::string("/tmp");
  }();
  return folder;
}

#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                                       \
    }                                                                                         \
  } while (0)

}  // namespace featurefuzz
