// Shared parts of the link-inference benchmark: a scratch data folder with a feature store,
// an engine over the shipped models, songs made from feature vectors, and timing.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ReferenceSet.h"
#include "qorncore/manager/LinkInference.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "qorncore/manager/qornManager.h"

namespace bench {

inline double seconds() {
  using clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// Processor time of this process (the machine may be shared: wall time alone misleads).
inline double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

inline std::string programFolder() {
  const char* env = std::getenv("ZARVELL_PROGRAM_DIR");
  return env && *env ? env : ZARVELL_PROGRAM_DIR;
}

// An engine over a fresh feature store in a scratch folder (removed at the end).
class Workspace {
 public:
  Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zarvell-bench-infer-XXXXXX");
    folder_ = ::mkdtemp(pattern.data());
    std::filesystem::create_directories(folder_ + "/networks");
    qorn::loadNormaliserTable(programFolder() + "/networks/normf.xml");
    engine_ = std::make_unique<qorn::qornManager>(folder_ + "/", programFolder() + "/networks/model",
                                                  nullptr);
    engine_->random().seed(1);
  }
  ~Workspace() {
    engine_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  qorn::qornManager& engine() { return *engine_; }

  // A song with these raw features; id from 1 upwards.
  Node* add(const qorn::FeatureVector& features) {
    auto* s = new qorn::SongNode(++lastId_);
    char md5[33];
    std::snprintf(md5, sizeof md5, "%032x", lastId_);
    s->md5 = md5;
    s->name = "song" + std::to_string(lastId_);
    engine_->addNode(s);
    engine_->featureStore().append(md5, qorn::FeatureSet(std::vector<float>(features.begin(), features.end())));
    return s;
  }

 private:
  std::string folder_;
  std::unique_ptr<qorn::qornManager> engine_;
  int lastId_ = 0;
};

inline qorn::reference::Collection collection() {
  qorn::reference::Collection c;
  std::string error;
  if (!qorn::reference::readArff(std::string(ZARVELL_SOURCE_DIR) + "/data/emotions/emotions.arff", c, error)) {
    std::fprintf(stderr, "bench_inference: %s\n", error.c_str());
    std::exit(1);
  }
  return c;
}

int runQuality(bool quick);
int runSimilarity(int pairs);
int runFull(int songs);
int runMerge(int oldSongs, int newSongs);

}  // namespace bench
