#include "HashWorker.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "SampleHash.h"

namespace sonalyx {

HashWorker::HashWorker(const FESyncItem* items, FeatureResult* results, int count, Lookup lookup)
    : items_(items), results_(results), count_(count), lookup_(lookup) {
  needs_.reserve(static_cast<std::size_t>(std::max(count, 0)));
}

void HashWorker::start() {
  launch([this] { run(); });
}

int HashWorker::needsCount() const {
  std::lock_guard<std::mutex> lock(needsMutex_);
  return static_cast<int>(needs_.size());
}

std::vector<int> HashWorker::needs(int first, int n) const {
  std::lock_guard<std::mutex> lock(needsMutex_);
  const int size = static_cast<int>(needs_.size());
  first = std::clamp(first, 0, size);
  n = std::clamp(n, 0, size - first);
  return std::vector<int>(needs_.begin() + first, needs_.begin() + first + n);
}

void HashWorker::run() {
  for (int i = 0; i < count_ && !stopRequested(); ++i) {
    hashOne(i);
    countProcessed();
    if (needsCount() % kSignalInterval == 0) signalDataReady();
  }
  markFinished();
}

void HashWorker::hashOne(int index) {
  FeatureResult& result = results_[index];
  std::string hash;
  try {
    hash = sampleHash(items_[index].path);
  } catch (...) {
    hash.clear();
  }
  std::memset(result.md5, 0, sizeof result.md5);
  std::memcpy(result.md5, hash.data(), std::min(hash.size(), sizeof result.md5 - 1));

  if (hash.size() != SONALYX_HASH_CHARS) {
    skipped_.fetch_add(1, std::memory_order_acq_rel);
    return;
  }
  if (lookup_.fn) {
    std::int32_t answer = ZARVELL_E_FAIL;
    try {
      answer = lookup_.fn(lookup_.handle, lookup_.context, &result);
    } catch (...) {
      answer = ZARVELL_E_FAIL;  // a callback that throws knows nothing
    }
    if (answer >= 0) {
      result.hasFeatures = 1;
      result.known = 1;
      skipped_.fetch_add(1, std::memory_order_acq_rel);
      return;
    }
  }
  std::lock_guard<std::mutex> lock(needsMutex_);
  needs_.push_back(index);
}

}  // namespace sonalyx
