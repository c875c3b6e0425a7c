// The settings search of zarvell-train (--search): chooses the training settings of the
// shipped models by cross-validation inside the reference collection's training part only.
//
// The training part is split into FOLDS folds, REPEATS times with different fixed shuffles.
// For every split the normalisers are fitted and every candidate model is trained on the
// other folds only; the validation fold is scored with the engine's own similarity rules
// (its CV normalising and CV distance, the pairwise model when both CVs are uninformative):
// for each validation song, the mean label Jaccard of its five most similar validation songs
// (ties in collection order), averaged over songs and splits. The held-out part is never
// read.
//
// For each normaliser spread: (1) each HLC target (a label, its absence, a frequent label
// pair, the union of a label pair, a frequent label set; per-label models on the timbre and
// rhythm features) is trained at every point of a C and gamma grid, and its own best point
// is the one of the lowest mean log-loss of its probability on the validation folds; (2)
// every combination of target groups, at one shared grid point or each target at its own,
// with each pairwise candidate, is screened (the CV distance is a sum over the models, so
// group tables add up). The best screened combinations are then scored again through
// ClassVectorStore itself, and the best of those is written as a settings file.
//
// Deterministic. Nothing here throws except std::bad_alloc; failures return false with an
// error text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qorn::training {

struct SearchOptions {
  std::string arffPath;
  std::string outPath;  // the settings file written
  int folds = 5;
  int repeats = 2;
  std::size_t minSupport = 15;  // training songs a label pair or label set needs to be a target
  std::vector<double> spreads = {1.0, 1.5, 2.5};  // normaliser spreads tried (fitNormaliser)
  bool verbose = false;
};

// Runs the search; writes the table of scored combinations to `report` and the best settings
// to options.outPath.
bool runSearch(const SearchOptions& options, std::ostream& report, std::string& error);

}  // namespace qorn::training
