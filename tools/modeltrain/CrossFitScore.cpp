#include "CrossFitScore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Folds.h"
#include "ModelTrainer.h"
#include "qorncore/manager/ClassVectors.h"
#include "qorncore/manager/LinkInference.h"

namespace qorn::training {
namespace {

constexpr uint64_t kPoolSeed = 7101;
constexpr std::size_t kNeighbours = 5;

// Every training song's CV from the splits that hold it out, [repeat][song], in model order.
bool crossFittedVectors(const std::vector<HlcModelPlan>& plans,
                        const std::vector<reference::Song>& train, const std::vector<Split>& splits,
                        int folds, std::vector<std::vector<ClassVector>>& out, std::string& error) {
  out.assign(splits.size() / static_cast<std::size_t>(folds),
             std::vector<ClassVector>(train.size()));
  for (std::size_t si = 0; si < splits.size(); ++si) {
    const Split& s = splits[si];
    std::vector<reference::Song> songs;
    std::vector<FeatureVector> x;
    innerPart(s, train, songs, x);
    std::vector<ClassVector>& cvs = out[si / static_cast<std::size_t>(folds)];
    for (const HlcModelPlan& plan : plans) {
      const SvmModel model = trainHlcModel(plan, songs, x, error);
      if (!model.loaded()) return false;
      const std::vector<int> indexes = featureIndexes(plan);
      for (std::size_t i : s.val) {
        const std::vector<SvmNode> row = hlcRow(s.x[i], indexes);
        cvs[i].push_back(static_cast<float>(similarityOutput(model, row.data())));
      }
    }
  }
  return true;
}

double quantile(std::vector<float> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

// Scores one pool (positions into `train`, ascending) of normalised CVs.
double scorePool(const std::vector<std::size_t>& pool, const std::vector<const ClassVector*>& cvs,
                 const std::vector<reference::Song>& train, std::vector<float>& nearest,
                 CrossFitResult& r) {
  double total = 0;
  std::vector<std::pair<float, std::size_t>> ranked;
  for (std::size_t a : pool) {
    ranked.clear();
    for (std::size_t b : pool) {
      if (b == a) continue;
      const float sim = 1.0f - ClassVectorStore::distance(*cvs[a], *cvs[b]);
      r.uninformativePairs += sim > 0.0f ? 0 : 1;
      ++r.comparedPairs;
      ranked.emplace_back(sim, b);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first > y.first; });
    const std::size_t k = std::min(kNeighbours, ranked.size());
    double sum = 0;
    for (std::size_t i = 0; i < k; ++i)
      sum += reference::jaccard(train[a].labels, train[ranked[i].second].labels);
    total += k ? sum / static_cast<double>(k) : 0.0;
    if (!ranked.empty()) nearest.push_back(ranked.front().first);
  }
  return pool.empty() ? 0.0 : total / static_cast<double>(pool.size());
}

}  // namespace

bool crossFitScore(const ScoreOptions& o, CrossFitResult& r, std::string& error) {
  reference::Collection collection;
  if (!reference::readArff(o.arffPath, collection, error)) return false;
  TrainSettings settings;
  if (!readSettings(o.settingsPath, collection.labelNames.size(), settings, error)) return false;
  const std::vector<reference::Song> train = reference::trainingPart(collection);
  r = CrossFitResult{};
  r.poolSize = std::min(reference::heldOutPart(collection).size(), train.size());
  r.models = settings.hlc.size();
  if (o.folds < 2 || o.repeats < 1 || o.pools < 1 || r.poolSize < 2) {
    error = "too few folds, repeats, pools or songs to score";
    return false;
  }
  const std::vector<Split> splits =
      makeSplits(train, o.folds, o.repeats, settings.normaliserSpread);
  std::vector<std::vector<ClassVector>> vectors;
  if (!crossFittedVectors(settings.hlc, train, splits, o.folds, vectors, error)) return false;

  std::vector<double> figures;
  std::vector<float> nearest;
  for (std::size_t rep = 0; rep < vectors.size(); ++rep) {
    ClassVectorStore store;
    for (std::size_t i = 0; i < train.size(); ++i) store.entry(std::to_string(i)) = vectors[rep][i];
    store.normalise();
    std::vector<const ClassVector*> cvs(train.size());
    for (std::size_t i = 0; i < train.size(); ++i) cvs[i] = store.find(std::to_string(i));
    reference::Lcg rng(kPoolSeed + rep);
    for (int p = 0; p < o.pools; ++p) {
      std::vector<std::size_t> order(train.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      for (std::size_t i = 0; i < r.poolSize; ++i)
        std::swap(order[i], order[i + rng.below(order.size() - i)]);
      order.resize(r.poolSize);
      std::sort(order.begin(), order.end());
      figures.push_back(scorePool(order, cvs, train, nearest, r));
    }
  }
  for (double f : figures) r.jaccard += f / static_cast<double>(figures.size());
  for (double f : figures) r.poolSpread += (f - r.jaccard) * (f - r.jaccard);
  r.poolSpread =
      figures.size() > 1 ? std::sqrt(r.poolSpread / static_cast<double>(figures.size() - 1)) : 0.0;
  r.nearestMedian = quantile(nearest, 0.5);
  r.nearestTenth = quantile(nearest, 0.1);
  return true;
}

bool runScore(const ScoreOptions& o, std::ostream& report, std::string& error) {
  CrossFitResult r;
  if (!crossFitScore(o, r, error)) return false;
  char line[400];
  std::snprintf(line, sizeof line,
                "cross-fitted top-5 jaccard %.4f, pools' standard deviation %.4f (%zu models; %d "
                "folds, %d repeats, %d pools of %zu songs per repeat); nearest similarity median "
                "%.3f, 10th percentile %.3f; uninformative pairs %ld of %ld\n",
                r.jaccard, r.poolSpread, r.models, o.folds, o.repeats, o.pools, r.poolSize,
                r.nearestMedian, r.nearestTenth, r.uninformativePairs, r.comparedPairs);
  report << line;
  return true;
}

}  // namespace qorn::training
