#include "AnalysisWorker.h"

#include <cstring>

namespace sonalyx {

AnalysisWorker::AnalysisWorker(const FESyncItem* items, FeatureResult* results)
    : items_(items), results_(results), analyser_(std::make_unique<SongAnalyser>()) {}

void AnalysisWorker::start() {
  launch([this] { run(); });
}

void AnalysisWorker::push(int index) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.push_back(index);
  }
  signalNewData();
}

int AnalysisWorker::queued() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return static_cast<int>(queue_.size());
}

void AnalysisWorker::run() {
  bool decodersLoaded = false;
  while (!stopRequested()) {
    int index = -1;
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      if (processed() < static_cast<int>(queue_.size())) index = queue_[processed()];
    }
    if (index < 0) {
      if (inputComplete()) break;
      waitForNewData();
      continue;
    }
    countProcessed();
    if (!decodersLoaded) {
      analyser_->loadDecoders();  // a missing decoder only makes the songs fail
      decodersLoaded = true;
    }
    analyseOne(index);
    completed_.fetch_add(1, std::memory_order_acq_rel);
    signalDataReady();
  }
  analyser_->release();
  markFinished();
}

void AnalysisWorker::analyseOne(int index) {
  FeatureResult& result = results_[index];
  float features[SONALYX_FEATURE_COUNT] = {};
  Analysis analysis;
  try {
    analysis = analyser_->analyse(items_[index].path, features);
  } catch (...) {
    analysis = Analysis{};
  }
  if (analysis.ok()) {
    std::memcpy(result.features, features, sizeof features);
    result.hasFeatures = 1;
    result.mediaSeconds = analysis.mediaSeconds;
  } else {
    result.hasFeatures = 0;
    result.mediaSeconds = 0;
  }
}

}  // namespace sonalyx
