#include "ModelTrainer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "qorncore/manager/LinkInference.h"
#include "qorncore/svm/SvmModel.h"

namespace qorn::training {
namespace {

constexpr double kSymmetric = 0.5;  // |skewness| at most this counts as symmetric
constexpr unsigned kLibsvmSeed = 1;
constexpr uint64_t kPairSeed = 20081;

double mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / static_cast<double>(v.size());
}

double stddev(const std::vector<double>& v, double m) {
  double s = 0;
  for (double x : v) s += (x - m) * (x - m);
  return v.size() < 2 ? 0 : std::sqrt(s / static_cast<double>(v.size() - 1));
}

double skewness(const std::vector<double>& v) {
  const double m = mean(v), sd = stddev(v, m);
  if (sd <= 0) return 0;
  double s = 0;
  for (double x : v) s += std::pow((x - m) / sd, 3);
  return s / static_cast<double>(v.size());
}

// Linear interpolation between order statistics (sorted input).
double quantile(const std::vector<double>& sorted, double p) {
  const double pos = p * static_cast<double>(sorted.size() - 1);
  const std::size_t i = static_cast<std::size_t>(pos);
  const double f = pos - static_cast<double>(i);
  return i + 1 < sorted.size() ? sorted[i] + f * (sorted[i + 1] - sorted[i]) : sorted[i];
}

// The model's first class must be label 1. libsvm orders classes by first appearance (with
// +1 first for a -1/+1 problem); a positive row first settles it either way.
void positiveFirst(std::vector<std::vector<SvmNode>>& rows, std::vector<double>& labels) {
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] == 1.0) {
      std::rotate(rows.begin(), rows.begin() + static_cast<long>(i),
                  rows.begin() + static_cast<long>(i) + 1);
      std::rotate(labels.begin(), labels.begin() + static_cast<long>(i),
                  labels.begin() + static_cast<long>(i) + 1);
      return;
    }
  }
}

SvmModel trainModel(std::vector<std::vector<SvmNode>> rows, std::vector<double> labels, double c,
                    double gamma, std::string& error) {
  positiveFirst(rows, labels);
  SvmTrainParams params;
  params.c = c;
  params.gamma = gamma;
  params.probability = true;
  std::srand(kLibsvmSeed);
  return SvmModel::train(rows, labels, params, &error);
}

bool save(const SvmModel& model, const std::string& path, std::string& error) {
  if (model.save(path)) return true;
  error = "cannot write " + path;
  return false;
}

bool writeText(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (out) return true;
  error = "cannot write " + path;
  return false;
}

TrainSettings settingsFor(const Options& o, std::size_t labelCount, std::string& error, bool& ok) {
  TrainSettings s = defaultSettings(labelCount);
  ok = o.settingsPath.empty() || readSettings(o.settingsPath, labelCount, s, error);
  if (o.pairsPerClass) s.pairwise.pairsPerClass = *o.pairsPerClass;
  if (o.pairC) s.pairwise.c = *o.pairC;
  if (o.pairGamma) s.pairwise.gamma = *o.pairGamma;
  for (HlcModelPlan& h : s.hlc) {
    if (o.hlcC) h.c = *o.hlcC;
    if (o.hlcGamma) h.gamma = *o.hlcGamma;
  }
  return s;
}

}  // namespace

Normaliser fitNormaliser(int feature, std::vector<double> values, double spread) {
  std::sort(values.begin(), values.end());
  double m = mean(values), sd = stddev(values, m);
  NormaliserType type = NormaliserType::Quantile;
  if (std::fabs(skewness(values)) <= kSymmetric && sd > 0) {
    type = NormaliserType::Normal;
  } else if (!values.empty() && values.front() > 0 && sd > 0) {
    std::vector<double> logs;
    for (double v : values) logs.push_back(std::log(v));
    if (std::fabs(skewness(logs)) <= kSymmetric) type = NormaliserType::Lognormal;
  }
  if (spread != 1.0 && type == NormaliserType::Normal) {
    sd *= spread;
  } else if (spread != 1.0 && type == NormaliserType::Lognormal) {
    // The engine's log-space parameters are mu = ln m - sigma^2 / 2 and
    // sigma^2 = ln(1 + sd^2 / m^2); write the m and sd that keep mu and widen sigma.
    const double sigma2 = std::log(1.0 + sd * sd / (m * m));
    const double mu = std::log(m) - sigma2 / 2;
    const double wide2 = sigma2 * spread * spread;
    m = std::exp(mu + wide2 / 2);
    sd = m * std::sqrt(std::expm1(wide2));
  }
  std::array<float, Normaliser::kStatCount> stats{};
  stats[Normaliser::kMean] = static_cast<float>(m);
  stats[Normaliser::kStddev] = static_cast<float>(sd);
  const double ps[] = {0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 0.875};
  for (int i = 0; i < 7; ++i)
    stats[static_cast<std::size_t>(Normaliser::kQ0125 + i)] =
        static_cast<float>(quantile(values, ps[i]));
  return Normaliser(getFeatureName(feature), type, stats);
}

NormaliserTable fitNormalisers(const std::vector<reference::Song>& songs, double spread) {
  NormaliserTable table;
  for (int f = 0; f < kFeatureCount; ++f) {
    std::vector<double> values;
    for (const auto& s : songs) values.push_back(s.features[static_cast<std::size_t>(f)]);
    table.add(fitNormaliser(f, std::move(values), spread));
  }
  return table;
}

std::vector<FeatureVector> normalised(const std::vector<reference::Song>& songs,
                                      const NormaliserTable& table) {
  std::vector<FeatureVector> out;
  for (const auto& s : songs) {
    FeatureSet set(std::vector<float>(s.features.begin(), s.features.end()));
    set.normalise(table);
    FeatureVector v{};
    std::copy(set.values().begin(), set.values().end(), v.begin());
    out.push_back(v);
  }
  return out;
}

std::vector<LabelledPair> choosePairs(const std::vector<reference::Song>& songs,
                                      std::size_t perClass, double similar, uint64_t seed) {
  std::vector<LabelledPair> alike, apart;
  for (std::size_t a = 0; a < songs.size(); ++a) {
    for (std::size_t b = a + 1; b < songs.size(); ++b) {
      const double j = reference::jaccard(songs[a].labels, songs[b].labels);
      if (j >= similar - 1e-9) alike.push_back({a, b, true});
      if ((songs[a].labels & songs[b].labels) == 0) apart.push_back({a, b, false});
    }
  }
  reference::Lcg rng(seed);
  auto shuffleHead = [&rng](std::vector<LabelledPair>& v, std::size_t n) {
    for (std::size_t i = 0; i < n && i < v.size(); ++i)
      std::swap(v[i], v[i + rng.below(v.size() - i)]);
    if (v.size() > n) v.resize(n);
  };
  shuffleHead(alike, perClass);
  shuffleHead(apart, perClass);
  std::vector<LabelledPair> out;
  for (std::size_t i = 0; i < std::max(alike.size(), apart.size()); ++i) {
    if (i < alike.size()) out.push_back(alike[i]);
    if (i < apart.size()) out.push_back(apart[i]);
  }
  return out;
}

std::vector<SvmNode> hlcRow(const FeatureVector& x, const std::vector<int>& indexes) {
  std::vector<SvmNode> row;
  row.reserve(indexes.size() + 1);
  for (std::size_t k = 0; k < indexes.size(); ++k)
    row.push_back({static_cast<int>(k + 1), x[static_cast<std::size_t>(indexes[k] - 1)]});
  row.push_back({-1, 0.0});
  return row;
}

SvmModel trainHlcModel(const HlcModelPlan& plan, const std::vector<reference::Song>& songs,
                       const std::vector<FeatureVector>& x, std::string& error) {
  const std::vector<int> indexes = featureIndexes(plan);
  // An ensemble member learns from its own bootstrap resample (drawn with replacement).
  std::vector<std::size_t> chosen(songs.size());
  reference::Lcg rng(plan.resample);
  for (std::size_t s = 0; s < songs.size(); ++s)
    chosen[s] = plan.resample != 0 ? rng.below(songs.size()) : s;
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  std::size_t positives = 0;
  for (std::size_t s : chosen) {
    rows.push_back(hlcRow(x[s], indexes));
    const bool positive = isPositive(plan, songs[s].labels);
    positives += positive ? 1 : 0;
    labels.push_back(positive ? 1.0 : -1.0);
  }
  if (positives == 0 || positives == chosen.size()) {
    error = "a model target without both classes among the training songs";
    return SvmModel();
  }
  return trainModel(std::move(rows), std::move(labels), plan.c, plan.gamma, error);
}

SvmModel trainPairwiseModel(const PairwiseModelPlan& plan, const std::vector<reference::Song>& songs,
                            const std::vector<FeatureVector>& x, std::string& error) {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  PairVector pair{};
  for (const LabelledPair& p :
       choosePairs(songs, plan.pairsPerClass, plan.similarJaccard, kPairSeed)) {
    buildPairVector(x[p.a].data(), x[p.b].data(), pair);
    rows.emplace_back(pair.begin(), pair.end());
    labels.push_back(p.similar ? 1.0 : -1.0);
  }
  return trainModel(std::move(rows), std::move(labels), plan.c, plan.gamma, error);
}

bool trainAll(const Options& o, std::string& error) {
  reference::Collection collection;
  if (!reference::readArff(o.arffPath, collection, error)) return false;
  bool settingsOk = true;
  const TrainSettings settings = settingsFor(o, collection.labelNames.size(), error, settingsOk);
  if (!settingsOk) return false;
  const std::vector<reference::Song> train = reference::trainingPart(collection);
  std::error_code ec;
  std::filesystem::create_directories(o.outFolder, ec);
  const std::string folder = o.outFolder + "/";

  // Normalisers, written and read back so that training sees exactly what the engine reads.
  const std::string normfPath = folder + "normf.xml";
  if (!writeText(normfPath,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" +
                     fitNormalisers(train, settings.normaliserSpread).sectionText(false),
                 error))
    return false;
  if (!loadNormaliserTable(normfPath) || !normaliserTable().complete()) {
    error = "the written normaliser file does not read back complete";
    return false;
  }
  const std::vector<FeatureVector> x = normalised(train, normaliserTable());

  // The HLC models, in the settings' order.
  std::string hlcinfo;
  for (const HlcModelPlan& plan : settings.hlc) {
    const std::string name = modelFileName(plan, collection.labelNames);
    SvmModel model = trainHlcModel(plan, train, x, error);
    if (!model.loaded()) {
      error = name + ": " + error;
      return false;
    }
    if (!save(model, folder + name, error)) return false;
    std::string indexes;
    for (int i : featureIndexes(plan)) indexes += (indexes.empty() ? "" : ",") + std::to_string(i);
    hlcinfo += "model " + name + " " + indexes + "\n";
    if (o.verbose) std::cerr << "trained " << name << "\n";
  }
  if (!writeText(folder + "hlcinfo", hlcinfo, error)) return false;

  // The pairwise model.
  if (o.skipPairwise) return true;
  const SvmModel pairwise = trainPairwiseModel(settings.pairwise, train, x, error);
  if (!pairwise.loaded() || !save(pairwise, folder + "model", error)) return false;
  if (o.verbose) std::cerr << "trained the pairwise model\n";
  return true;
}

}  // namespace qorn::training
