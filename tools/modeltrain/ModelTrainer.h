// Trains the shipped link-inference data from the reference collection's training part:
//   normf.xml        one normaliser per feature, its kind chosen from the distribution
//   hlc-<label>      one probability model per emotion label over the 72 normalised
//                    features (C-SVC, RBF kernel), listed in hlcinfo
//   model            the pairwise model (C-SVC, RBF, probability estimates, first label 1 =
//                    similar) over the 144-value pair vector of song pairs
// Deterministic: the same input gives the same files (fixed seeds for the pair choice and
// for libsvm's probability folds). Nothing here throws except std::bad_alloc.
#pragma once

#include <string>
#include <vector>

#include "ReferenceSet.h"
#include "qorncore/manager/features/Normaliser.h"
#include "qorncore/manager/features/NormaliserTable.h"

namespace qorn::training {

struct Options {
  std::string arffPath;
  std::string outFolder;        // receives normf.xml, model, hlcinfo, hlc-*
  std::size_t pairsPerClass = 1000;
  double similarJaccard = 2.0 / 3.0;  // pairs at least this alike are "similar"
  double hlcC = 1.0;
  double hlcGamma = 0.0;      // 0: 1 / 72
  double pairC = 1.0;
  double pairGamma = 0.0;     // 0: 1 / 144
  bool skipPairwise = false;  // leave the pairwise model alone (tuning the HLC models)
  bool verbose = false;
};

// The normaliser of one feature over `values`: normal when the values are nearly symmetric
// (|skewness| <= 0.5), lognormal when they are all positive and their logarithms are, else
// quantile. The nine statistics are the sample mean, standard deviation and the quantiles.
Normaliser fitNormaliser(int feature, std::vector<double> values);
NormaliserTable fitNormalisers(const std::vector<reference::Song>& songs);

// The songs' features normalised with `table` (the engine's normalise).
std::vector<FeatureVector> normalised(const std::vector<reference::Song>& songs,
                                      const NormaliserTable& table);

// Song index pairs of the training part: the first `perClass` entries (shuffled choice) of
// similar pairs (Jaccard >= similar) and as many dissimilar ones (disjoint label sets),
// interleaved similar first.
struct LabelledPair {
  std::size_t a, b;
  bool similar;
};
std::vector<LabelledPair> choosePairs(const std::vector<reference::Song>& songs,
                                      std::size_t perClass, double similar, uint64_t seed);

// Runs everything; false with `error` set on failure.
bool trainAll(const Options& options, std::string& error);

}  // namespace qorn::training
