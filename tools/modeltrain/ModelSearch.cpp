#include "ModelSearch.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

#include "Folds.h"
#include "ModelTrainer.h"
#include "qorncore/manager/ClassVectors.h"
#include "qorncore/manager/LinkInference.h"

namespace qorn::training {
namespace {

constexpr double kGridC[] = {0.5, 1, 2, 4, 8};
constexpr double kGridGamma[] = {0.5, 1, 2};  // times 1 / the model's input count
constexpr std::size_t kGridPoints = std::size(kGridC) * std::size(kGridGamma);
constexpr std::size_t kDefaultPoint = 1 * std::size(kGridGamma) + 1;  // C 1, gamma 1/inputs
constexpr int kNeighbours = 5;
constexpr std::size_t kRescored = 40;  // screened combinations scored again by the engine's code

// The target groups a combination is made of.
constexpr const char* kGroupNames[] = {"label",        "lacks",        "pair", "set",
                                       "label/timbre", "label/rhythm", "union"};
constexpr int kGroups = static_cast<int>(std::size(kGroupNames));

// One HLC target with its validation outputs at every grid point.
struct Target {
  HlcModelPlan plan;  // c and gamma unset
  int group = 0;
  std::vector<std::vector<std::vector<float>>> out;  // [grid point][split][validation song]
  std::vector<double> logLoss;                       // [grid point]
  std::size_t best = kDefaultPoint;                  // grid point of the lowest log-loss
};

struct PairwiseCandidate {
  PairwiseModelPlan plan;
  std::vector<std::vector<float>> similarity;  // [split][i * n + j] over the validation fold
};

struct Scored {
  double jaccard = 0;
  double pairwiseShare = 0;  // of the compared pairs, those the pairwise model decided
  int groups = 0;            // bit per group
  int point = -1;            // -1: each target's own tuned point, else a shared grid point
  std::size_t pairwise = 0;
  std::size_t stage = 0;  // the normaliser spread's stage
};

std::vector<Target> makeTargets(const std::vector<reference::Song>& train, std::size_t labelCount,
                                std::size_t minSupport) {
  std::vector<Target> t;
  auto add = [&t](HlcKind kind, uint32_t mask, FeatureGroup features, int group) {
    Target target;
    target.plan.kind = kind;
    target.plan.mask = mask;
    target.plan.features = features;
    target.group = group;
    t.push_back(std::move(target));
  };
  auto support = [&train](uint32_t mask, bool exactly) {
    std::size_t n = 0;
    for (const auto& s : train)
      n += (exactly ? s.labels == mask : (s.labels & mask) == mask) ? 1 : 0;
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
  for (std::size_t a = 0; a < labelCount; ++a)
    for (std::size_t b = a + 1; b < labelCount; ++b)
      add(HlcKind::HasAny, (1u << a) | (1u << b), FeatureGroup::All, 6);
  return t;
}

// The plan at a grid point. Gamma scales with the spread squared: a wider normaliser brings
// the values closer together by that factor.
HlcModelPlan atPoint(HlcModelPlan plan, std::size_t point, double spread) {
  plan.c = kGridC[point / std::size(kGridGamma)];
  plan.gamma = kGridGamma[point % std::size(kGridGamma)] * spread * spread /
               static_cast<double>(featureIndexes(plan.features).size());
  return plan;
}

// Trains the target at every grid point on every split and keeps its validation outputs.
bool evaluateTarget(Target& t, const std::vector<reference::Song>& train,
                    const std::vector<Split>& splits, double spread, std::string& error) {
  const std::vector<int> indexes = featureIndexes(t.plan);
  t.out.assign(kGridPoints, {});
  t.logLoss.assign(kGridPoints, 0.0);
  for (std::size_t g = 0; g < kGridPoints; ++g) {
    const HlcModelPlan plan = atPoint(t.plan, g, spread);
    std::size_t count = 0;
    for (const Split& s : splits) {
      std::vector<reference::Song> songs;
      std::vector<FeatureVector> x;
      innerPart(s, train, songs, x);
      const SvmModel model = trainHlcModel(plan, songs, x, error);
      if (!model.loaded()) return false;
      std::vector<float> outputs;
      for (std::size_t i : s.val) {
        const std::vector<SvmNode> row = hlcRow(s.x[i], indexes);
        const float p = static_cast<float>(similarityOutput(model, row.data()));
        outputs.push_back(p);
        const double q = std::clamp(static_cast<double>(p), 1e-4, 1 - 1e-4);
        t.logLoss[g] -= isPositive(plan, train[i].labels) ? std::log(q) : std::log(1 - q);
        ++count;
      }
      t.out[g].push_back(std::move(outputs));
    }
    t.logLoss[g] /= static_cast<double>(count);
  }
  t.best = static_cast<std::size_t>(std::min_element(t.logLoss.begin(), t.logLoss.end()) -
                                    t.logLoss.begin());
  return true;
}

bool evaluatePairwise(PairwiseCandidate& c, const std::vector<reference::Song>& train,
                      const std::vector<Split>& splits, std::string& error) {
  PairVector pair{};
  for (const Split& s : splits) {
    std::vector<reference::Song> songs;
    std::vector<FeatureVector> x;
    innerPart(s, train, songs, x);
    const SvmModel model = trainPairwiseModel(c.plan, songs, x, error);
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

// Mean over the validation songs of the mean label Jaccard of their five most similar
// validation songs (ties in collection order); `similarity(i, j, viaPairwise)`.
template <typename Similarity>
double topFive(const Split& s, const std::vector<reference::Song>& train, Similarity similarity,
               double& pairwiseCount, double& compared) {
  const std::size_t n = s.val.size();
  double total = 0;
  std::vector<std::pair<float, std::size_t>> ranked;
  for (std::size_t i = 0; i < n; ++i) {
    ranked.clear();
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i) continue;
      bool viaPairwise = false;
      ranked.emplace_back(similarity(i, j, viaPairwise), j);
      pairwiseCount += viaPairwise ? 1 : 0;
      ++compared;
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    double sum = 0;
    const std::size_t k = std::min<std::size_t>(kNeighbours, ranked.size());
    for (std::size_t r = 0; r < k; ++r)
      sum += reference::jaccard(train[s.val[i]].labels, train[s.val[ranked[r].second]].labels);
    total += k ? sum / static_cast<double>(k) : 0.0;
  }
  return n ? total / static_cast<double>(n) : 0.0;
}

// The exact engine rules: CVs built and normalised by ClassVectorStore, compared by its
// distance; the CV path when both songs have a CV and it gives more than 0, else the
// pairwise model.
Scored score(const std::vector<const Target*>& models, int point, const PairwiseCandidate& pairwise,
             const std::vector<reference::Song>& train, const std::vector<Split>& splits) {
  Scored result;
  double total = 0, pairwiseCount = 0, compared = 0;
  for (std::size_t si = 0; si < splits.size(); ++si) {
    const std::size_t n = splits[si].val.size();
    ClassVectorStore store;
    for (std::size_t i = 0; i < n; ++i) {
      ClassVector& cv = store.entry(std::to_string(i));
      for (const Target* t : models)
        cv.push_back(t->out[point < 0 ? t->best : static_cast<std::size_t>(point)][si][i]);
    }
    store.normalise();
    std::vector<const ClassVector*> cvs(n);
    for (std::size_t i = 0; i < n; ++i) cvs[i] = store.find(std::to_string(i));
    const std::vector<float>& pw = pairwise.similarity[si];
    total += topFive(
        splits[si], train,
        [&](std::size_t i, std::size_t j, bool& viaPairwise) {
          const ClassVector& a = *cvs[i];
          const ClassVector& b = *cvs[j];
          if (!a.empty() && !b.empty()) {
            const float sim = 1.0f - ClassVectorStore::distance(a, b);
            if (sim > 0.0f) return sim;
          }
          viaPairwise = true;
          return pw[i * n + j];
        },
        pairwiseCount, compared);
  }
  result.jaccard = total / static_cast<double>(splits.size());
  result.pairwiseShare = compared > 0 ? pairwiseCount / compared : 0;
  result.point = point;
  return result;
}

// One target group at one setting on one split, for screening: the squared CV distance it
// adds between every two validation songs and each song's largest normalised entry. The CV
// distance is a sum over the models, so a combination of groups adds its groups' tables.
struct GroupTable {
  std::vector<double> d2;      // [i * n + j]
  std::vector<float> largest;  // [i]
};

GroupTable groupTable(const std::vector<const Target*>& models, int point, std::size_t split,
                      std::size_t n) {
  GroupTable g;
  std::vector<std::vector<float>> cv(n);
  for (std::size_t i = 0; i < n; ++i)
    for (const Target* t : models) {
      float v = t->out[point < 0 ? t->best : static_cast<std::size_t>(point)][split][i];
      v = v >= 0.5f ? std::sqrt(v) : v * v;  // as ClassVectorStore::normalise
      cv[i].push_back(v);
    }
  g.d2.assign(n * n, 0.0);
  g.largest.assign(n, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    for (float v : cv[i]) g.largest[i] = std::max(g.largest[i], v);
    for (std::size_t j = 0; j < n; ++j)
      for (std::size_t m = 0; m < models.size(); ++m) {
        const double d = static_cast<double>(cv[i][m]) - cv[j][m];
        g.d2[i * n + j] += d * d;
      }
  }
  return g;
}

// The screening score of a combination from its groups' tables ([group][split]).
double screen(const std::vector<const std::vector<GroupTable>*>& tables,
              const PairwiseCandidate& pairwise, const std::vector<reference::Song>& train,
              const std::vector<Split>& splits) {
  double total = 0, pairwiseCount = 0, compared = 0;
  for (std::size_t si = 0; si < splits.size(); ++si) {
    const std::size_t n = splits[si].val.size();
    std::vector<double> d2(n * n, 0.0);
    std::vector<float> largest(n, 0.0f);
    for (const auto* t : tables) {
      const GroupTable& g = (*t)[si];
      for (std::size_t k = 0; k < d2.size(); ++k) d2[k] += g.d2[k];
      for (std::size_t i = 0; i < n; ++i) largest[i] = std::max(largest[i], g.largest[i]);
    }
    const std::vector<float>& pw = pairwise.similarity[si];
    total += topFive(
        splits[si], train,
        [&](std::size_t i, std::size_t j, bool& viaPairwise) {
          if (largest[i] >= 0.5f || largest[j] >= 0.5f) {
            const float distance = static_cast<float>(1.0 - std::exp(-std::sqrt(d2[i * n + j])));
            const float sim = 1.0f - distance;
            if (sim > 0.0f) return sim;
          }
          viaPairwise = true;
          return pw[i * n + j];
        },
        pairwiseCount, compared);
  }
  return total / static_cast<double>(splits.size());
}

std::string pointText(int point) {
  if (point < 0) return "tuned";
  char text[48];
  std::snprintf(text, sizeof text, "C %g, gamma %g/n",
                kGridC[static_cast<std::size_t>(point) / std::size(kGridGamma)],
                kGridGamma[static_cast<std::size_t>(point) % std::size(kGridGamma)]);
  return text;
}

std::string groupsText(int groups) {
  std::string out;
  for (int g = 0; g < kGroups; ++g)
    if ((groups >> g) & 1) out += (out.empty() ? "" : "+") + std::string(kGroupNames[g]);
  return out;
}

std::vector<PairwiseCandidate> pairwiseCandidates(double spread) {
  std::vector<PairwiseCandidate> c(3);
  for (PairwiseCandidate& p : c) p.plan.gamma = spread * spread / (2.0 * kFeatureCount);
  c[1].plan.c = 4;
  c[2].plan.similarJaccard = 1.0;  // only pairs with the same label set count as similar
  return c;
}

// Everything trained and predicted at one normaliser spread.
struct Stage {
  double spread = 1;
  std::vector<Split> splits;
  std::vector<Target> targets;
  std::vector<PairwiseCandidate> pairwise;
  // [group][point + 1][split]: the screening tables (point -1: the tuned settings).
  std::vector<std::vector<std::vector<GroupTable>>> tables;

  std::vector<const Target*> models(int groups) const {
    std::vector<const Target*> out;
    for (const Target& t : targets)
      if ((groups >> t.group) & 1) out.push_back(&t);
    return out;
  }
  void dropTables() { tables.clear(); }
};

bool prepareStage(const SearchOptions& o, double spread, const std::vector<reference::Song>& train,
                  std::size_t labels, Stage& stage, std::ostream& report, std::string& error) {
  stage.spread = spread;
  stage.splits = makeSplits(train, o.folds, o.repeats, spread);
  for (Target& candidate : makeTargets(train, labels, o.minSupport)) {
    // A target that some split cannot train (a class missing from its other folds) is left out.
    if (!evaluateTarget(candidate, train, stage.splits, spread, error)) {
      report << "left out " << targetText(candidate.plan, labels) << " "
             << featureGroupName(candidate.plan.features) << ": " << error << "\n";
      continue;
    }
    stage.targets.push_back(std::move(candidate));
    const Target& t = stage.targets.back();
    if (o.verbose)
      std::cerr << "spread " << spread << " target " << targetText(t.plan, labels) << " "
                << featureGroupName(t.plan.features) << ": " << pointText(static_cast<int>(t.best))
                << ", log-loss " << t.logLoss[t.best]
                << " (C 1, gamma 1/n: " << t.logLoss[kDefaultPoint] << ")\n";
  }
  stage.pairwise = pairwiseCandidates(spread);
  for (PairwiseCandidate& p : stage.pairwise)
    if (!evaluatePairwise(p, train, stage.splits, error)) return false;
  stage.tables.assign(kGroups, {});
  for (int g = 0; g < kGroups; ++g) {
    const std::vector<const Target*> models = stage.models(1 << g);
    if (models.empty()) continue;
    for (int point = -1; point < static_cast<int>(kGridPoints); ++point) {
      std::vector<GroupTable> perSplit;
      for (std::size_t si = 0; si < stage.splits.size(); ++si)
        perSplit.push_back(groupTable(models, point, si, stage.splits[si].val.size()));
      stage.tables[static_cast<std::size_t>(g)].push_back(std::move(perSplit));
    }
  }
  return true;
}

// Screens every combination of the stage's groups, settings and pairwise candidates.
std::size_t screenStage(const Stage& stage, std::size_t index,
                        const std::vector<reference::Song>& train, std::vector<Scored>& results) {
  std::size_t count = 0;
  for (int groups = 1; groups < (1 << kGroups); ++groups) {
    bool usable = true;
    for (int g = 0; g < kGroups; ++g)
      if ((groups >> g) & 1 && stage.tables[static_cast<std::size_t>(g)].empty()) usable = false;
    if (!usable) continue;
    for (int point = -1; point < static_cast<int>(kGridPoints); ++point) {
      std::vector<const std::vector<GroupTable>*> tables;
      for (int g = 0; g < kGroups; ++g)
        if ((groups >> g) & 1)
          tables.push_back(
              &stage.tables[static_cast<std::size_t>(g)][static_cast<std::size_t>(point + 1)]);
      for (std::size_t p = 0; p < stage.pairwise.size(); ++p) {
        Scored r;
        r.jaccard = screen(tables, stage.pairwise[p], train, stage.splits);
        r.groups = groups;
        r.point = point;
        r.pairwise = p;
        r.stage = index;
        results.push_back(r);
        ++count;
      }
    }
  }
  return count;
}

Scored exactScore(const Stage& stage, const Scored& r, const std::vector<reference::Song>& train) {
  Scored out =
      score(stage.models(r.groups), r.point, stage.pairwise[r.pairwise], train, stage.splits);
  out.groups = r.groups;
  out.pairwise = r.pairwise;
  out.stage = r.stage;
  return out;
}

std::string spreadsText(const std::vector<double>& spreads) {
  std::string out;
  for (double v : spreads) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    out += (out.empty() ? "" : ",") + std::string(text);
  }
  return out;
}

std::string pairwiseText(const PairwiseModelPlan& p) {
  char text[96];
  std::snprintf(text, sizeof text, "pairs %zu, similar >= %.3g, C %g", p.pairsPerClass,
                p.similarJaccard, p.c);
  return text;
}

}  // namespace

bool runSearch(const SearchOptions& o, std::ostream& report, std::string& error) {
  reference::Collection collection;
  if (!reference::readArff(o.arffPath, collection, error)) return false;
  const std::vector<reference::Song> train = reference::trainingPart(collection);
  const std::size_t labels = collection.labelNames.size();

  std::vector<Stage> stages;
  std::vector<Scored> results;
  std::size_t screened = 0;
  for (std::size_t si = 0; si < o.spreads.size(); ++si) {
    Stage stage;
    if (!prepareStage(o, o.spreads[si], train, labels, stage, report, error)) return false;
    screened += screenStage(stage, si, train, results);
    stage.dropTables();
    stages.push_back(std::move(stage));
  }
  if (results.empty()) {
    error = "no HLC model can be trained on every split";
    return false;
  }
  // The screened best are scored again by the engine's own code; that score decides.
  std::stable_sort(results.begin(), results.end(),
                   [](const Scored& a, const Scored& b) { return a.jaccard > b.jaccard; });
  const std::size_t kept = std::min<std::size_t>(kRescored, results.size());
  results.resize(kept);
  for (Scored& r : results) {
    const double screenedJaccard = r.jaccard;
    r = exactScore(stages[r.stage], r, train);
    if (o.verbose && std::fabs(r.jaccard - screenedJaccard) > 1e-12)
      std::cerr << "screened " << screenedJaccard << " but scored " << r.jaccard << "\n";
  }
  std::stable_sort(results.begin(), results.end(),
                   [](const Scored& a, const Scored& b) { return a.jaccard > b.jaccard; });
  Scored baseline;
  baseline.groups = 1;
  baseline.point = static_cast<int>(kDefaultPoint);
  const auto unit = std::find(o.spreads.begin(), o.spreads.end(), 1.0);
  if (unit != o.spreads.end()) {
    baseline.stage = static_cast<std::size_t>(unit - o.spreads.begin());
    baseline = exactScore(stages[baseline.stage], baseline, train);
  }

  char line[320];
  std::snprintf(line, sizeof line,
                "%d-fold cross-validation inside the training part (%zu songs), %d repeats; the "
                "best %zu of %zu"
                " screened combinations, scored by the engine's rules",
                o.folds, train.size(), o.repeats, kept, screened);
  report
      << line
      << "\nrank  top5-jaccard  pairwise-share  spread  models  groups  hlc settings  pairwise\n";
  auto row = [&](const char* rank, const Scored& r) {
    const Stage& st = stages[r.stage];
    std::snprintf(line, sizeof line, "%4s  %.4f  %.3f  %g  %zu  %s  %s  %s\n", rank, r.jaccard,
                  r.pairwiseShare, st.spread, st.models(r.groups).size(),
                  groupsText(r.groups).c_str(), pointText(r.point).c_str(),
                  pairwiseText(st.pairwise[r.pairwise].plan).c_str());
    report << line;
  };
  for (std::size_t i = 0; i < results.size(); ++i) row(std::to_string(i + 1).c_str(), results[i]);
  if (unit != o.spreads.end()) row("base", baseline);

  const Scored& best = results.front();
  const Stage& st = stages[best.stage];
  TrainSettings chosen;
  chosen.normaliserSpread = st.spread;
  chosen.pairwise = st.pairwise[best.pairwise].plan;
  for (const Target* t : st.models(best.groups))
    chosen.hlc.push_back(atPoint(
        t->plan, best.point < 0 ? t->best : static_cast<std::size_t>(best.point), st.spread));
  std::snprintf(line, sizeof line,
                "mean top-5 Jaccard %.4f over %zu validation folds (six label models, C 1: %.4f).",
                best.jaccard, st.splits.size(), baseline.jaccard);
  const std::vector<std::string> header = {
      "Training settings of the shipped link-inference models (read by the build's zarvell-train).",
      "Chosen by: zarvell-train --search data/emotions/emotions.arff FILE --folds " +
          std::to_string(o.folds) + " --repeats " + std::to_string(o.repeats) + " --spreads " +
          spreadsText(o.spreads),
      "(cross-validation inside the training part only), " + std::string(line),
      "Models: " + groupsText(best.groups) + "; C and gamma: " + pointText(best.point) + ".", ""};
  std::ofstream out(o.outPath, std::ios::binary | std::ios::trunc);
  out << settingsText(chosen, labels, header);
  if (!out) {
    error = "cannot write " + o.outPath;
    return false;
  }
  return true;
}

}  // namespace qorn::training
