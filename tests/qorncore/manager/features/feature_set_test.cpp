// Feature sets: the name tables and index, tempo derivation, validity, normalising with
// a table, the binary record body and the float text.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "feature_test_support.h"
#include "qorncore/manager/features/FeatureSet.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;
using featuretest::LogCapture;

TEST(FeatureNames, LongAndShortTables) {
  struct Case {
    int index;
    const char* longName;
    const char* shortName;
  } cases[] = {
      {0, "Mean_Acc1298_Mean_Mem40_Centroid", "M_M_C"},
      {1, "Mean_Acc1298_Mean_Mem40_Rolloff", "M_M_R"},
      {2, "Mean_Acc1298_Mean_Mem40_Flux", "M_M_F"},
      {3, "Mean_Acc1298_Mean_Mem40_MFCC_0", "M_M_MFCC_0"},
      {15, "Mean_Acc1298_Mean_Mem40_MFCC_12", "M_M_MFCC_12"},
      {16, "Mean_Acc1298_Std_Mem40_Centroid", "M_S_C"},
      {34, "Std_Acc1298_Mean_Mem40_Flux", "S_M_F"},
      {63, "Std_Acc1298_Std_Mem40_MFCC_12", "S_S_MFCC_12"},
      {64, "BH_LowPeakAmp", "LowAmp"},
      {65, "BH_LowPeakBPM", "LowBPM"},
      {66, "BH_HighPeakAmp", "HighAmp"},
      {67, "BH_HighPeakBPM", "HighBPM"},
      {68, "BH_HighLowRatio", "HLRatio"},
      {69, "BHSUM1", "BS1"},
      {71, "BHSUM3", "BS3"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(getFeatureName(c.index), c.longName);
    EXPECT_STREQ(getShortFeatureName(c.index), c.shortName);
  }
}

TEST(FeatureNames, IllegalIndexIsFatalAndNamed) {
  LogCapture log;
  EXPECT_STREQ(getFeatureName(72), "unkown_feature with idx");
  EXPECT_STREQ(getFeatureName(-1), "unkown_feature with idx");
  EXPECT_TRUE(log.contains("FATAL"));
  EXPECT_TRUE(log.contains("call to getFeatureName with illegal idx: 72"));
}

TEST(FeatureNames, IndexIsPositionPlusOne) {
  for (int i = 0; i < kFeatureCount; ++i) EXPECT_EQ(featureNameIndex(getFeatureName(i)), i + 1);
  testing::internal::CaptureStdout();
  EXPECT_EQ(featureNameIndex("M_M_C"), 0);  // short names are not in the index
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Warning unknown feature name: M_M_C"),
            std::string::npos);
}

TEST(FeatureSet, TempoFromBeatFeatures) {
  struct Case {
    float high, low;
    int tempo;
  } cases[] = {
      {120, 60, 120},  {200, 60, 200},  {50, 60, 50},        // high in [50, 200]
      {201, 100, 100}, {49.9f, 51, 51}, {250, 199.5f, 199},  // else low in (50, 200)
      {201, 50, -1},   {201, 200, -1},  {0, 0, -1},         {126.9f, 0, 126},  // cut, not rounded
  };
  for (const auto& c : cases) {
    std::vector<float> v = featuretest::sampleValues(1);
    v[67] = c.high;
    v[65] = c.low;
    FeatureSet set(v);
    set.deriveTempo();
    EXPECT_EQ(set.tempo(), c.tempo) << c.high << " " << c.low;
  }
  FeatureSet given(featuretest::sampleValues(1));
  given.setTempo(93);
  given.deriveTempo();
  EXPECT_EQ(given.tempo(), 93);
  FeatureSet empty;
  empty.deriveTempo();
  EXPECT_EQ(empty.tempo(), -1);
}

TEST(FeatureSet, Validity) {
  EXPECT_FALSE(FeatureSet().valid());
  EXPECT_FALSE(FeatureSet(std::vector<float>(kFeatureCount, 0.0f)).valid());
  std::vector<float> one(kFeatureCount, 0.0f);
  one[40] = -0.5f;
  EXPECT_TRUE(FeatureSet(one).valid());
  FeatureSet growing;
  growing.setValue(3, 0.0f);
  EXPECT_FALSE(growing.valid());
  EXPECT_EQ(growing.values().size(), 4u);
  EXPECT_TRUE(std::isnan(growing.values()[0]));
  growing.setValue(2, 1.0f);
  EXPECT_TRUE(growing.valid());
  EXPECT_FALSE(growing.complete());
}

TEST(FeatureSet, AllZeroSetIsIgnoredAsDone) {
  LogCapture log;
  NormaliserTable table = featuretest::normalTable();
  FeatureSet zero(std::vector<float>(kFeatureCount, 0.0f));
  EXPECT_EQ(zero.normalise(table), 1);
  EXPECT_TRUE(log.contains("ignoring normalisation of invalid feature set "));
  EXPECT_FALSE(zero.normalised());
  for (float v : zero.values()) EXPECT_EQ(v, 0.0f);
}

TEST(FeatureSet, NormalisesEveryPositionOnce) {
  NormaliserTable table = featuretest::normalTable();  // mean i, stddev 2
  std::vector<float> v(kFeatureCount);
  for (int i = 0; i < kFeatureCount; ++i) v[i] = static_cast<float>(i) + (i % 2 ? 1.0f : -0.5f);
  FeatureSet set(v);
  ASSERT_EQ(set.normalise(table), 1);
  EXPECT_TRUE(set.normalised());
  for (int i = 0; i < kFeatureCount; ++i) {
    EXPECT_NEAR(set.values()[i], i % 2 ? 0.4f : -0.2f, 1e-5) << i;
  }
  ASSERT_EQ(set.normalise(table), 1);  // already normalised: unchanged
  EXPECT_NEAR(set.values()[1], 0.4f, 1e-5);
}

TEST(FeatureSet, NormaliseFailuresLeaveTheSetAlone) {
  LogCapture log;
  NormaliserTable full = featuretest::normalTable();

  FeatureSet shortSet(std::vector<float>(71, 1.0f));
  EXPECT_EQ(shortSet.normalise(full), 0);
  EXPECT_TRUE(log.contains("Call to FeatureSet::normalise incomplete feature set!"));

  FeatureSet set(featuretest::sampleValues(3));
  EXPECT_EQ(set.normalise(NormaliserTable()), 0);
  EXPECT_TRUE(log.contains("gNormaliser is empty!"));

  NormaliserTable partial;
  for (int i = 0; i < kFeatureCount; ++i) {
    if (i != 5) partial.add(*full.at(i));
  }
  EXPECT_EQ(set.normalise(partial), 0);
  EXPECT_TRUE(log.contains("Can't find normaliser for Mean_Acc1298_Mean_Mem40_MFCC_2"));
  EXPECT_FALSE(set.normalised());
  EXPECT_EQ(set.values(), featuretest::sampleValues(3));

  std::vector<float> holes = featuretest::sampleValues(3);
  holes[10] = NAN;
  FeatureSet withHole(holes);
  EXPECT_EQ(withHole.normalise(full), 0);
  EXPECT_FALSE(withHole.normalised());
}

TEST(FeatureSet, BinaryBody) {
  FeatureSet set(featuretest::sampleValues(7));
  std::string body;
  set.writeBinaryBody(body);
  ASSERT_EQ(body.size(), FeatureSet::kBinaryBodySize);
  EXPECT_EQ(body[0], '\x01');
  EXPECT_EQ(body[1], '\x00');
  std::string expectedStart;
  featuretest::appendFloat(expectedStart, 30.0f);
  featuretest::appendFloat(expectedStart, 60.0f);
  featuretest::appendFloat(expectedStart, set.values()[0]);
  EXPECT_EQ(body.substr(2, 12), expectedStart);

  FeatureSet back;
  ASSERT_TRUE(
      back.readBinaryBody(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
  EXPECT_EQ(back.values(), set.values());

  std::string bad = featuretest::rawRecord(featuretest::md5For(1), set.values(), 31.0f).substr(32);
  EXPECT_FALSE(back.readBinaryBody(reinterpret_cast<const unsigned char*>(bad.data()), bad.size()));
  EXPECT_TRUE(back.values().empty());
  EXPECT_FALSE(back.readBinaryBody(reinterpret_cast<const unsigned char*>(body.data()), 100));
}

TEST(FeatureText, FloatsAsStreamsWriteThemInAnyLocale) {
  struct Case {
    float value;
    const char* text;
  } cases[] = {{0.8f, "0.8"},
               {10.0f, "10"},
               {-1.5f, "-1.5"},
               {1e-05f, "1e-05"},
               {123456789.0f, "1.23457e+08"},
               {0.1234567f, "0.123457"},
               {0.0f, "0"}};
  const char* locales[] = {"C", "de_DE.UTF-8", "fr_FR.UTF-8"};
  for (const char* locale : locales) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    for (const auto& c : cases) EXPECT_EQ(floatText(c.value), c.text) << locale;
    EXPECT_FLOAT_EQ(floatFromText("2.5"), 2.5f) << locale;
  }
  std::setlocale(LC_ALL, "C");
  EXPECT_FLOAT_EQ(floatFromText("  -3.25xyz"), -3.25f);
  EXPECT_FLOAT_EQ(floatFromText("+4"), 4.0f);
  EXPECT_FLOAT_EQ(floatFromText("abc"), 0.0f);
  EXPECT_FLOAT_EQ(floatFromText(""), 0.0f);
  EXPECT_TRUE(std::isinf(floatFromText("1e999")));
  EXPECT_EQ(intFromText("120.7"), 120);
  EXPECT_EQ(intFromText("-1"), -1);
  EXPECT_EQ(intFromText("end"), 0);
}
