// Similarity, model loading and CV building of the link-inference module, on models trained
// by the test and a feature store of clustered songs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "../engine/engine_test_support.h"
#include "inference_test_support.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/ErrorReport.h"

namespace inferencetest {
namespace {

using enginetest::kDebug;
using enginetest::kError;
using enginetest::kFatal;
using enginetest::kInfo;
using enginetest::kWarn;
constexpr const char* kSvm = "qorncore/manager/qornManagerSVM";

TEST(PairVector, HalvesHoldMinimaThenMaximaWhicheverSongComesFirst) {
  FeatureVector a = clusterFeatures(0, 1), b = clusterFeatures(1, 2);
  qorn::PairVector ab{}, ba{}, aa{};
  qorn::buildPairVector(a.data(), b.data(), ab);
  qorn::buildPairVector(b.data(), a.data(), ba);
  qorn::buildPairVector(a.data(), a.data(), aa);
  for (int i = 0; i < kFeatureCount; ++i) {
    const auto lo = static_cast<std::size_t>(i), hi = static_cast<std::size_t>(kFeatureCount + i);
    EXPECT_EQ(ab[lo].index, i + 1);
    EXPECT_EQ(ab[hi].index, kFeatureCount + i + 1);
    EXPECT_EQ(ab[lo].value, std::min(a[lo], b[lo]));
    EXPECT_EQ(ab[hi].value, std::max(a[lo], b[lo]));
    EXPECT_EQ(ab[lo].value, ba[lo].value);
    EXPECT_EQ(ab[hi].value, ba[hi].value);
    EXPECT_EQ(aa[lo].value, aa[hi].value);  // identical songs: equal halves
    EXPECT_EQ(aa[lo].value, a[lo]);
  }
  EXPECT_EQ(ab[2 * kFeatureCount].index, -1);
}

TEST(ClassVectors, DistanceRules) {
  using qorn::ClassVectorStore;
  enginetest::LogCapture log;
  struct Case {
    qorn::ClassVector a, b;
    float distance;
  } cases[] = {
      {{0.1f, 0.4f}, {0.2f, 0.49f}, 1.0f},                    // both uninformative
      {{0.9f, 0.1f}, {0.9f, 0.1f}, 0.0f},                     // identical
      {{0.9f, 0.1f}, {0.1f, 0.4f}, 1.0f - std::exp(-std::sqrt(0.64f + 0.09f))},  // one informative
      {{1.0f, 0.0f}, {0.0f, 1.0f}, 1.0f - std::exp(-std::sqrt(2.0f))},
      {{0.9f}, {0.9f, 0.1f}, 1.0f},                           // lengths differ
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(ClassVectorStore::distance(c.a, c.b), c.distance, 1e-6);
    EXPECT_NEAR(ClassVectorStore::distance(c.b, c.a), c.distance, 1e-6);
  }
  EXPECT_EQ(log.count(kError, kSvm, "incosistent CV sizes: 1:2"), 1);

  ClassVectorStore store;
  store.entry("a") = {0.81f, 0.16f};
  store.entry("b") = {0.1f, 0.2f};
  store.entry("c") = {};
  EXPECT_EQ(store.normalise(), 2u);  // "b", and the empty "c"
  EXPECT_EQ(log.count(kDebug, kSvm, "2 insufficient cv entries"), 1);
  EXPECT_FLOAT_EQ((*store.find("a"))[0], 0.9f);    // 0.5 or more: square root
  EXPECT_FLOAT_EQ((*store.find("a"))[1], 0.0256f); // below: square
  EXPECT_FLOAT_EQ(store.similarity("a", "a"), 1.0f);
  EXPECT_EQ(store.similarity("a", "c"), 0.0f);     // empty CV: no CV similarity
  EXPECT_EQ(store.similarity("a", "zz"), 0.0f);
}

TEST(HlcInfo, ReadsModelLinesWithTheirIndexes) {
  featuretest::TempDir dir;
  enginetest::LogCapture log;
  std::ofstream(dir.file("hlcinfo"))
      << "# models\nmodel one 3, 5,72 0 73 x\nmodels-two\nmodel two\nother line\nmodel\n";
  const auto entries = qorn::readHlcInfo(dir.path() + "/");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);  // "models-two" and "model" name no file
  EXPECT_EQ((*entries)[0].path, dir.file("one"));
  EXPECT_EQ((*entries)[0].indexes, (std::vector<int>{3, 5, 72}));
  EXPECT_EQ((*entries)[1].path, dir.file("two"));
  EXPECT_EQ((*entries)[1].indexes.size(), 72u);
  EXPECT_EQ(log.count(kWarn, kSvm, " using 3 indexes"), 1);
  EXPECT_EQ(log.count(kWarn, kSvm, "no indexes specified, using all indexes"), 1);
  EXPECT_EQ(log.count(kInfo, kSvm, "found HLC model " + dir.file("one") + " model one 3, 5,72 0 73 x"), 1);
  EXPECT_FALSE(qorn::readHlcInfo(dir.file("absent/")));
  EXPECT_EQ(qorn::modelsFolder("/opt/zarvell/networks/model"), "/opt/zarvell/networks/");
  EXPECT_EQ(qorn::modelsFolder("model"), "");
}

// svm-predict -b 1 on the same vectors gives the same probabilities (libsvm-tools).
TEST_F(InferenceFixture, ProbabilitiesMatchSvmPredict) {
  trainPairwise(modelPath());
  if (std::system("command -v svm-predict > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "svm-predict (Debian libsvm-tools) is not installed";
  qorn::SvmModel model = qorn::SvmModel::load(modelPath());
  ASSERT_TRUE(model.loaded());
  std::ostringstream input;
  std::vector<double> ours;
  qorn::PairVector pair{};
  for (int i = 0; i < 12; ++i) {
    const FeatureVector a = clusterFeatures(i % 3, i + 60), b = clusterFeatures((i / 3) % 3, i + 70);
    qorn::buildPairVector(a.data(), b.data(), pair);
    input << "1";
    char cell[64];
    for (int k = 0; k < 2 * kFeatureCount; ++k) {
      std::snprintf(cell, sizeof cell, " %d:%.17g", pair[k].index, pair[k].value);
      input << cell;
    }
    input << "\n";
    ours.push_back(qorn::similarityOutput(model, pair.data()));
  }
  featuretest::writeFile(dir.file("pairs.txt"), input.str());
  const std::string cmd = "svm-predict -b 1 " + dir.file("pairs.txt") + " " + modelPath() + " " +
                          dir.file("out.txt") + " > /dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::istringstream out(featuretest::readFile(dir.file("out.txt")));
  std::string word, first, second;
  out >> word >> first >> second;
  ASSERT_EQ(word, "labels");
  ASSERT_EQ(first, "1");  // the similar class comes first
  for (double p : ours) {
    double label = 0, p1 = 0, p2 = 0;
    ASSERT_TRUE(out >> label >> p1 >> p2);
    EXPECT_NEAR(p, p1, 1e-6);
  }
}

TEST_F(InferenceFixture, SimilarityIsSymmetricAndSeparatesClusters) {
  standardModels();
  std::vector<Node*> s = songs(1, 9);
  qorn::LinkInference& li = engine().linkInference();
  for (bool withCvs : {false, true}) {
    if (withCvs) li.buildClassVectors(s);
    for (std::size_t i = 0; i < s.size(); ++i) {
      for (std::size_t j = 0; j < s.size(); ++j) {
        const float ab = engine().similarity(s[i], s[j]), ba = engine().similarity(s[j], s[i]);
        EXPECT_EQ(ab, ba) << i << " " << j;
        EXPECT_GE(ab, 0.0f);
        EXPECT_LE(ab, 1.0f);
        if (i != j && i % 3 == j % 3) {
          EXPECT_GT(ab, 0.6f) << "same cluster " << i << " " << j;
        }
        if (i % 3 != j % 3) {
          EXPECT_LT(ab, 0.4f) << "other cluster " << i << " " << j;
        }
      }
    }
    if (withCvs) {
      EXPECT_EQ(li.svmComparisons(), 81 * 2);  // only the pass without CVs used the model
      EXPECT_EQ(li.cvComparisons(), 81 * 2);
    }
  }
}

TEST_F(InferenceFixture, UninformativeCvsFallBackToThePairwiseModel) {
  trainPairwise(modelPath());
  trainHlc(models("never"), -1);
  writeHlcInfo("model never\n");
  std::vector<Node*> s = songs(1, 4);
  qorn::LinkInference& li = engine().linkInference();
  const float before = engine().similarity(s[0], s[3]);  // no CVs: the pairwise model
  li.buildClassVectors(s);
  ASSERT_EQ(li.classVectors().size(), 4u);
  for (Node* n : s) {
    const qorn::ClassVector* cv = li.classVectors().find(n->md5);
    ASSERT_TRUE(cv && cv->size() == 1u);
    EXPECT_LT((*cv)[0], 0.5f);
  }
  const long svm = li.svmComparisons();
  EXPECT_EQ(engine().similarity(s[0], s[3]), before);
  EXPECT_EQ(li.svmComparisons(), svm + 1);
  EXPECT_EQ(li.cvComparisons(), 0);
}

TEST_F(InferenceFixture, SongsWithoutFeaturesHaveNoSimilarityAndNoCv) {
  standardModels();
  enginetest::LogCapture log;
  Node* a = song(1, 0, 0);
  auto* bare = bareSong(2);
  auto* protectedSong = bareSong(3);
  protectedSong->location = "/music/shop.m4p";
  std::vector<Node*> set{a, bare, protectedSong, nullptr, a};
  engine().linkInference().buildClassVectors(set);
  EXPECT_EQ(engine().similarity(a, bare), 0.0f);
  EXPECT_EQ(engine().similarity(bare, protectedSong), 0.0f);
  EXPECT_EQ(engine().similarity(a, nullptr), 0.0f);
  EXPECT_EQ(engine().linkInference().classVectors().size(), 1u);
  EXPECT_EQ(log.count(kWarn, kSvm, "no valid features for " + bare->md5 + " "), 1);
  EXPECT_EQ(log.countPrefix("no valid features for " + protectedSong->md5), 0);
  EXPECT_EQ(log.count(kError, kSvm, "null ptr entry in toVisitNodes!"), 1);
  EXPECT_EQ(log.count(kWarn, kSvm, "duplicate song " + a->md5 + " /music/1.flac"), 3);
  EXPECT_EQ(log.count(kDebug, kSvm, "creating 5 CVs"), 1);
  EXPECT_EQ(log.count(kInfo, kSvm, "normalising CVs"), 1);
}

TEST_F(InferenceFixture, MissingHlcModelsLeaveNoGapAndMissingListMeansNoCvs) {
  standardModels();
  enginetest::LogCapture log;
  std::vector<Node*> s = songs(1, 3);
  writeHlcInfo("model hlc0\nmodel gone\nmodel hlc2\n");
  engine().linkInference().buildClassVectors(s);
  EXPECT_EQ(log.count(kError, kSvm, "model file does not exist '" + models("gone") + "'"), 1);
  EXPECT_EQ(engine().linkInference().classVectors().find(s[0]->md5)->size(), 2u);
  EXPECT_EQ(log.countPrefix("duplicate song"), 0);

  std::filesystem::remove(models("hlcinfo"));
  engine().linkInference().buildClassVectors(s);
  EXPECT_EQ(log.count(kError, kSvm, "no HLC models found"), 1);
  EXPECT_TRUE(engine().linkInference().classVectors().empty());
  EXPECT_GT(engine().similarity(s[0], s[0]), 0.6f);  // the pairwise model still answers
}

TEST_F(InferenceFixture, ModelsThatCannotServeAreRefusedWithError3) {
  enginetest::LogCapture log;
  std::ostringstream console;
  qorn::ScopedEngineConsole scoped(console);
  std::vector<Node*> s = songs(1, 6);
  std::vector<Node*> none;
  // No model file at all.
  EXPECT_EQ(engine().inferLinksFull(s, 0.5f), 0);
  EXPECT_EQ(engine().inferLinksMerge(s, none, true), 0);
  EXPECT_EQ(log.count(kError, kSvm, "can't open model file " + modelPath()), 2);
  EXPECT_EQ(qorn::logOutputText(),
            "Can't initialise link inference module.\r\nCan't initialise link inference module.\r\n");
  EXPECT_EQ(engine().similarity(s[0], s[1]), 0.0f);
  EXPECT_TRUE(progress.entries.empty());

  // A model without probability estimates.
  qorn::clearLogOutputText();
  trainPairwise(modelPath(), false);
  EXPECT_EQ(engine().inferLinksFull(s, 0.5f), 0);
  EXPECT_EQ(log.count(kError, kSvm, "model does not support probabiliy estimates!"), 1);
  EXPECT_NE(console.str().find("Error: svm model does not support probabiliy estimates\n"),
            std::string::npos);
  EXPECT_EQ(qorn::logOutputText(), "Can't initialise link inference module.\r\n");
  EXPECT_EQ(totalSongLinks(s), 0);

  // The model arrives: the next run loads it.
  trainPairwise(modelPath());
  EXPECT_EQ(engine().inferLinksFull(s, 0.5f), 1);
  EXPECT_GT(totalSongLinks(s), 0);
}

TEST_F(InferenceFixture, AModelWithMoreClassesGivesNoSimilarity) {
  enginetest::LogCapture log;
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  for (int m = 0; m < 6; ++m)
    for (int c = 0; c < 3; ++c) {
      rows.push_back(dense(clusterFeatures(c, m)));
      labels.push_back(c + 1);
    }
  trainModel(rows, labels, models("three"));
  qorn::SvmModel model = qorn::SvmModel::load(models("three"));
  ASSERT_EQ(model.classCount(), 3);
  EXPECT_EQ(qorn::similarityOutput(model, dense(clusterFeatures(0, 1)).data()), 0.0);
  EXPECT_EQ(log.count(kFatal, kSvm, "SVM: incorrect  nr of classes"), 1);
}

TEST_F(InferenceFixture, AModelWhoseFirstLabelIsNotSimilarGivesZero) {
  std::vector<std::vector<SvmNode>> rows;
  std::vector<double> labels;
  for (int m = 0; m < 8; ++m)
    for (int c = 0; c < 2; ++c) {
      rows.push_back(dense(clusterFeatures(c, m)));
      labels.push_back(c == 0 ? 0 : 1);  // 0 appears first, so it is the first class
    }
  trainModel(rows, labels, models("flipped"));
  qorn::SvmModel model = qorn::SvmModel::load(models("flipped"));
  ASSERT_EQ(model.labels(), (std::vector<int>{0, 1}));
  EXPECT_EQ(qorn::similarityOutput(model, dense(clusterFeatures(1, 3)).data()), 0.0);
}

}  // namespace
}  // namespace inferencetest
