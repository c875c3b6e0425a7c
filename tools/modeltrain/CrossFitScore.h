// The cross-fitted score of a settings file (zarvell-train --score): how well its models
// would link songs, measured inside the reference collection's training part only, in the
// shape of the link-quality benchmark.
//
// For each repeat, every training song gets its CV from models trained on the folds that do
// not hold it (Folds.h), so each song is scored by models that never saw it. Songs are then
// compared in pools of the held-out part's size (the benchmark's pool; only the number of
// held-out songs is read): per pool, the mean label Jaccard of each song's five most similar
// pool songs by the engine's CV rules (ClassVectorStore normalising and distance; ties in
// collection order). Pairs whose CVs are both uninformative would go to the pairwise model;
// they count as similarity 0 here and are reported.
//
// Beside the score it reports the scale of the similarities the models give: each pool
// song's largest similarity to another pool song (median and 10th percentile), since the
// full inference's thresholds (0.4 for extra links) read those values.
//
// Deterministic. Nothing here throws except std::bad_alloc; failures return false with an
// error text.
#pragma once

#include <ostream>
#include <string>

namespace qorn::training {

struct ScoreOptions {
  std::string arffPath;
  std::string settingsPath;
  int folds = 5;
  int repeats = 2;
  int pools = 40;  // per repeat
};

struct CrossFitResult {
  double jaccard = 0;           // mean over pools of the pool's mean top-5 Jaccard
  double poolSpread = 0;        // standard deviation of the pools' figures about that mean
  double nearestMedian = 0;     // of each pool song's largest similarity in its pool
  double nearestTenth = 0;      // 10th percentile of the same
  long uninformativePairs = 0;  // compared pairs whose CVs were both uninformative
  long comparedPairs = 0;
  std::size_t poolSize = 0;
  std::size_t models = 0;
};

bool crossFitScore(const ScoreOptions& options, CrossFitResult& result, std::string& error);
// Runs crossFitScore and prints its result as one line to `report`.
bool runScore(const ScoreOptions& options, std::ostream& report, std::string& error);

}  // namespace qorn::training
