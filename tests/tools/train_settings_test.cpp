// The trainer's settings file: what each model target counts as a positive song, the model
// file names hlcinfo lists, the feature subsets, and reading back what the search writes.
#include "TrainSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "qorncore/manager/features/FeatureSet.h"
#include "scratch_dir.h"

namespace qorn::training {
namespace {

constexpr std::size_t kLabels = 6;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  // Writes `text` to the scratch file and reads it as settings.
  bool read(const std::string& text, TrainSettings& out, std::string& error) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
    return readSettings(path_, kLabels, out, error);
  }
  const zarvelltest::ScratchDir dir_{"zarvell-train-settings"};
  const std::string path_ = dir_.file("settings.txt");
};

TEST_F(SettingsFile, WrittenSettingsReadBackUnchanged) {
  TrainSettings s;
  s.normaliserSpread = 1.75;
  s.pairwise = {750, 1.0, 2.5, 0.00347222222};
  s.hlc = {{HlcKind::Has, 0b000001, FeatureGroup::All, 1, 0},
           {HlcKind::Lacks, 0b100000, FeatureGroup::Timbre, 0.5, 0.0078125},
           {HlcKind::HasAll, 0b011000, FeatureGroup::All, 8, 0.0277777778},
           {HlcKind::HasAny, 0b000011, FeatureGroup::Rhythm, 4, 0.125},
           {HlcKind::Exactly, 0b001110, FeatureGroup::All, 2, 1.0 / 72}};
  TrainSettings back;
  std::string error;
  ASSERT_TRUE(read(settingsText(s, kLabels, {"chosen by a test", ""}), back, error)) << error;
  EXPECT_EQ(back.hlc.size(), s.hlc.size());
  for (std::size_t i = 0; i < s.hlc.size() && i < back.hlc.size(); ++i) {
    EXPECT_EQ(back.hlc[i].kind, s.hlc[i].kind) << i;
    EXPECT_EQ(back.hlc[i].mask, s.hlc[i].mask) << i;
    EXPECT_EQ(back.hlc[i].features, s.hlc[i].features) << i;
    EXPECT_DOUBLE_EQ(back.hlc[i].c, s.hlc[i].c) << i;
    EXPECT_NEAR(back.hlc[i].gamma, s.hlc[i].gamma, 1e-9 * s.hlc[i].gamma) << i;
  }
  EXPECT_DOUBLE_EQ(back.normaliserSpread, 1.75);
  EXPECT_EQ(back.pairwise.pairsPerClass, 750u);
  EXPECT_DOUBLE_EQ(back.pairwise.similarJaccard, 1.0);
  EXPECT_DOUBLE_EQ(back.pairwise.c, 2.5);
  EXPECT_NEAR(back.pairwise.gamma, 0.00347222222, 1e-15);
}

TEST_F(SettingsFile, MaskDigitsFollowTheLabelOrder) {
  TrainSettings s;
  std::string error;
  ASSERT_TRUE(read(
      "# comment\n\nhlc has:010000 all 1 0  # happy\nhlc exactly:100001 rhythm 2 0.5\n", s, error))
      << error;
  ASSERT_EQ(s.hlc.size(), 2u);
  EXPECT_EQ(s.hlc[0].mask, 0b000010u);  // the second label is bit 1
  EXPECT_EQ(s.hlc[1].mask, 0b100001u);
  EXPECT_EQ(s.hlc[1].features, FeatureGroup::Rhythm);
  // Without a pairwise or normalisers line their defaults stay.
  EXPECT_EQ(s.pairwise.pairsPerClass, 1000u);
  EXPECT_EQ(s.normaliserSpread, 1.0);
}

TEST_F(SettingsFile, RefusesWhatItCannotTrain) {
  const struct {
    const char* text;
    const char* says;
  } cases[] = {
      {"hlc has:10000 all 1 0\n", "line 1: not a model target"},   // one digit short
      {"hlc has:110000 all 1 0\n", "line 1: not a model target"},  // "has" names one label
      {"hlc lacks:000000 all 1 0\n", "line 1: not a model target"},
      {"hlc exactly:000000 all 1 0\n", "line 1: not a model target"},
      {"hlc has:100002 all 1 0\n", "line 1: not a model target"},
      {"hlc most:100000 all 1 0\n", "line 1: not a model target"},
      {"hlc has:100000 bass 1 0\n", "line 1: expected hlc TARGET"},
      {"hlc has:100000 all 0 0\n", "line 1: expected hlc TARGET"},  // C must be positive
      {"hlc has:100000 all 1 -0.5\n", "line 1: expected hlc TARGET"},
      {"hlc has:100000 all 1,5 0\n", "line 1: expected hlc TARGET"},  // no decimal comma
      {"hlc has:100000 all 1\n", "line 1: expected"},
      {"hlc has:100000 all 1 0\npairwise 0 0.5 1 0\n", "line 2: expected"},
      {"hlc has:100000 all 1 0\npairwise 10.5 0.5 1 0\n", "line 2: expected"},
      {"hlc has:100000 all 1 0\npairwise 10 1.5 1 0\n", "line 2: expected"},
      {"hlc has:100000 all 1 0\nnormalisers 0.5\n", "line 2: expected"},  // narrower clamps more
      {"# nothing but\npairwise 10 0.5 1 0\n", "no hlc or ensemble models"},
      {"\n\nmodel hlc-happy 1,2,3\n", "line 3: expected"},
      {"ensemble has:110000 10 24 1 0\n", "line 1: not a model target"},
      {"ensemble has:100000 0 24 1 0\n", "line 1: expected ensemble"},  // no members
      {"ensemble has:100000 2.5 24 1 0\n", "line 1: expected ensemble"},
      {"ensemble has:100000 10 73 1 0\n", "line 1: expected ensemble"},  // more than 72 features
      {"ensemble has:100000 10 0 1 0\n", "line 1: expected ensemble"},
      {"ensemble has:100000 10 24 0 0\n", "line 1: expected ensemble"},
      {"ensemble has:100000 10 24 1\n", "line 1: expected"},
  };
  for (const auto& c : cases) {
    TrainSettings s;
    std::string error;
    EXPECT_FALSE(read(c.text, s, error)) << c.text;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " gave: " << error;
  }
  TrainSettings s;
  std::string error;
  EXPECT_FALSE(readSettings("/nonexistent/settings.txt", kLabels, s, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST_F(SettingsFile, EnsembleLinesBecomeTheirMembers) {
  TrainSettings s;
  std::string error;
  ASSERT_TRUE(
      read("hlc has:100000 all 1 0\nensemble has:010000 4 24 2 0.08\n"
           "ensemble any:000110 3 72 1 0\n",
           s, error))
      << error;
  ASSERT_EQ(s.hlc.size(), 8u);
  EXPECT_EQ(s.hlc[0].member, 0);
  EXPECT_TRUE(s.hlc[0].indexes.empty());
  for (std::size_t i = 1; i < s.hlc.size(); ++i) {
    const HlcModelPlan& m = s.hlc[i];
    const bool first = i <= 4;
    EXPECT_EQ(m.member, static_cast<int>(first ? i : i - 4)) << i;
    EXPECT_EQ(m.mask, first ? 0b000010u : 0b011000u) << i;
    EXPECT_EQ(m.c, first ? 2.0 : 1.0) << i;
    ASSERT_EQ(m.indexes.size(), first ? 24u : 72u) << i;
    EXPECT_TRUE(std::is_sorted(m.indexes.begin(), m.indexes.end())) << i;
    EXPECT_EQ(std::adjacent_find(m.indexes.begin(), m.indexes.end()), m.indexes.end()) << i;
    EXPECT_GE(m.indexes.front(), 1) << i;
    EXPECT_LE(m.indexes.back(), kFeatureCount) << i;
    EXPECT_EQ(featureIndexes(m), m.indexes) << i;
    EXPECT_NE(m.resample, 0u) << i;  // every member learns from a resample
  }
  // Members differ from each other: their own features and their own resample.
  EXPECT_NE(s.hlc[1].indexes, s.hlc[2].indexes);
  EXPECT_NE(s.hlc[1].resample, s.hlc[2].resample);
  EXPECT_NE(s.hlc[5].resample, s.hlc[6].resample);
  // The same line gives the same members wherever it stands, and writes back as one line.
  TrainSettings again;
  ASSERT_TRUE(read("ensemble any:000110 3 72 1 0\nensemble has:010000 4 24 2 0.08\n", again, error))
      << error;
  EXPECT_EQ(again.hlc[3], s.hlc[1]);
  EXPECT_EQ(again.hlc[0], s.hlc[5]);
  const std::string text = settingsText(s, kLabels, {});
  EXPECT_NE(text.find("\nhlc has:100000 all 1 0\nensemble has:010000 4 24 2 0.08\n"
                      "ensemble any:000110 3 72 1 0\n"),
            std::string::npos)
      << text;
  TrainSettings back;
  ASSERT_TRUE(read(text, back, error)) << error;
  EXPECT_EQ(back.hlc, s.hlc);
}

TEST(HlcTarget, PositiveSongsPerKind) {
  const uint32_t happy = 0b000010, calm = 0b000100, happyCalm = happy | calm, sad = 0b010000;
  const struct {
    HlcModelPlan plan;
    uint32_t labels;
    bool positive;
  } cases[] = {
      {{HlcKind::Has, happy}, happyCalm, true},
      {{HlcKind::Has, happy}, sad, false},
      {{HlcKind::Lacks, happy}, sad, true},
      {{HlcKind::Lacks, happy}, happyCalm, false},
      {{HlcKind::HasAll, happyCalm}, happyCalm, true},
      {{HlcKind::HasAll, happyCalm}, happy, false},
      {{HlcKind::HasAll, happyCalm}, happyCalm | sad, true},
      {{HlcKind::HasAny, happyCalm}, calm, true},
      {{HlcKind::HasAny, happyCalm}, sad, false},
      {{HlcKind::Exactly, happyCalm}, happyCalm, true},
      {{HlcKind::Exactly, happyCalm}, happyCalm | sad, false},
      {{HlcKind::Exactly, happyCalm}, happy, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isPositive(c.plan, c.labels), c.positive)
        << targetText(c.plan, kLabels) << " " << c.labels;
}

TEST(HlcTarget, ModelFileNames) {
  const std::vector<std::string> names = {"amazed-suprised", "happy-pleased", "relaxing-calm",
                                          "quiet-still",     "sad-lonely",    "angry aggresive"};
  const struct {
    HlcModelPlan plan;
    const char* file;
  } cases[] = {
      {{HlcKind::Has, 0b000010}, "hlc-happy-pleased"},  // the name of a plain label model
      {{HlcKind::Lacks, 0b000010}, "hlc-not-happy-pleased"},
      {{HlcKind::Has, 0b000010, FeatureGroup::Rhythm}, "hlc-happy-pleased-rhythm"},
      {{HlcKind::HasAll, 0b100001}, "hlc-all-amazed-suprised_angry_aggresive"},
      {{HlcKind::HasAny, 0b000110, FeatureGroup::Timbre},
       "hlc-any-happy-pleased_relaxing-calm-timbre"},
      {{HlcKind::Exactly, 0b011100}, "hlc-set-relaxing-calm_quiet-still_sad-lonely"},
  };
  for (const auto& c : cases) EXPECT_EQ(modelFileName(c.plan, names), c.file);
  HlcModelPlan member{HlcKind::Has, 0b000010};
  member.member = 7;
  EXPECT_EQ(modelFileName(member, names), "hlc-happy-pleased-m7");
  // Every target kind has a name of its own: no two models of one settings file collide.
  EXPECT_NE(modelFileName({HlcKind::HasAll, 0b000110}, names),
            modelFileName({HlcKind::HasAny, 0b000110}, names));
  EXPECT_NE(modelFileName({HlcKind::HasAll, 0b000110}, names),
            modelFileName({HlcKind::Exactly, 0b000110}, names));
}

TEST(HlcTarget, FeatureSubsetsSplitTimbreFromRhythm) {
  const std::vector<int> all = featureIndexes(FeatureGroup::All);
  const std::vector<int> timbre = featureIndexes(FeatureGroup::Timbre);
  const std::vector<int> rhythm = featureIndexes(FeatureGroup::Rhythm);
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kFeatureCount));
  EXPECT_EQ(timbre.size() + rhythm.size(), all.size());
  for (int i : rhythm)
    EXPECT_EQ(std::string(getFeatureName(i - 1)).rfind("BH", 0), 0u) << i;  // beat histogram
  for (int i : timbre) EXPECT_NE(std::string(getFeatureName(i - 1)).rfind("BH", 0), 0u) << i;
}

}  // namespace
}  // namespace qorn::training
