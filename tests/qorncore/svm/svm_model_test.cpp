// The libsvm wrapper: loading, training and saving, move semantics, and the dense
// prediction path against libsvm's own probability estimates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "qorncore/svm/SvmModel.h"

namespace {

using qorn::SvmModel;
using qorn::SvmNode;

std::string scratch(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("zarvell-svm-" + std::to_string(::getpid()) + "-" + name)).string();
}

std::vector<SvmNode> row(const std::vector<double>& values) {
  std::vector<SvmNode> r;
  for (std::size_t i = 0; i < values.size(); ++i) r.push_back({static_cast<int>(i + 1), values[i]});
  r.push_back({-1, 0.0});
  return r;
}

// Points around two centres in `dims` dimensions, labels 1 and -1.
void twoBlobs(int dims, int perClass, std::vector<std::vector<SvmNode>>& rows, std::vector<double>& labels) {
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 0.6);
  for (int i = 0; i < perClass; ++i) {
    for (double label : {1.0, -1.0}) {
      std::vector<double> v(static_cast<std::size_t>(dims));
      for (double& x : v) x = 0.4 * label + noise(rng);
      rows.push_back(row(v));
      labels.push_back(label);
    }
  }
}

TEST(SvmModel, TrainsSavesAndLoadsAndMoves) {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  twoBlobs(6, 30, rows, labels);
  std::srand(3);
  SvmModel trained = SvmModel::train(rows, labels, {});
  ASSERT_TRUE(trained.loaded());
  EXPECT_TRUE(trained.hasProbability());
  EXPECT_EQ(trained.classCount(), 2);
  EXPECT_EQ(trained.labels(), (std::vector<int>{1, -1}));
  EXPECT_EQ(trained.type(), qorn::SvmType::CSvc);
  const std::string path = scratch("model");
  ASSERT_TRUE(trained.save(path));
  SvmModel loaded = SvmModel::load(path);
  std::filesystem::remove(path);
  ASSERT_TRUE(loaded.loaded());
  EXPECT_EQ(loaded.supportVectorCount(), trained.supportVectorCount());
  const std::vector<SvmNode> probe = row({0.3, 0.2, 0.5, 0.1, 0.4, 0.2});
  double a[2], b[2];
  trained.predictProbability(probe.data(), a);
  loaded.predictProbability(probe.data(), b);
  EXPECT_NEAR(a[0], b[0], 1e-9);
  EXPECT_GT(a[0], 0.5);  // near the first class's centre

  SvmModel moved = std::move(loaded);
  EXPECT_FALSE(loaded.loaded());  // NOLINT: a moved-from model is empty
  EXPECT_TRUE(moved.loaded());
  EXPECT_EQ(loaded.classCount(), 0);
  EXPECT_EQ(loaded.firstClassProbability(probe.data()), 0.0);

  EXPECT_FALSE(SvmModel::load(scratch("absent")).loaded());
  std::string error;
  EXPECT_FALSE(SvmModel::train({}, {}, {}, &error).loaded());
  EXPECT_FALSE(error.empty());
  qorn::SvmTrainParams bad;
  bad.c = -1;
  EXPECT_FALSE(SvmModel::train(rows, labels, bad, &error).loaded());
  EXPECT_FALSE(error.empty());
}

// The dense path agrees with libsvm on models trained here and on the shipped pairwise
// model, for inputs inside and outside the training range (and sparse ones).
TEST(SvmModel, DensePathMatchesLibsvmProbabilities) {
  std::vector<SvmModel> models;
  std::vector<int> dims;
  for (int d : {3, 144}) {
    std::vector<std::vector<SvmNode>> rows;
    std::vector<double> labels;
    twoBlobs(d, 40, rows, labels);
    std::srand(3);
    models.push_back(SvmModel::train(rows, labels, {}));
    dims.push_back(d);
  }
  const char* program = std::getenv("ZARVELL_PROGRAM_DIR");
  if (program != nullptr) {
    SvmModel shipped = SvmModel::load(std::string(program) + "/networks/model");
    if (shipped.loaded()) {
      models.push_back(std::move(shipped));
      dims.push_back(144);
    }
  }
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> value(-1.5, 1.5);
  for (std::size_t m = 0; m < models.size(); ++m) {
    ASSERT_TRUE(models[m].loaded());
    for (int t = 0; t < 200; ++t) {
      std::vector<SvmNode> x;
      for (int i = 0; i < dims[m] + 2; ++i)  // two indexes past the model's
        if (t % 4 != 0 || i % 3 != 0) x.push_back({i + 1, value(rng)});
      x.push_back({-1, 0.0});
      double expected[2];
      models[m].predictProbability(x.data(), expected);
      EXPECT_NEAR(models[m].firstClassProbability(x.data()), expected[0], 1e-9) << m << " " << t;
    }
  }
}

TEST(SvmModel, ModelsOutsideTheDensePathAskLibsvm) {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  twoBlobs(4, 20, rows, labels);
  qorn::SvmTrainParams plain;
  plain.probability = false;
  SvmModel noProbability = SvmModel::train(rows, labels, plain);
  ASSERT_TRUE(noProbability.loaded());
  EXPECT_FALSE(noProbability.hasProbability());
  const std::vector<SvmNode> probe = row({0.4, 0.4, 0.4, 0.4});
  EXPECT_EQ(noProbability.predict(probe.data()), 1.0);
  EXPECT_EQ(noProbability.firstClassProbability(probe.data()), 0.0);  // nothing to estimate

  qorn::SvmTrainParams regression;
  regression.type = qorn::SvmType::EpsilonSvr;
  std::srand(3);
  SvmModel svr = SvmModel::train(rows, labels, regression);
  ASSERT_TRUE(svr.loaded());
  EXPECT_GT(svr.svrProbability(), 0.0);
  EXPECT_GT(svr.predict(probe.data()), 0.0);
}

}  // namespace
