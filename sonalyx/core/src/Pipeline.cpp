#include "Pipeline.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "AnalysisWorker.h"
#include "HashWorker.h"
#include "Progress.h"

namespace sonalyx {
namespace {

constexpr int kChunk = SONALYX_CHUNK_SIZE;
constexpr std::int32_t kNoExchange = -1;

// The state of one call that the distribution and collection steps share.
class Run {
 public:
  Run(AnalysisContext& context, FESyncItem* items, int count, FeatureResult* results,
      std::int32_t flags)
      : context_(context),
        items_(items),
        results_(results),
        count_(count),
        reporter_(context.progress, &context, context.progressContext),
        downloads_((flags & SONALYX_FLAG_DOWNLOAD) != 0),
        uploads_((flags & SONALYX_FLAG_UPLOAD) != 0),
        uploadFlag_(uploads_),
        hash_(items, results, count,
              HashWorker::Lookup{context.lookup, &context, context.callbackContext}),
        analysis_(items, results) {}

  std::int32_t execute();

 private:
  bool stopped() const { return context_.stop.load(std::memory_order_acquire); }
  void cancel() { context_.stop.store(true, std::memory_order_release); }
  StageCounts counts() const;
  void distribute();
  void distributeChunk(const std::vector<int>& songs);
  void collect();
  void finalUploads();
  // Uploads those of queued[first..first+n-1] that have features; false when none had.
  bool uploadRange(int first, int n, std::int32_t& status);

  AnalysisContext& context_;
  FESyncItem* items_;
  FeatureResult* results_;
  int count_;
  ProgressReporter reporter_;
  bool downloads_;
  bool uploads_;
  const bool uploadFlag_;
  HashWorker hash_;
  AnalysisWorker analysis_;
  std::vector<int> queued_;  // songs handed to the analysis stage, in order
  int taken_ = 0;            // songs taken from the hash stage's needs-features list
  int satisfied_ = 0;        // songs whose features came from the community server
  int uploaded_ = 0;         // queued songs already considered for upload
  std::int32_t last_ = kNoExchange;
};

StageCounts Run::counts() const {
  StageCounts counts;
  counts.hashed = hash_.processed();
  counts.skipped = hash_.skipped();
  counts.analysed = analysis_.processed();
  counts.pending = static_cast<int>(queued_.size()) - counts.analysed;
  return counts;
}

void Run::distributeChunk(const std::vector<int>& songs) {
  if (downloads_) {
    std::vector<SongRef> refs;
    refs.reserve(songs.size());
    for (int i : songs) refs.push_back(SongRef{&items_[i], &results_[i]});
    last_ = context_.community.download(refs);
    if (last_ != 0) downloads_ = false;
  }
  for (int i : songs) {
    if (results_[i].hasFeatures) {
      ++satisfied_;
    } else {
      analysis_.push(i);
      queued_.push_back(i);
    }
  }
  taken_ += static_cast<int>(songs.size());
}

void Run::distribute() {
  if (count_ <= 0) return;
  while (!stopped()) {
    hash_.wait();
    const int available = hash_.needsCount() - taken_;
    const int chunk = std::min(available, kChunk);
    if (chunk >= 1) distributeChunk(hash_.needs(taken_, chunk));
    if (reporter_.enabled()) {
      const StageCounts now = counts();
      const int percent =
          static_cast<int>((static_cast<long long>(now.skipped) + taken_) * 100 / count_);
      if (reporter_.report(now.analysed + satisfied_, count_, scanningPercentText(percent), now) <
          0)
        cancel();
    }
    if (count_ - hash_.skipped() - taken_ < 1) break;
  }
}

bool Run::uploadRange(int first, int n, std::int32_t& status) {
  std::vector<SongRef> refs;
  for (int k = first; k < first + n && k < static_cast<int>(queued_.size()); ++k) {
    const int i = queued_[static_cast<std::size_t>(k)];
    if (results_[i].hasFeatures) refs.push_back(SongRef{&items_[i], &results_[i]});
  }
  if (refs.empty()) return false;
  status = context_.community.upload(refs);
  return true;
}

void Run::collect() {
  if (analysis_.finished()) return;
  while (!stopped() && !queued_.empty()) {
    analysis_.wait();
    const int analysed = analysis_.processed();
    const int queuedCount = static_cast<int>(queued_.size());
    if (analysed + satisfied_ < count_ && reporter_.enabled() && analysed > 0 &&
        analysed < queuedCount) {
      const FESyncItem& next = items_[queued_[static_cast<std::size_t>(analysed)]];
      if (reporter_.report(analysed, count_, fileNameOf(next.path), counts()) < 0) cancel();
    }
    // Only songs whose analysis has completed are considered: the one in progress is
    // still being written by the analysis stage.
    if (uploads_ && !stopped() && analysis_.completed() - uploaded_ >= kChunk) {
      std::int32_t status = 0;
      if (uploadRange(uploaded_, kChunk, status)) {
        last_ = status;
        if (status != 0) uploads_ = false;
      }
      uploaded_ += kChunk;
    }
    if (analysis_.finished()) break;
  }
}

void Run::finalUploads() {
  if (!uploads_ || !uploadFlag_ || stopped()) return;
  const int queuedCount = static_cast<int>(queued_.size());
  while (analysis_.completed() - uploaded_ > 0 && uploaded_ != queuedCount) {
    const int n = std::min(kChunk, analysis_.completed() - uploaded_);
    std::int32_t status = 0;
    if (uploadRange(uploaded_, n, status)) last_ = status;  // recorded, uploads stay on
    uploaded_ += n;
  }
}

std::int32_t Run::execute() {
  if (reporter_.report(0, count_, scanningText()) < 0) return ZARVELL_E_ABORT;
  for (int i = 0; i < count_; ++i) std::memset(&results_[i], 0, sizeof results_[i]);

  hash_.start();
  analysis_.start();
  distribute();
  analysis_.completeInput();
  satisfied_ += hash_.skipped();
  collect();
  finalUploads();
  hash_.finish();
  analysis_.finish();

  if (reporter_.enabled() && !stopped()) reporter_.report(count_, count_, completeText(), counts());
  return stopped() ? ZARVELL_E_ABORT : last_;
}

}  // namespace

std::int32_t getFeatures(AnalysisContext& context, FESyncItem* items, int count,
                         FeatureResult* results, std::int32_t flags) {
  Run run(context, items, count, results, flags);
  return run.execute();
}

}  // namespace sonalyx
