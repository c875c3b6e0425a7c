#include "ModelSearch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

#include "ModelTrainer.h"
#include "qorncore/manager/ClassVectors.h"
#include "qorncore/manager/LinkInference.h"

namespace qorn::training {
namespace {

constexpr uint64_t kFoldSeed = 7001;
constexpr double kGridC[] = {0.5, 1, 2, 4, 8};
constexpr double kGridGamma[] = {0.5, 1, 2};  // times 1 / the model's input count
constexpr std::size_t kGridPoints = std::size(kGridC) * std::size(kGridGamma);
constexpr std::size_t kDefaultPoint = 1 * std::size(kGridGamma) + 1;  // C 1, gamma 1/inputs
constexpr int kNeighbours = 5;

// The target groups a combination is made of.
constexpr const char* kGroupNames[] = {"label", "lacks", "pair", "set", "label/timbre", "label/rhythm"};
constexpr int kGroups = static_cast<int>(std::size(kGroupNames));

struct Split {
  std::vector<std::size_t> inner, val;  // training-part positions, ascending
  std::vector<FeatureVector> x;         // every training song, normalised by the inner fit
};

// One HLC target with its validation outputs at every grid point.
struct Target {
  HlcSpec spec;  // c and gamma unset
  int group = 0;
  std::vector<std::vector<std::vector<float>>> out;  // [grid point][split][validation song]
  std::vector<double> logLoss;                       // [grid point]
  std::size_t best = kDefaultPoint;                  // grid point of the lowest log-loss
};

struct PairwiseCandidate {
  PairwiseSpec spec;
  std::vector<std::vector<float>> similarity;  // [split][i * n + j] over the validation fold
};

struct Scored {
  double jaccard = 0;
  double pairwiseShare = 0;  // of the compared pairs, those the pairwise model decided
  int groups = 0;            // bit per group
  int point = -1;            // -1: each target's own tuned point, else a shared grid point
  std::size_t pairwise = 0;
};

std::vector<Split> makeSplits(const std::vector<reference::Song>& train, int folds, int repeats) {
  std::vector<Split> splits;
  for (int r = 0; r < repeats; ++r) {
    std::vector<std::size_t> order(train.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    reference::Lcg rng(kFoldSeed + static_cast<uint64_t>(r));
    for (std::size_t i = 0; i + 1 < order.size(); ++i) std::swap(order[i], order[i + rng.below(order.size() - i)]);
    std::vector<int> fold(train.size());
    for (std::size_t p = 0; p < order.size(); ++p) fold[order[p]] = static_cast<int>(p % static_cast<std::size_t>(folds));
    for (int k = 0; k < folds; ++k) {
      Split s;
      std::vector<reference::Song> inner;
      for (std::size_t i = 0; i < train.size(); ++i) {
        (fold[i] == k ? s.val : s.inner).push_back(i);
        if (fold[i] != k) inner.push_back(train[i]);
      }
      s.x = normalised(train, fitNormalisers(inner));
      splits.push_back(std::move(s));
    }
  }
  return splits;
}

std::vector<Target> makeTargets(const std::vector<reference::Song>& train, std::size_t labelCount,
                                std::size_t minSupport) {
  std::vector<Target> t;
  auto add = [&t](HlcKind kind, uint32_t mask, FeatureGroup features, int group) {
    Target target;
    target.spec.kind = kind;
    target.spec.mask = mask;
    target.spec.features = features;
    target.group = group;
    t.push_back(std::move(target));
  };
  auto support = [&train](uint32_t mask, bool exactly) {
    std::size_t n = 0;
    for (const auto& s : train) n += (exactly ? s.labels == mask : (s.labels & mask) == mask) ? 1 : 0;
    return n;
  };
  for (std::size_t l = 0; l < labelCount; ++l) add(HlcKind::Has, 1u << l, FeatureGroup::All, 0);
  for (std::size_t l = 0; l < labelCount; ++l) add(HlcKind::Lacks, 1u << l, FeatureGroup::All, 1);
  for (std::size_t a = 0; a < labelCount; ++a)
    for (std::size_t b = a + 1; b < labelCount; ++b)
      if (support((1u << a) | (1u << b), false) >= minSupport)
        add(HlcKind::HasAll, (1u << a) | (1u << b), FeatureGroup::All, 2);
  std::map<uint32_t, std::size_t> sets;
  for (const auto& s : train) ++sets[s.labels];
  for (const auto& [mask, n] : sets)
    if (n >= minSupport && mask != 0) add(HlcKind::Exactly, mask, FeatureGroup::All, 3);
  for (std::size_t l = 0; l < labelCount; ++l) add(HlcKind::Has, 1u << l, FeatureGroup::Timbre, 4);
  for (std::size_t l = 0; l < labelCount; ++l) add(HlcKind::Has, 1u << l, FeatureGroup::Rhythm, 5);
  return t;
}

HlcSpec atPoint(HlcSpec spec, std::size_t point) {
  spec.c = kGridC[point / std::size(kGridGamma)];
  spec.gamma = kGridGamma[point % std::size(kGridGamma)] / static_cast<double>(featureIndexes(spec.features).size());
  return spec;
}

// Trains the target at every grid point on every split and keeps its validation outputs.
bool evaluateTarget(Target& t, const std::vector<reference::Song>& train, const std::vector<Split>& splits,
                    std::string& error) {
  const std::vector<int> indexes = featureIndexes(t.spec.features);
  t.out.assign(kGridPoints, {});
  t.logLoss.assign(kGridPoints, 0.0);
  for (std::size_t g = 0; g < kGridPoints; ++g) {
    const HlcSpec spec = atPoint(t.spec, g);
    std::size_t count = 0;
    for (const Split& s : splits) {
      std::vector<reference::Song> songs;
      std::vector<FeatureVector> x;
      for (std::size_t i : s.inner) {
        songs.push_back(train[i]);
        x.push_back(s.x[i]);
      }
      const SvmModel model = trainHlcModel(spec, songs, x, error);
      if (!model.loaded()) return false;
      std::vector<float> outputs;
      for (std::size_t i : s.val) {
        const std::vector<SvmNode> row = hlcRow(s.x[i], indexes);
        const float p = static_cast<float>(similarityOutput(model, row.data()));
        outputs.push_back(p);
        const double q = std::clamp(static_cast<double>(p), 1e-4, 1 - 1e-4);
        t.logLoss[g] -= isPositive(spec, train[i].labels) ? std::log(q) : std::log(1 - q);
        ++count;
      }
      t.out[g].push_back(std::move(outputs));
    }
    t.logLoss[g] /= static_cast<double>(count);
  }
  t.best = static_cast<std::size_t>(std::min_element(t.logLoss.begin(), t.logLoss.end()) - t.logLoss.begin());
  return true;
}

bool evaluatePairwise(PairwiseCandidate& c, const std::vector<reference::Song>& train,
                      const std::vector<Split>& splits, std::string& error) {
  PairVector pair{};
  for (const Split& s : splits) {
    std::vector<reference::Song> songs;
    std::vector<FeatureVector> x;
    for (std::size_t i : s.inner) {
      songs.push_back(train[i]);
      x.push_back(s.x[i]);
    }
    const SvmModel model = trainPairwiseModel(c.spec, songs, x, error);
    if (!model.loaded()) return false;
    const std::size_t n = s.val.size();
    std::vector<float> sim(n * n, 0.0f);
    for (std::size_t a = 0; a < n; ++a)
      for (std::size_t b = a + 1; b < n; ++b) {
        buildPairVector(s.x[s.val[a]].data(), s.x[s.val[b]].data(), pair);
        const double p = similarityOutput(model, pair.data());
        sim[a * n + b] = sim[b * n + a] = static_cast<float>(std::clamp(p, 0.0, 1.0));
      }
    c.similarity.push_back(std::move(sim));
  }
  return true;
}

// The engine's similarity of two validation songs: the CV path when both have a CV and it
// gives more than 0, else the pairwise model.
float engineSimilarity(const ClassVector& a, const ClassVector& b, float pairwise, bool& viaPairwise) {
  if (!a.empty() && !b.empty()) {
    const float s = 1.0f - ClassVectorStore::distance(a, b);
    if (s > 0.0f) {
      viaPairwise = false;
      return s;
    }
  }
  viaPairwise = true;
  return pairwise;
}

// Top-5 Jaccard of one combination, averaged over the splits.
Scored score(const std::vector<const Target*>& models, int point, const PairwiseCandidate& pairwise,
             const std::vector<reference::Song>& train, const std::vector<Split>& splits) {
  Scored result;
  double total = 0, pairwiseCount = 0, compared = 0;
  for (std::size_t si = 0; si < splits.size(); ++si) {
    const Split& s = splits[si];
    const std::size_t n = s.val.size();
    ClassVectorStore store;
    for (std::size_t i = 0; i < n; ++i) {
      ClassVector& cv = store.entry(std::to_string(i));
      for (const Target* t : models)
        cv.push_back(t->out[point < 0 ? t->best : static_cast<std::size_t>(point)][si][i]);
    }
    store.normalise();
    std::vector<const ClassVector*> cvs(n);
    for (std::size_t i = 0; i < n; ++i) cvs[i] = store.find(std::to_string(i));
    double splitTotal = 0;
    std::vector<std::pair<float, std::size_t>> ranked;
    for (std::size_t i = 0; i < n; ++i) {
      ranked.clear();
      for (std::size_t j = 0; j < n; ++j) {
        if (j == i) continue;
        bool viaPairwise = false;
        ranked.emplace_back(engineSimilarity(*cvs[i], *cvs[j], pairwise.similarity[si][i * n + j], viaPairwise), j);
        pairwiseCount += viaPairwise ? 1 : 0;
        ++compared;
      }
      std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
      double sum = 0;
      for (int k = 0; k < kNeighbours; ++k)
        sum += reference::jaccard(train[s.val[i]].labels, train[s.val[ranked[static_cast<std::size_t>(k)].second]].labels);
      splitTotal += sum / kNeighbours;
    }
    total += splitTotal / static_cast<double>(n);
  }
  result.jaccard = total / static_cast<double>(splits.size());
  result.pairwiseShare = compared > 0 ? pairwiseCount / compared : 0;
  result.point = point;
  return result;
}

std::string pointText(int point) {
  if (point < 0) return "tuned";
  char text[48];
  std::snprintf(text, sizeof text, "C %g, gamma %g/n", kGridC[static_cast<std::size_t>(point) / std::size(kGridGamma)],
                kGridGamma[static_cast<std::size_t>(point) % std::size(kGridGamma)]);
  return text;
}

std::string groupsText(int groups) {
  std::string out;
  for (int g = 0; g < kGroups; ++g)
    if ((groups >> g) & 1) out += (out.empty() ? "" : "+") + std::string(kGroupNames[g]);
  return out;
}

std::vector<PairwiseCandidate> pairwiseCandidates() {
  std::vector<PairwiseCandidate> c(3);
  c[1].spec.c = 4;
  c[2].spec.similarJaccard = 1.0;  // only pairs with the same label set count as similar
  return c;
}

std::string pairwiseText(const PairwiseSpec& p) {
  char text[96];
  std::snprintf(text, sizeof text, "pairs %zu, similar >= %.3g, C %g", p.pairsPerClass, p.similarJaccard, p.c);
  return text;
}

}  // namespace

bool runSearch(const SearchOptions& o, std::ostream& report, std::string& error) {
  reference::Collection collection;
  if (!reference::readArff(o.arffPath, collection, error)) return false;
  const std::vector<reference::Song> train = reference::trainingPart(collection);
  const std::size_t labels = collection.labelNames.size();
  const std::vector<Split> splits = makeSplits(train, o.folds, o.repeats);

  std::vector<Target> targets = makeTargets(train, labels, o.minSupport);
  for (Target& t : targets) {
    if (!evaluateTarget(t, train, splits, error)) {
      error = targetText(t.spec, labels) + ": " + error;
      return false;
    }
    if (o.verbose)
      std::cerr << "target " << targetText(t.spec, labels) << " " << featureGroupName(t.spec.features) << ": "
                << pointText(static_cast<int>(t.best)) << ", log-loss " << t.logLoss[t.best] << " (C 1, gamma 1/n: "
                << t.logLoss[kDefaultPoint] << ")\n";
  }
  std::vector<PairwiseCandidate> pairwise = pairwiseCandidates();
  for (PairwiseCandidate& p : pairwise)
    if (!evaluatePairwise(p, train, splits, error)) return false;

  std::vector<Scored> results;
  for (int groups = 1; groups < (1 << kGroups); ++groups) {
    std::vector<const Target*> models;
    for (const Target& t : targets)
      if ((groups >> t.group) & 1) models.push_back(&t);
    if (models.empty()) continue;
    for (int point = -1; point < static_cast<int>(kGridPoints); ++point)
      for (std::size_t p = 0; p < pairwise.size(); ++p) {
        Scored s = score(models, point, pairwise[p], train, splits);
        s.groups = groups;
        s.pairwise = p;
        results.push_back(s);
      }
  }
  std::stable_sort(results.begin(), results.end(), [](const Scored& a, const Scored& b) { return a.jaccard > b.jaccard; });
  const auto baseline = std::find_if(results.begin(), results.end(), [](const Scored& s) {
    return s.groups == 1 && s.point == static_cast<int>(kDefaultPoint) && s.pairwise == 0;
  });

  char line[256];
  std::snprintf(line, sizeof line, "%d-fold cross-validation inside the training part (%zu songs), %d repeats",
                o.folds, train.size(), o.repeats);
  report << line << "\nrank  top5-jaccard  pairwise-share  models  groups  hlc settings  pairwise\n";
  auto row = [&](std::size_t rank, const Scored& s) {
    std::size_t count = 0;
    for (const Target& t : targets) count += (s.groups >> t.group) & 1 ? 1 : 0;
    std::snprintf(line, sizeof line, "%4zu  %.4f  %.3f  %zu  %s  %s  %s\n", rank, s.jaccard, s.pairwiseShare, count,
                  groupsText(s.groups).c_str(), pointText(s.point).c_str(), pairwiseText(pairwise[s.pairwise].spec).c_str());
    report << line;
  };
  for (std::size_t i = 0; i < results.size() && i < 30; ++i) row(i + 1, results[i]);
  if (baseline != results.end()) {
    report << "baseline (six label models, C 1, gamma 1/72, default pairwise model):\n";
    row(static_cast<std::size_t>(baseline - results.begin()) + 1, *baseline);
  }

  const Scored& best = results.front();
  TrainSettings chosen;
  chosen.pairwise = pairwise[best.pairwise].spec;
  for (const Target& t : targets)
    if ((best.groups >> t.group) & 1)
      chosen.hlc.push_back(atPoint(t.spec, best.point < 0 ? t.best : static_cast<std::size_t>(best.point)));
  std::snprintf(line, sizeof line, "mean top-5 Jaccard %.4f over %zu validation folds (six label models, C 1: %.4f).",
                best.jaccard, splits.size(), baseline != results.end() ? baseline->jaccard : 0.0);
  const std::vector<std::string> header = {
      "Training settings of the shipped link-inference models (read by the build's zarvell-train).",
      "Chosen by: zarvell-train --search data/emotions/emotions.arff FILE --folds " + std::to_string(o.folds) +
          " --repeats " + std::to_string(o.repeats),
      "(cross-validation inside the training part only), " + std::string(line),
      "Models: " + groupsText(best.groups) + "; C and gamma: " + pointText(best.point) + ".",
      ""};
  std::ofstream out(o.outPath, std::ios::binary | std::ios::trunc);
  out << settingsText(chosen, labels, header);
  if (!out) {
    error = "cannot write " + o.outPath;
    return false;
  }
  return true;
}

}  // namespace qorn::training
