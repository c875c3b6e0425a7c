// Link inference: how alike two songs sound, and the two routines that turn that into
// song-to-song links (the full inference over a song set, the merge of new songs into a
// network). qornManager's similarity / inferLinksFull / inferLinksMerge are served here.
//
// Similarity comes from the songs' class vectors (CVs, ClassVectors.h) when both have an
// informative one, else from the pairwise model: a two-class libsvm model with probability
// estimates, first label 1 = "similar", over the pair vector (PairVector below). Models are
// libsvm files in the models folder: the pairwise one at the engine's model path, the HLC
// models listed in its "hlcinfo".
//
// Lifecycle: the pairwise model is loaded once, when first needed, and kept for the life of
// the engine (a load that failed is tried again at the next run); HLC models are loaded one
// at a time while CVs are built and released after; CVs and the comparison counters live for
// one run. Runs on the engine's thread (the import's); not locked.
//
// Nothing here throws except std::bad_alloc; failures are log lines (source
// "qorncore/manager/qornManagerSVM"), console lines, error reports and result codes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ClassVectors.h"
#include "FullInference.h"
#include "qorncore/manager/features/FeatureSet.h"
#include "qorncore/svm/SvmModel.h"

class Node;

namespace qorn {

class qornManager;

// The pairwise model's input: for i = 0..71, node i (index i + 1) holds the smaller of the
// two songs' normalised values of feature i and node 72 + i (index 73 + i) the larger; then
// the terminator. The same whichever song comes first.
using PairVector = std::array<SvmNode, 2 * kFeatureCount + 1>;
void buildPairVector(const float* a, const float* b, PairVector& out);

// The output of a model used for similarity (pairwise and HLC alike), in [0, 1] for a
// classifier: its probability of the first class, which must be labelled 1 (else 0). A model
// that is not a two-class model logs FATAL and gives 0; a model that is no classifier gives
// its plain prediction (written to the engine console).
double similarityOutput(const SvmModel& model, const SvmNode* x);

class LinkInference {
 public:
  explicit LinkInference(qornManager& engine);
  ~LinkInference();
  LinkInference(const LinkInference&) = delete;
  LinkInference& operator=(const LinkInference&) = delete;

  // In [0, 1]; symmetric; 0 when it cannot be told (no features, no model).
  float similarity(const Node* a, const Node* b);
  // 1 success, 0 failure (no usable pairwise model: error 3) or cancel.
  int inferFull(const std::vector<Node*>& songs, float linkParam);
  int inferMerge(const std::vector<Node*>& oldSongs, std::vector<Node*>& newNodes, bool insert);

  // Loads the pairwise model unless it is loaded; false when it cannot be used (logged,
  // error 3 reported).
  bool loadPairwiseModel();
  // CVs of `songs` from the HLC models, replacing those held; releaseClassVectors ends them.
  void buildClassVectors(const std::vector<Node*>& songs);
  void releaseClassVectors() {
    cvs_.clear();
    sides_.clear();
  }
  const ClassVectorStore& classVectors() const { return cvs_; }

  long cvComparisons() const { return cvComparisons_; }
  long svmComparisons() const { return svmComparisons_; }
  const FullInferenceStats& lastFullRun() const { return lastFull_; }

 private:
  // One side of a comparison: its CV and its normalised features (the store's cached array),
  // looked up once per song while the CVs stay as they are: the cache is emptied whenever
  // they change and before a lone similarity().
  struct Side {
    const ClassVector* cv = nullptr;
    bool hasFeatures = false;  // a valid raw feature set
    bool normalisedFetched = false;
    const float* normalised = nullptr;
  };
  Side& side(const Node* song);
  const float* normalisedOf(const Node* song, Side& s);
  float compare(const Node* a, Side& sa, const Node* b, Side& sb);
  double pairwiseOutput(const float* a, const float* b);

  bool compareWithPool(Node* y, const std::vector<Node*>& pool, std::vector<ScoredSong>& out);
  bool reportProgress(const char* caption, int current, int total, const std::string& detail,
                      const char* detail2 = "");
  bool hlcOutputs(const HlcEntry& entry, const SvmModel& model, const std::vector<Node*>& songs,
                  std::size_t position, std::vector<char>& warned);

  std::vector<Node*> keyTracks(const std::vector<Node*>& oldSongs);
  void removeNewNodes(std::vector<Node*>& newNodes);

  qornManager& engine_;
  SvmModel pairwise_;
  bool pairwiseUsable_ = false;
  bool triedPairwise_ = false;  // a lone similarity() tries a failed load once per run
  ClassVectorStore cvs_;
  std::unordered_map<const Node*, Side> sides_;
  long cvComparisons_ = 0;
  long svmComparisons_ = 0;
  FullInferenceStats lastFull_;
  PairVector pair_{};
};

}  // namespace qorn
