// libbextractRaw.so through its three C entry points: the reference vectors, argument
// errors, set-up pairing, and the behaviour of the features on generated signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "bextract/bextractRaw.h"
#include "test_signals.h"

namespace {

using namespace bextract_test;

// Positions in the feature vector.
constexpr int kCentroid = 0;
constexpr int kRolloff = 1;
constexpr int kFirstMfcc = 3;
constexpr int kLowPeakAmp = 64;
constexpr int kLowPeakBpm = 65;
constexpr int kHighPeakBpm = 67;
constexpr int kRatio = 68;

using Features = std::array<float, BEXTRACT_FEATURE_COUNT>;

class BextractApi : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(constructMarSystems(), 0); }
  void TearDown() override { destroyMarSystems(); }

  static Features extract(const std::vector<int16_t>& samples) {
    Features out;
    out.fill(-999.0f);
    int produced = 0;
    EXPECT_NE(bextractRaw(samples.data(), static_cast<int>(samples.size()), out.data(),
                          BEXTRACT_FEATURE_COUNT, &produced),
              0);
    EXPECT_EQ(produced, BEXTRACT_FEATURE_COUNT);
    return out;
  }
};

std::vector<int16_t> readRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto lo = static_cast<unsigned char>(bytes[2 * i]);
    const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
    samples[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
  }
  return samples;
}

std::vector<double> readExpected(const std::string& path) {
  std::ifstream in(path);
  std::vector<double> values;
  double v;
  while (in >> v) values.push_back(v);
  return values;
}

class ReferenceVectors : public BextractApi, public ::testing::WithParamInterface<const char*> {};

// Every value within 1e-3 relative or 1e-5 absolute, whichever is larger.
TEST_P(ReferenceVectors, MatchEveryValue) {
  const std::string base = std::string(BEXTRACT_VECTORS_DIR) + "/" + GetParam();
  const std::vector<int16_t> samples = readRaw(base + ".s16");
  const std::vector<double> expected = readExpected(base + ".expected");
  ASSERT_EQ(samples.size(), kThirtySeconds);
  ASSERT_EQ(expected.size(), static_cast<std::size_t>(BEXTRACT_FEATURE_COUNT));
  const Features got = extract(samples);
  for (int i = 0; i < BEXTRACT_FEATURE_COUNT; ++i) {
    const double tolerance = std::max(1e-3 * std::fabs(expected[i]), 1e-5);
    EXPECT_NEAR(got[i], expected[i], tolerance) << "feature " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Data, ReferenceVectors, ::testing::Values("tones", "clicks120", "noise"));

TEST_F(BextractApi, RejectsBadArgumentsWithZeroProduced) {
  const std::vector<int16_t> samples = sine(440.0, 0.5, 4096);
  Features out{};
  int produced = 7;
  EXPECT_EQ(bextractRaw(samples.data(), 4096, out.data(), 71, &produced), 0);
  EXPECT_EQ(produced, 0);
  produced = 7;
  EXPECT_EQ(bextractRaw(samples.data(), -1, out.data(), 72, &produced), 0);
  EXPECT_EQ(produced, 0);
  produced = 7;
  EXPECT_EQ(bextractRaw(nullptr, 4096, out.data(), 72, &produced), 0);
  EXPECT_EQ(produced, 0);
  produced = 7;
  EXPECT_EQ(bextractRaw(samples.data(), 4096, nullptr, 72, &produced), 0);
  EXPECT_EQ(produced, 0);
  EXPECT_EQ(bextractRaw(samples.data(), 4096, out.data(), 72, nullptr), 0);
}

TEST(BextractLifecycle, FailsWithoutSetUpAndPairsSetUpWithTearDown) {
  const std::vector<int16_t> samples = sine(440.0, 0.5, 8192);
  Features out{};
  int produced = 0;
  destroyMarSystems();  // harmless when nothing is set up
  EXPECT_EQ(bextractRaw(samples.data(), 8192, out.data(), 72, &produced), 0);
  EXPECT_EQ(produced, 0);

  // Two users (two analysis workers): the first tear-down must not pull the extractor from
  // under the second.
  ASSERT_NE(constructMarSystems(), 0);
  ASSERT_NE(constructMarSystems(), 0);
  destroyMarSystems();
  EXPECT_NE(bextractRaw(samples.data(), 8192, out.data(), 72, &produced), 0);
  EXPECT_EQ(produced, 72);
  destroyMarSystems();
  EXPECT_EQ(bextractRaw(samples.data(), 8192, out.data(), 72, &produced), 0);
  EXPECT_EQ(produced, 0);
}

TEST_F(BextractApi, AllValuesFiniteForAssortedSignals) {
  std::vector<int16_t> fullScale(kThirtySeconds);
  for (std::size_t n = 0; n < fullScale.size(); ++n) {
    fullScale[n] = (n / 25) % 2 == 0 ? int16_t{32767} : int16_t{-32768};
  }
  std::vector<int16_t> halfSilent = sine(1000.0, 0.5);
  std::fill(halfSilent.begin() + kThirtySeconds / 2, halfSilent.end(), int16_t{0});
  const std::vector<std::pair<const char*, std::vector<int16_t>>> cases = {
      {"1 kHz tone", sine(1000.0, 0.5)},
      {"20 Hz tone", sine(20.0, 0.9)},
      {"white noise", noise(0.5)},
      {"quiet noise", noise(0.0001)},
      {"silence", silence()},
      {"clicks 120", clicks(120.0)},
      {"full-scale square", fullScale},
      {"tone then silence", halfSilent},
      {"short input", sine(440.0, 0.5, 1000)},
      {"one sample", std::vector<int16_t>{1000}},
      {"sixty seconds", noise(0.3, 2 * kThirtySeconds)},
  };
  for (const auto& [name, samples] : cases) {
    SCOPED_TRACE(name);
    const Features f = extract(samples);
    for (int i = 0; i < BEXTRACT_FEATURE_COUNT; ++i) {
      EXPECT_TRUE(std::isfinite(f[i])) << "feature " << i << " = " << f[i];
    }
  }
  // An empty input is silence too.
  Features out;
  int produced = 0;
  EXPECT_NE(bextractRaw(nullptr, 0, out.data(), 72, &produced), 0);
  EXPECT_EQ(produced, 72);
  EXPECT_FLOAT_EQ(out[kCentroid], 0.5f);
}

TEST_F(BextractApi, HigherToneHasHigherCentroidAndRolloff) {
  const Features low = extract(sine(1000.0, 0.5));
  const Features high = extract(sine(4000.0, 0.5));
  EXPECT_NEAR(low[kCentroid], 0.092, 0.005);
  EXPECT_NEAR(low[kRolloff], 0.094, 0.005);
  EXPECT_NEAR(high[kCentroid], 0.36, 0.01);
  EXPECT_NEAR(high[kRolloff], 0.36, 0.01);
  EXPECT_GT(high[kCentroid], low[kCentroid] + 0.2);
  EXPECT_GT(high[kRolloff], low[kRolloff] + 0.2);
}

TEST_F(BextractApi, SilenceGivesTheDefinedNeutralValues) {
  const Features f = extract(silence());
  EXPECT_FLOAT_EQ(f[kCentroid], 0.5f);
  EXPECT_FLOAT_EQ(f[kRolloff], 1.0f);
  for (int j = 0; j < 13; ++j) EXPECT_EQ(f[kFirstMfcc + j], 0.0f) << "MFCC_" << j;
  EXPECT_EQ(f[2], 0.0f) << "flux";
  for (int i = 16; i < 64; ++i) EXPECT_EQ(f[i], 0.0f) << "std feature " << i;
  for (int i = 64; i < 72; ++i) EXPECT_EQ(f[i], 0.0f) << "beat feature " << i;
}

struct TempoCase {
  double bpm;
  float lowPeakBpm;
  float highPeakBpm;
};

// The expected values are those an independent implementation of the definitions reports
// for such click tracks; the histogram's bins are 1 BPM wide and the low peak is reported
// one bin up, so the tempo shows up within 3 BPM in one of the two peaks.
TEST_F(BextractApi, ClickTrackReportsItsTempo) {
  const TempoCase cases[] = {
      {120.0, 61, 122}, {100.0, 100, 200}, {90.0, 91, 182}, {140.0, 70, 140}};
  for (const TempoCase& c : cases) {
    SCOPED_TRACE(c.bpm);
    const Features f = extract(clicks(c.bpm));
    EXPECT_EQ(f[kLowPeakBpm], c.lowPeakBpm);
    EXPECT_EQ(f[kHighPeakBpm], c.highPeakBpm);
    EXPECT_GT(f[kLowPeakAmp], 0.0f);
    const bool highMatches = std::fabs(f[kHighPeakBpm] - c.bpm) <= 3.0;
    const bool lowMatches =
        std::fabs(f[kLowPeakBpm] - c.bpm) <= 3.0 || std::fabs(f[kLowPeakBpm] - c.bpm / 2) <= 3.0;
    EXPECT_TRUE(highMatches || lowMatches)
        << "low " << f[kLowPeakBpm] << " high " << f[kHighPeakBpm];
    EXPECT_EQ(f[kHighPeakBpm], f[kRatio] * f[kLowPeakBpm]);
  }
}

TEST_F(BextractApi, HighPeakIsRatioTimesLowPeak) {
  const std::vector<std::vector<int16_t>> signals = {clicks(75.0), clicks(133.0), noise(0.4)};
  for (const auto& samples : signals) {
    const Features f = extract(samples);
    EXPECT_EQ(f[kHighPeakBpm], f[kRatio] * f[kLowPeakBpm]);
    if (f[kLowPeakBpm] != 0.0f) {
      EXPECT_TRUE(f[kRatio] == 2.0f || f[kRatio] == 3.0f) << f[kRatio];
    }
  }
}

TEST_F(BextractApi, SameInputGivesSameOutput) {
  const std::vector<int16_t> samples = clicks(110.0);
  const Features first = extract(samples);
  extract(noise(0.5));  // state from another song must not leak into the next
  const Features second = extract(samples);
  for (int i = 0; i < BEXTRACT_FEATURE_COUNT; ++i) EXPECT_EQ(first[i], second[i]) << i;
}

}  // namespace
