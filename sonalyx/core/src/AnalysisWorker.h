// The analysis stage: decode and analyse each queued song on its own thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "SongAnalyser.h"
#include "WorkerThread.h"
#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// Takes songs from its queue in order until the input is complete. processed() counts the
// songs taken (the one in progress included); completed() those whose result is written.
// The decoders are loaded before the first song and released, with the feature library,
// when the worker ends, all on the worker thread. "Data ready" is signalled after every
// song and at the end.
class AnalysisWorker : public WorkerThread {
 public:
  // Allocates the sample buffer; throws std::bad_alloc.
  AnalysisWorker(const FESyncItem* items, FeatureResult* results);
  ~AnalysisWorker() { halt(); }

  void start();
  // Appends a song (by index) and wakes the worker. Caller's thread.
  void push(int index);

  int completed() const { return completed_.load(std::memory_order_acquire); }
  int queued() const;

 private:
  void run();
  void analyseOne(int index);

  const FESyncItem* items_;
  FeatureResult* results_;
  std::unique_ptr<SongAnalyser> analyser_;
  std::atomic<int> completed_{0};
  mutable std::mutex queueMutex_;
  std::vector<int> queue_;  // guarded by queueMutex_
};

}  // namespace sonalyx
