// The hash stage: each song's sample hash and the engine's "already known?" lookup.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "WorkerThread.h"
#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// Runs over songs 0..count-1 on its own thread: writes each result's md5, asks the lookup
// callback (on this thread) about every song with a 32-character hash, and lists the songs
// whose features are still needed. "Data ready" is signalled whenever that list's size is a
// multiple of the signal interval (zero included) and when the worker ends.
// processed() counts hashed songs.
class HashWorker : public WorkerThread {
 public:
  static constexpr int kSignalInterval = 25;

  struct Lookup {
    SonalyxLookupFn fn = nullptr;
    void* handle = nullptr;   // the context handle, passed through
    void* context = nullptr;  // the callback context
  };

  HashWorker(const FESyncItem* items, FeatureResult* results, int count, Lookup lookup);
  ~HashWorker() { halt(); }

  // Starts the thread. Throws std::system_error when it cannot.
  void start();

  int skipped() const { return skipped_.load(std::memory_order_acquire); }
  int needsCount() const;
  // Songs first..first+n-1 of the needs-features list (n clamped to what exists).
  std::vector<int> needs(int first, int n) const;

 private:
  void run();
  void hashOne(int index);

  const FESyncItem* items_;
  FeatureResult* results_;
  int count_;
  Lookup lookup_;
  std::atomic<int> skipped_{0};
  mutable std::mutex needsMutex_;
  std::vector<int> needs_;  // guarded by needsMutex_
};

}  // namespace sonalyx
