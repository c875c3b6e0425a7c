// FeatureExtractor: stage 2 of an import. Hands every item of the import to the audio
// analysis module (Sonalyx.so, loaded by name for each run and unloaded with the
// extractor), collects each song's sample hash (its md5) and stores the features of songs
// the feature store does not hold yet.
//
// Contract: one extractor per run, created, run and destroyed on the importing thread.
// The store and the callback are borrowed and must outlive the extractor. During the
// analysis call the module calls back on two threads: progress on the calling thread
// (forwarded to the engine callback), lookup on its hash worker's thread (answered from
// the store under the extractor's lock; the calling thread does not touch the store while
// the call runs). Nothing here throws except std::bad_alloc; failures are log lines
// (source "qorncore/manager/featureextractor") and result codes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sonalyx/Sonalyx.h"
#include "zarvell/module.h"

class IQornManagerCallback;
struct ProgressInfo;

namespace qorn {

class FeatureManager;

class FeatureExtractor {
 public:
  // The flags of every analysis call: community download of unknown songs and upload of
  // newly computed ones.
  static constexpr int32_t kAnalysisFlags = SONALYX_FLAG_DOWNLOAD | SONALYX_FLAG_UPLOAD;

  // Loads the analysis module ("Sonalyx"); a missing module or entry point is logged
  // (FATAL) and leaves the extractor unable to analyse. `featuresXmlPath` is where the
  // features XML file is written after each run.
  FeatureExtractor(FeatureManager* store, IQornManagerCallback* callback,
                   std::string featuresXmlPath);
  ~FeatureExtractor();
  FeatureExtractor(const FeatureExtractor&) = delete;
  FeatureExtractor& operator=(const FeatureExtractor&) = delete;

  // True when the module and its three entry points were found.
  bool canAnalyse() const { return init_ && getFeatures_ && destroy_; }

  // Analyses the items (progress codes `stage` of `stages`) and fills `md5s` with one
  // entry per item, in item order: the song's sample hash, or "" when it has none (the
  // file could not be read, or the analysis module is missing). Features of songs not yet
  // in the store are appended to it; the features XML file is written at the end.
  // 1 after a run (also when features failed or the analysis was cancelled; see
  // cancelled()), 0 when the first progress report was cancelled or no store is given
  // (md5s is left empty then).
  int run(const std::vector<FESyncItem*>& items, std::vector<std::string>& md5s, int stage,
          int stages);

  // True when the engine callback answered false to any report of the run.
  bool cancelled() const { return cancelled_; }

 private:
  static int32_t onProgress(void* handle, void* context, ProgressRecord* record);
  static int32_t onLookup(void* handle, void* context, FeatureResult* result);
  static int32_t onStore(void* handle, void* context, FeatureResult* result);

  // Sends the progress record to the engine callback; false when it asks to cancel.
  bool report(int32_t current, int32_t total, const char* caption, const std::string& detail,
              const char* detail2);
  // Runs the module over the items and stores the results (steps between Init and
  // Destroy).
  void analyse(const std::vector<FESyncItem*>& items, std::vector<std::string>& md5s);
  void storeResults(const std::vector<FESyncItem*>& items, const std::vector<FeatureResult>& results,
                    int32_t status, std::vector<std::string>& md5s);
  void saveFeaturesXml();

  int32_t stage_ = 2;
  int32_t stages_ = 4;
  IQornManagerCallback* callback_;
  FeatureManager* store_;
  std::string featuresXmlPath_;
  zarvell::Module module_;
  SonalyxInitFn init_ = nullptr;
  SonalyxDestroyFn destroy_ = nullptr;
  SonalyxGetFeaturesFn getFeatures_ = nullptr;
  std::mutex storeLock_;  // the lookup runs on the module's hash worker
  bool cancelled_ = false;
};

}  // namespace qorn
