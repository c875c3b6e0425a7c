// Helpers for the feature tests: a scratch folder, a capture of the engine log, and
// feature vectors and raw store bytes made to order.
#pragma once

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/manager/features/FeatureSet.h"
#include "scratch_dir.h"

namespace featuretest {

// A fresh folder under the system temp folder, removed with everything in it.
using TempDir = zarvelltest::ScratchDir;

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Sends the engine log to a file of its own and reads it back, rolled backups included.
class LogCapture {
 public:
  LogCapture() : file_(dir_.file("kalvoret.log")) { qorn::configureEngineLogging(file_); }
  ~LogCapture() { qorn::shutdownEngineLogging(); }
  std::string text() const {
    std::string all;
    for (int i = 5; i >= 1; --i) all += readFile(file_ + "." + std::to_string(i));
    return all + readFile(file_);
  }
  bool contains(const std::string& needle) const {
    return text().find(needle) != std::string::npos;
  }

 private:
  TempDir dir_;
  std::string file_;
};

// 72 distinct values, varied by `seed`, none zero.
inline std::vector<float> sampleValues(int seed) {
  std::vector<float> v(qorn::kFeatureCount);
  for (int i = 0; i < qorn::kFeatureCount; ++i) v[i] = 0.25f * (i + 1) + 0.001f * seed - 3.0f;
  v[65] = 70.0f + seed % 40;   // BH_LowPeakBPM
  v[67] = 140.0f + seed % 40;  // BH_HighPeakBPM
  return v;
}

inline std::string md5For(int n) {
  char text[33];
  std::snprintf(text, sizeof text, "%032x", n * 2654435761u);
  return text;
}

inline void appendFloat(std::string& out, float f) {
  char bytes[4];
  std::memcpy(bytes, &f, 4);  // the test machines are little-endian, like the store
  out.append(bytes, 4);
}

inline std::string storeHeader() {
  return std::string("MBFFmbinf1.000", 14);
}

// One raw 330-byte record; `first` is the float that must be 30.0 in a good record.
inline std::string rawRecord(const std::string& md5, const std::vector<float>& values,
                             float first = 30.0f) {
  std::string out = md5;
  out.push_back('\x01');
  out.push_back('\x00');
  appendFloat(out, first);
  appendFloat(out, 60.0f);
  for (float f : values) appendFloat(out, f);
  return out;
}

}  // namespace featuretest

#include "qorncore/manager/features/NormaliserTable.h"

namespace featuretest {

// A complete table: feature i gets a normal normaliser with mean i and stddev 2.
inline qorn::NormaliserTable normalTable() {
  qorn::NormaliserTable table;
  for (int i = 0; i < qorn::kFeatureCount; ++i) {
    std::array<float, qorn::Normaliser::kStatCount> stats{};
    stats[qorn::Normaliser::kMean] = static_cast<float>(i);
    stats[qorn::Normaliser::kStddev] = 2.0f;
    table.add(qorn::Normaliser(qorn::getFeatureName(i), qorn::NormaliserType::Normal, stats));
  }
  return table;
}

// A complete table mixing the three kinds, with distinct statistics per feature.
inline qorn::NormaliserTable mixedTable() {
  qorn::NormaliserTable table;
  for (int i = 0; i < qorn::kFeatureCount; ++i) {
    std::array<float, qorn::Normaliser::kStatCount> stats{};
    for (int s = 0; s < qorn::Normaliser::kStatCount; ++s) {
      stats[s] = 0.5f + 0.125f * s + 0.01f * i;
    }
    auto type = static_cast<qorn::NormaliserType>(i % 3);
    table.add(qorn::Normaliser(qorn::getFeatureName(i), type, stats));
  }
  return table;
}

}  // namespace featuretest
