// Link-inference fixtures: a models folder with small models trained by the test (pairwise
// and HLC), a feature store of clustered songs, and a manager over both. Songs of one
// cluster sound alike: their features lie near the cluster's centre, far from the others'.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "IQornManager.h"
#include "features/feature_test_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/LinkInference.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "qorncore/manager/qornManager.h"
#include "qorncore/svm/SvmModel.h"

namespace inferencetest {

using qorn::FeatureVector;
using qorn::kFeatureCount;
using qorn::SvmNode;

// Centre of cluster c: +-0.5 in a pattern of its own; `member` adds a small spread.
inline FeatureVector clusterFeatures(int cluster, int member) {
  FeatureVector v{};
  for (int i = 0; i < kFeatureCount; ++i) {
    const float sign = ((i / (cluster + 1)) % 2 == 0) ? 1.0f : -1.0f;
    const float spread = 0.01f * static_cast<float>((member * 31 + i * 17) % 11) - 0.05f;
    v[static_cast<std::size_t>(i)] = 0.5f * sign + spread;
  }
  return v;
}

// The identity normaliser table: normal, mean 0, stddev 0.8 (y = v, clamped into [-1, 1]).
inline qorn::NormaliserTable identityTable() {
  qorn::NormaliserTable table;
  for (int i = 0; i < kFeatureCount; ++i) {
    std::array<float, qorn::Normaliser::kStatCount> stats{};
    stats[qorn::Normaliser::kStddev] = 0.8f;
    table.add(qorn::Normaliser(qorn::getFeatureName(i), qorn::NormaliserType::Normal, stats));
  }
  return table;
}

inline std::vector<SvmNode> dense(const FeatureVector& v) {
  std::vector<SvmNode> row;
  for (int i = 0; i < kFeatureCount; ++i) row.push_back({i + 1, v[static_cast<std::size_t>(i)]});
  row.push_back({-1, 0.0});
  return row;
}

// Trains and writes a model; rows[0] must carry the label that is to come first.
inline void trainModel(const std::vector<std::vector<SvmNode>>& rows,
                       const std::vector<double>& labels, const std::string& path,
                       bool probability = true) {
  qorn::SvmTrainParams params;
  params.probability = probability;
  params.c = 4.0;
  std::srand(7);
  std::string error;
  qorn::SvmModel model = qorn::SvmModel::train(rows, labels, params, &error);
  ASSERT_TRUE(model.loaded()) << error;
  ASSERT_TRUE(model.save(path));
}

// Pairs of three clusters: label 1 for the same cluster, -1 for different ones.
inline void trainPairwise(const std::string& path, bool probability = true) {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  qorn::PairVector pair{};
  for (int m = 0; m < 12; ++m) {
    for (int c = 0; c < 3; ++c) {
      const FeatureVector a = clusterFeatures(c, m), same = clusterFeatures(c, m + 20);
      const FeatureVector other = clusterFeatures((c + 1 + m % 2) % 3, m + 40);
      qorn::buildPairVector(a.data(), same.data(), pair);
      rows.emplace_back(pair.begin(), pair.end());
      labels.push_back(1);
      qorn::buildPairVector(a.data(), other.data(), pair);
      rows.emplace_back(pair.begin(), pair.end());
      labels.push_back(-1);
    }
  }
  trainModel(rows, labels, path, probability);
}

// An HLC model that says "cluster `positive`" (positive < 0: says it of no cluster song, so
// every output stays low).
inline void trainHlc(const std::string& path, int positive) {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  if (positive < 0) {
    FeatureVector odd{};
    odd.fill(0.95f);
    for (int m = 0; m < 3; ++m) {
      odd[static_cast<std::size_t>(m)] = 0.9f;
      rows.push_back(dense(odd));
      labels.push_back(1);
    }
  }
  for (int m = 0; m < 10; ++m) {
    for (int c = 0; c < 3; ++c) {
      rows.push_back(dense(clusterFeatures(c, m)));
      labels.push_back(c == positive ? 1 : -1);
    }
  }
  if (positive >= 0) {  // a positive row first: label 1 becomes the first class
    std::swap(rows[0], rows[static_cast<std::size_t>(positive)]);
    std::swap(labels[0], labels[static_cast<std::size_t>(positive)]);
  }
  trainModel(rows, labels, path);
}

// Records every progress report; refuses from report number `refuseAt` (1-based) on.
class ProgressLog : public IQornManagerCallback {
 public:
  struct Entry {
    int stage, stages, current, total;
    std::string caption, detail, detail2;
  };
  bool progress(ProgressInfo* info) override {
    entries.push_back({info->stage, info->stages, info->current, info->total, info->caption,
                       info->detail, info->detail2});
    return refuseAt <= 0 || static_cast<int>(entries.size()) < refuseAt;
  }
  std::vector<Entry> entries;
  int refuseAt = 0;
};

// A models folder, a feature store and a manager over them. The HLC list names models for
// clusters 0, 1 and 2 unless a test writes its own.
class InferenceFixture : public ::testing::Test {
 protected:
  InferenceFixture() {
    std::filesystem::create_directories(dir.file("networks"));
    engine_ = std::make_unique<qorn::qornManager>(dir.path() + "/", modelPath(), &progress);
    // After the engine: its start loads the shipped normaliser file when it finds one.
    qorn::normaliserTable() = identityTable();
    qorn::clearLogOutputText();
    qorn::setManagerPresent(true);
  }
  ~InferenceFixture() override { qorn::setManagerPresent(false); }

  std::string modelPath() const { return dir.file("networks/model"); }
  std::string models(const std::string& name) const { return dir.file("networks/" + name); }
  void writeHlcInfo(const std::string& text) {
    std::ofstream(models("hlcinfo"), std::ios::binary | std::ios::trunc) << text;
  }
  // The pairwise model, and HLC models for clusters 0..2 listed in hlcinfo.
  void standardModels() {
    trainPairwise(modelPath());
    for (int c = 0; c < 3; ++c) trainHlc(models("hlc" + std::to_string(c)), c);
    writeHlcInfo("model hlc0\nmodel hlc1\nmodel hlc2\n");
  }
  qorn::qornManager& engine() { return *engine_; }
  // A song with features of cluster c (member m), stored under its own md5.
  qorn::SongNode* song(int id, int cluster, int member) {
    auto* s = new qorn::SongNode(id);
    s->name = "song" + std::to_string(id);
    s->md5 = featuretest::md5For(id);
    s->location = "/music/" + std::to_string(id) + ".flac";
    EXPECT_EQ(engine().addNode(s), 1);
    const FeatureVector f = clusterFeatures(cluster, member);
    EXPECT_EQ(engine().featureStore().append(s->md5, qorn::FeatureSet(std::vector<float>(f.begin(), f.end()))),
              qorn::FeatureManager::kOk);
    return s;
  }
  // A song without stored features.
  qorn::SongNode* bareSong(int id) {
    auto* s = new qorn::SongNode(id);
    s->name = "song" + std::to_string(id);
    s->md5 = featuretest::md5For(id);
    EXPECT_EQ(engine().addNode(s), 1);
    return s;
  }
  // Songs ids first.., cluster = index % clusters.
  std::vector<Node*> songs(int first, int count, int clusters = 3) {
    std::vector<Node*> out;
    for (int i = 0; i < count; ++i) out.push_back(song(first + i, i % clusters, i));
    return out;
  }
  int songLinks(const Node* n) {
    return static_cast<int>(engine().links().neighbours(n->id, 0, false).size());
  }
  long totalSongLinks(const std::vector<Node*>& set) {
    long n = 0;
    for (const Node* s : set) n += songLinks(s);
    return n / 2;
  }

  featuretest::TempDir dir;
  ProgressLog progress;
  std::unique_ptr<qorn::qornManager> engine_;
};

}  // namespace inferencetest
