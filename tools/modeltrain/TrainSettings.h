// The training settings of the shipped link-inference models: which HLC models there are
// (what each predicts, over which features, with which C and gamma) and how the pairwise
// model is trained. The build reads them from a small committed text file that
// `zarvell-train --search` chose by cross-validation inside the training part.
//
// File format: one item per line; '#' starts a comment; blank lines are ignored.
//   normalisers SPREAD               the spread of the normal and lognormal normalisers
//                                    (1: the sample standard deviation; see fitNormaliser)
//   pairwise PAIRS SIMILAR C GAMMA   PAIRS similar and as many dissimilar training pairs;
//                                    "similar" means a label Jaccard of at least SIMILAR
//   hlc TARGET FEATURES C GAMMA      one HLC model, listed in hlcinfo in file order
//   ensemble TARGET COUNT SUBSET C GAMMA
//                                    COUNT models of one target, each trained on its own
//                                    bootstrap resample of the training songs over its own
//                                    SUBSET features drawn at random from the 72 (fixed
//                                    seeds); listed after each other in hlcinfo. Members agree
//                                    on songs far from the target's boundary and disagree on
//                                    songs near it, which spreads those songs apart in the CV.
// TARGET is KIND:MASK, MASK one digit (0/1) per label in the collection's label order:
//   has:MASK     the song carries the one label set in MASK
//   lacks:MASK   the song does not carry it
//   all:MASK     the song carries every label of MASK (a label pair, say)
//   any:MASK     the song carries at least one label of MASK
//   exactly:MASK the song's label set is MASK
// FEATURES is all (the 72 features), timbre (1-64) or rhythm (65-72). GAMMA 0 means 1 over
// the model's input count.
//
// Nothing here throws except std::bad_alloc; reading returns a status and an error text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorn::training {

enum class HlcKind { Has, Lacks, HasAll, HasAny, Exactly };
enum class FeatureGroup { All, Timbre, Rhythm };

struct HlcModelPlan {
  HlcKind kind = HlcKind::Has;
  uint32_t mask = 0;  // bit i: label i
  FeatureGroup features = FeatureGroup::All;
  double c = 1.0;
  double gamma = 0.0;
  std::vector<int> indexes = {};  // ensemble members: their own features (1-based, ascending)
  uint32_t resample = 0;          // ensemble members: the seed of their bootstrap resample
  int member = 0;                 // ensemble members: 1, 2, ... within their ensemble
  bool operator==(const HlcModelPlan&) const = default;
};

struct PairwiseModelPlan {
  std::size_t pairsPerClass = 1000;
  double similarJaccard = 2.0 / 3.0;
  double c = 1.0;
  double gamma = 0.0;
};

struct TrainSettings {
  double normaliserSpread = 1.0;
  std::vector<HlcModelPlan> hlc;
  PairwiseModelPlan pairwise;
};

// One "has" model per label over all features, C 1, gamma 1/72; the pairwise defaults.
TrainSettings defaultSettings(std::size_t labelCount);

// Whether a song with `labels` is a positive example of the model.
bool isPositive(const HlcModelPlan& plan, uint32_t labels);

// The model's input features, 1-based, in the order it reads them.
std::vector<int> featureIndexes(FeatureGroup group);
// The same for one model: an ensemble member's own features, else its group's.
std::vector<int> featureIndexes(const HlcModelPlan& plan);

// The COUNT members of an ensemble of `base`'s target, C and gamma, each over SUBSET of the
// 72 features (1 <= SUBSET <= 72). The same arguments give the same members.
std::vector<HlcModelPlan> ensembleMembers(const HlcModelPlan& base, int count, int subset);

// The model's file name: "hlc-<label>" for a "has" model of one label over all features,
// else e.g. "hlc-not-<label>", "hlc-all-<label>_<label>", "hlc-any-<label>_<label>",
// "hlc-set-<label>_<label>_<label>",
// with "-timbre" or "-rhythm" for a feature subset and "-m<k>" for ensemble member k. Unsafe
// file-name characters become '_'.
std::string modelFileName(const HlcModelPlan& plan, const std::vector<std::string>& labelNames);

// "has:010000"-style target text and the FEATURES word.
std::string targetText(const HlcModelPlan& plan, std::size_t labelCount);
const char* featureGroupName(FeatureGroup group);

// Reads a settings file for a collection of `labelCount` labels; false with `error` set
// (naming the line) when it is not one. A file without hlc or ensemble lines is refused.
// Ensemble lines are read as their members, in out.hlc.
bool readSettings(const std::string& path, std::size_t labelCount, TrainSettings& out,
                  std::string& error);
// The file text of `settings`, after the comment lines of `header` (each written as "# ...");
// runs of ensemble members are written back as their ensemble line.
std::string settingsText(const TrainSettings& settings, std::size_t labelCount,
                         const std::vector<std::string>& header);

}  // namespace qorn::training
