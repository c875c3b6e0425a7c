// Trains the shipped link-inference data from the reference collection's training part:
//   normf.xml        one normaliser per feature, its kind chosen from the distribution
//   hlc-*            the HLC probability models (C-SVC, RBF kernel) the settings name
//                    (TrainSettings.h), listed in hlcinfo in that order
//   model            the pairwise model (C-SVC, RBF, probability estimates, first label 1 =
//                    similar) over the 144-value pair vector of song pairs
// Deterministic: the same input gives the same files (fixed seeds for the pair choice and
// for libsvm's probability folds). Nothing here throws except std::bad_alloc.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ReferenceSet.h"
#include "TrainSettings.h"
#include "qorncore/manager/features/Normaliser.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "qorncore/svm/SvmModel.h"

namespace qorn::training {

struct Options {
  std::string arffPath;
  std::string outFolder;     // receives normf.xml, model, hlcinfo, hlc-*
  std::string settingsPath;  // empty: defaultSettings()
  // Overrides of the settings, for trying a value by hand.
  std::optional<std::size_t> pairsPerClass;
  std::optional<double> hlcC, hlcGamma, pairC, pairGamma;
  bool skipPairwise = false;  // leave the pairwise model alone (tuning the HLC models)
  bool verbose = false;
};

// The normaliser of one feature over `values`: normal when the values are nearly symmetric
// (|skewness| <= 0.5), lognormal when they are all positive and their logarithms are, else
// quantile. The nine statistics are the sample mean, standard deviation and the quantiles.
// A `spread` above 1 widens the normal and lognormal kinds by that factor (the written
// standard deviation, in log space for lognormal with its log-space mean kept), so that
// fewer values reach the clamp at -1 and 1 (at spread 1, |z| >= 1.25).
Normaliser fitNormaliser(int feature, std::vector<double> values, double spread = 1.0);
NormaliserTable fitNormalisers(const std::vector<reference::Song>& songs, double spread = 1.0);

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

// One HLC model trained on `songs` (features `x`, parallel to it), an ensemble member on its
// bootstrap resample of them; empty with `error` set when libsvm refuses (or a class has no
// song). Seeds libsvm's folds first: reproducible.
SvmModel trainHlcModel(const HlcModelPlan& plan, const std::vector<reference::Song>& songs,
                       const std::vector<FeatureVector>& x, std::string& error);
// The model's input for a song's normalised features: the plan's features, numbered from 1
// in the order hlcinfo lists them (as the engine builds it).
std::vector<SvmNode> hlcRow(const FeatureVector& x, const std::vector<int>& indexes);
// The pairwise model over pairs of `songs` chosen by choosePairs.
SvmModel trainPairwiseModel(const PairwiseModelPlan& plan, const std::vector<reference::Song>& songs,
                            const std::vector<FeatureVector>& x, std::string& error);

// Runs everything; false with `error` set on failure.
bool trainAll(const Options& options, std::string& error);

}  // namespace qorn::training
