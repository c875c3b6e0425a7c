// Normalisers: the three mappings with their clamp, parameter preparation, the attribute
// form, the scrambled texts and the library-wide table.
#include <gtest/gtest.h>

#include <cmath>

#include "feature_test_support.h"
#include "qorncore/manager/features/Normaliser.h"
#include "qorncore/manager/features/NormaliserScramble.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;
using featuretest::LogCapture;

namespace {

Normaliser make(NormaliserType type, std::array<float, Normaliser::kStatCount> stats) {
  return Normaliser("BHSUM1", type, stats);
}

// Quantiles 1..7 at q0_125 .. q0_875.
Normaliser quantiles() {
  return make(NormaliserType::Quantile, {0, 0, 1, 2, 3, 4, 5, 6, 7});
}

}  // namespace

TEST(Normaliser, NormalMapsAndClamps) {
  Normaliser n = make(NormaliserType::Normal, {10, 2});
  struct Case {
    float in, out;
  } cases[] = {{12, 0.8f}, {13, 1.0f}, {10, 0.0f}, {8.5f, -0.6f}, {7, -1.0f}, {1e30f, 1.0f}};
  for (const auto& c : cases) EXPECT_NEAR(n.normalise(c.in), c.out, 1e-6) << c.in;
}

TEST(Normaliser, NormalWithZeroStddevOnlyShifts) {
  Normaliser n = make(NormaliserType::Normal, {10, 0});
  EXPECT_FLOAT_EQ(n.normalise(10.5f), 0.5f);
  EXPECT_FLOAT_EQ(n.normalise(9.75f), -0.25f);
  EXPECT_FLOAT_EQ(n.normalise(20.0f), 1.0f);
}

TEST(Normaliser, QuantileIsPiecewiseLinear) {
  Normaliser n = quantiles();
  struct Case {
    float in, out;
  } cases[] = {
      {4, 0.0f},       // median
      {2, -0.58633f},  // q0_25
      {1, -1.0f},      // q0_125
      {0.5f, -1.0f},   // below every quantile
      {6, 0.58633f},   // q0_75
      {7, 1.0f},       // exactly the top quantile
      {9, 1.0f},       // above it
      {2.5f, -0.58633f + 0.5f * 0.30934f},
      {4.25f, 0.25f * 0.27699f},
      {1.5f, -1.0f + 0.5f * 0.41367f},
  };
  for (const auto& c : cases) EXPECT_NEAR(n.normalise(c.in), c.out, 1e-5) << c.in;
}

TEST(Normaliser, QuantileWithEqualNeighboursTakesTheTarget) {
  Normaliser n = make(NormaliserType::Quantile, {0, 0, 1, 2, 2, 4, 5, 6, 7});
  // 2 is not below q0_375 (also 2), so the segment median..q0_375 of width 2 applies.
  EXPECT_NEAR(n.normalise(2.0f), -0.27699f, 1e-5);
  Normaliser flat = make(NormaliserType::Quantile, {0, 0, 3, 3, 3, 3, 3, 3, 3});
  EXPECT_FLOAT_EQ(flat.normalise(2.0f), -1.0f);
  EXPECT_FLOAT_EQ(flat.normalise(3.0f), 1.0f);
}

TEST(Normaliser, LognormalPreparesFromMeanAndStddev) {
  const double m = 2.0, s = 0.5;
  Normaliser n = make(NormaliserType::Lognormal, {2.0f, 0.5f});
  const double p0 = std::log(m * m / std::sqrt(s * s + m * m));
  const double p1 = std::sqrt(std::log(s * s / (m * m) + 1));
  EXPECT_NEAR(n.parameter(0), p0, 1e-6);
  EXPECT_NEAR(n.parameter(1), p1, 1e-6);
  EXPECT_NEAR(n.normalise(static_cast<float>(std::exp(p0))), 0.0f, 1e-5);
  EXPECT_NEAR(n.normalise(static_cast<float>(std::exp(p0 + p1))), 0.8f, 1e-5);
}

TEST(Normaliser, LognormalWithMeanZeroLogsAndUsesTheLogarithm) {
  LogCapture log;
  testing::internal::CaptureStdout();
  Normaliser n = make(NormaliserType::Lognormal, {0.0f, 1.0f});
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("Error: illegal values for lognormal normaliser!"), std::string::npos);
  EXPECT_TRUE(log.contains("illegal values in lognormal normaliser!"));
  EXPECT_FLOAT_EQ(n.parameter(0), 0.0f);
  EXPECT_FLOAT_EQ(n.parameter(1), 0.0f);
  EXPECT_NEAR(n.normalise(std::exp(0.5f)), 0.5f, 1e-6);
  EXPECT_FLOAT_EQ(n.normalise(std::exp(3.0f)), 1.0f);
  EXPECT_FLOAT_EQ(n.normalise(-0.25f), -0.25f);  // not positive: used as it is
  EXPECT_FLOAT_EQ(n.normalise(0.0f), 0.0f);
}

TEST(Normaliser, UndefinedStaysUndefined) {
  for (auto type : {NormaliserType::Normal, NormaliserType::Lognormal, NormaliserType::Quantile}) {
    EXPECT_TRUE(std::isnan(make(type, {1, 1, 1, 2, 3, 4, 5, 6, 7}).normalise(NAN)));
  }
}

TEST(Normaliser, FromAttributes) {
  LogCapture log;
  AttributeList full = {{"name", "BHSUM2"}, {"type", "normal"}, {"mean", "10"},   {"stddev", "2"},
                        {"q0_125", "1"},    {"q0_25", "2"},     {"q0_375", "3"},  {"median", "4"},
                        {"q0_625", "5"},    {"q0_75", "6"},     {"q0_875", "7.5"}};
  Normaliser n = Normaliser::fromAttributes(full);
  EXPECT_EQ(n.featureName(), "BHSUM2");
  EXPECT_EQ(n.type(), NormaliserType::Normal);
  EXPECT_FLOAT_EQ(n.stat(Normaliser::kQ0875), 7.5f);
  EXPECT_FLOAT_EQ(n.normalise(12), 0.8f);
  EXPECT_FALSE(log.contains("incomplete normaliser info"));

  struct Case {
    const char* type;
    NormaliserType expected;
  } types[] = {{"normal", NormaliserType::Normal},
               {"lognormal", NormaliserType::Lognormal},
               {"unknown", NormaliserType::Quantile},
               {"quantile", NormaliserType::Quantile},
               {"Normal", NormaliserType::Quantile}};
  for (const auto& c : types) {
    AttributeList list = full;
    list[1].second = c.type;
    EXPECT_EQ(Normaliser::fromAttributes(list).type(), c.expected) << c.type;
  }

  AttributeList partial = {{"name", "BHSUM2"}, {"type", "normal"}, {"mean", "10"}};
  Normaliser p = Normaliser::fromAttributes(partial);
  EXPECT_TRUE(log.contains("ERROR: incomplete normaliser info in features file!"));
  EXPECT_FLOAT_EQ(p.stat(Normaliser::kStddev), 0.0f);  // missing reads as 0
  EXPECT_FLOAT_EQ(p.normalise(10.5f), 0.5f);
}

TEST(Normaliser, AttributesText) {
  Normaliser n =
      make(NormaliserType::Normal, {10, 2.5f, -1, 0.125f, 3, 4, 1e-05f, 123456789.0f, 7});
  EXPECT_EQ(n.attributesText(),
            "type=\"normal\" mean=\"10\" stddev=\"2.5\" q0_125=\"-1\" q0_25=\"0.125\" "
            "q0_375=\"3\" median=\"4\" q0_625=\"1e-05\" q0_75=\"1.23457e+08\" q0_875=\"7\"");
  EXPECT_EQ(quantiles().attributesText().substr(0, 14), "type=\"unknown\"");
  // Written and read back, a normaliser maps values as before.
  AttributeList back = {{"name", "BHSUM1"}};
  for (auto& pair : n.attributes()) back.push_back(pair);
  EXPECT_FLOAT_EQ(Normaliser::fromAttributes(back).normalise(11), n.normalise(11));
}

TEST(NormaliserScramble, KnownTextsAndInverse) {
  EXPECT_EQ(scrambleText("ab", 1), "bb");    // 36+1 -> b; 37+1-1 -> b
  EXPECT_EQ(scrambleText(".", 1), "0");      // wraps past the end of the alphabet
  EXPECT_EQ(scrambleText("0", -1), ".");     // negative keys wrap too
  EXPECT_EQ(scrambleText("a+b", 0), "a+d");  // "+" is kept; b at 2 moves by 2
  const std::string texts[] = {"",
                               "mean",
                               "q0_875",
                               "-1.23457e+08",
                               "Mean_Acc1298_Mean_Mem40_MFCC_12",
                               std::string(200, 'z'),
                               "äöü<>&\"",
                               "nan"};
  for (const auto& t : texts) {
    for (int key : {0, 1, 7, 64, 65, 66, 200, -3}) {
      EXPECT_EQ(unscrambleText(scrambleText(t, key), key), t) << t << " " << key;
    }
  }
  EXPECT_NE(scrambleText("mean", kNameKeys[2]), "mean");
}

TEST(NormaliserTable, AddsByFeatureNameOnly) {
  NormaliserTable table;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(table.add(Normaliser("NoSuchFeature", NormaliserType::Normal, {})));
  EXPECT_NE(
      testing::internal::GetCapturedStdout().find("Warning unknown feature name: NoSuchFeature"),
      std::string::npos);
  EXPECT_TRUE(table.add(Normaliser("BHSUM3", NormaliserType::Normal, {1, 1})));
  EXPECT_TRUE(table.add(Normaliser("BHSUM3", NormaliserType::Normal, {5, 1})));  // replaces
  EXPECT_EQ(table.size(), 1u);
  EXPECT_FALSE(table.complete());
  EXPECT_FLOAT_EQ(table.find("BHSUM3")->stat(Normaliser::kMean), 5.0f);
  EXPECT_EQ(table.at(71), table.find("BHSUM3"));
  EXPECT_EQ(table.at(72), nullptr);
  EXPECT_TRUE(featuretest::normalTable().complete());
}

TEST(NormaliserTable, PlainSectionText) {
  NormaliserTable table;
  table.add(Normaliser("BH_LowPeakAmp", NormaliserType::Normal, {10, 2}));
  EXPECT_EQ(table.sectionText(false),
            "<normalisation version=\"1.0\" s=\"0\" >\n"
            "<normf name=\"BH_LowPeakAmp\" type=\"normal\" mean=\"10\" stddev=\"2\" q0_125=\"0\" "
            "q0_25=\"0\" q0_375=\"0\" median=\"0\" q0_625=\"0\" q0_75=\"0\" q0_875=\"0\" />\n"
            "</normalisation>\n");
  // An incomplete table cannot be scrambled: element order would not name its features.
  EXPECT_NE(table.sectionText(true).find("s=\"0\""), std::string::npos);
}

TEST(NormaliserTable, ScrambledSectionHidesNamesAndValues) {
  NormaliserTable table = featuretest::mixedTable();
  table.setVersion("1.2");
  const std::string text = table.sectionText(true, [] { return 'q'; });
  EXPECT_EQ(text.rfind("<normalisation version=\"1.2\" s=\"1\" >\n", 0), 0u);
  EXPECT_EQ(text.find("Mean_Acc1298"), std::string::npos);
  EXPECT_EQ(text.find("stddev"), std::string::npos);
  EXPECT_EQ(text.find("lognormal"), std::string::npos);
  // Every scrambled name starts with the drawn letter.
  EXPECT_NE(text.find("<normf q"), std::string::npos);
}

// The scrambled form of one element, worked out independently of this code: a file
// written by an earlier build must stay readable.
TEST(NormaliserScramble, KnownElement) {
  Normaliser n("Mean_Acc1298_Mean_Mem40_MFCC_0", NormaliserType::Normal,
               {-72.5f, 8.25f, -81, -77.5f, -74, -72.5f, -70, -67.25f, -63.5f});
  const std::string expected =
      "qugvi=\"izy3NR1rVFfJVVBhM2_hP5iz3Cy7lw\" qDHBy=\"ssyojl\" qOFEM=\"jrphu\" "
      "q22snv0=\"RHNL\" qjvvu.w=\"y40\" qx666G=\"TbeRe\" qAMMNYN=\"3BB\" qOFHHGK=\"jrphu\" "
      "q0CCGJD=\"HPL\" qjvv_2=\"y26w3_\" qx66CI7=\"TaaRe\"";
  EXPECT_EQ(scrambledAttributesText(n, 3, [] { return 'q'; }), expected);

  AttributeList scrambled = {{"qugvi", "izy3NR1rVFfJVVBhM2_hP5iz3Cy7lw"},
                             {"qDHBy", "ssyojl"},
                             {"qOFEM", "jrphu"},
                             {"q22snv0", "RHNL"}};
  AttributeList plain = unscrambleAttributes(scrambled, 3);
  EXPECT_EQ(plain[0],
            (std::pair<std::string, std::string>("scrambled", "Mean_Acc1298_Mean_Mem40_MFCC_0")));
  EXPECT_EQ(plain[1], (std::pair<std::string, std::string>("type", "normal")));
  EXPECT_EQ(plain[3], (std::pair<std::string, std::string>("stddev", "8.25")));
}
