// The reference collection the shipped models are trained on: songs with the 72 audio
// features and a set of emotion labels each, read from an ARFF file (numeric feature
// attributes in feature order, then one {0,1} attribute per label).
//
// Rows whose index (from 0) is divisible by 3 are held out: never used to fit or train, only
// to measure link quality. Nothing here throws except std::bad_alloc; reading returns a
// status and an error text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "qorncore/manager/features/FeatureSet.h"

namespace qorn::reference {

struct Song {
  FeatureVector features{};
  uint32_t labels = 0;  // bit i: label i
  std::size_t row = 0;  // index in the file's data section
};

struct Collection {
  std::vector<std::string> labelNames;
  std::vector<Song> songs;  // in file order
};

// Reads `path`; false with `error` set when it is not such a file.
bool readArff(const std::string& path, Collection& out, std::string& error);

inline bool isHeldOut(const Song& s) { return s.row % 3 == 0; }
std::vector<Song> trainingPart(const Collection& c);
std::vector<Song> heldOutPart(const Collection& c);

// |a ∩ b| / |a ∪ b| of two label sets (0 for two empty sets).
double jaccard(uint32_t a, uint32_t b);

// A small deterministic generator (64-bit LCG, high bits), the same on every platform.
class Lcg {
 public:
  explicit Lcg(uint64_t seed) : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) {}
  uint32_t next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state_ >> 33);
  }
  // Uniform in [0, n) (n > 0; the tiny modulo bias does not matter here).
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next()) % n; }
  double uniform() { return (next() + 0.5) / 2147483648.0; }

 private:
  uint64_t state_;
};

}  // namespace qorn::reference
