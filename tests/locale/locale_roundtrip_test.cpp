// Every file and packet under a decimal-comma locale, switched on as a GUI program does at
// start-up (setlocale(LC_ALL, "") with LC_ALL=de_DE.UTF-8, and the C++ global locale too):
// the network file, the features XML, the normaliser file and the community packets and
// replies load, save and compare exactly as under the C locale. A machine without the
// locale fails these tests (scripts/install-deps.sh generates it), so they never pass
// without testing anything.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "CommunityReply.h"
#include "QrPacket.h"
#include "feature_test_support.h"
#include "network_file_support.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "zarvell/text.h"

namespace {

using namespace qorn;

// Runs each test in the user's locale de_DE.UTF-8; inC() runs a step in the C locale.
class UserLocale : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("LC_ALL");
    savedLcAll_ = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    userLocale();
  }
  void TearDown() override {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
    if (savedLcAll_)
      ::setenv("LC_ALL", savedLcAll_->c_str(), 1);
    else
      ::unsetenv("LC_ALL");
  }

  static void userLocale() {
    ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr)
        << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",")
        << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
    std::locale::global(std::locale(""));
  }

  template <typename F>
  static auto inC(F&& step) {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
    auto result = step();
    userLocale();
    return result;
  }

 private:
  std::optional<std::string> savedLcAll_;
};

// --- network file -------------------------------------------------------------------

// Every node's activation and every link's strength, keyed by ids.
struct NetworkNumbers {
  std::map<int32_t, float> activations;
  std::map<std::pair<int32_t, int32_t>, float> strengths;
  bool operator==(const NetworkNumbers&) const = default;
};

NetworkNumbers numbersOf(qornManager& m) {
  NetworkNumbers out;
  for (const auto& [id, node] : m.nodes().byId()) out.activations[id] = node->activation.value();
  m.links().forEachLinkInPairOrder([&](Asc& link, int32_t a, int32_t b) {
    out.strengths[{a, b}] = link.strength.value();
  });
  return out;
}

// A network whose numbers take every text form: many digits, exponents, whole numbers.
void buildNumberRichNetwork(qornManager& m) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int id = 1; id <= 60; ++id) {
    float activation = unit(rng);
    if (id % 7 == 0) activation *= 1e-4f;  // "1.23457e-05"
    if (id % 11 == 0) activation = 1.0f;
    netfiletest::addNode<SongNode>(m, id, "song " + std::to_string(id), activation);
  }
  for (int id = 1; id < 60; ++id) {
    float strength = 0.05f + 0.9f * unit(rng);
    if (id % 5 == 0) strength *= 1e-3f;
    m.links().create(id, id + 1, qornfloat(strength));
  }
}

TEST_F(UserLocale, CommittedNetworkFileLoadsAndSavesUnchanged) {
  netfiletest::ScratchDir dir;
  const std::string fixture = netfiletest::readFile(netfiletest::fixturePath("small.xml"));

  auto built = netfiletest::makeManager();
  netfiletest::buildSmallNetwork(*built);
  ASSERT_EQ(netfiletest::save(*built, dir / "built.xml"), 1);
  EXPECT_EQ(netfiletest::readFile(dir / "built.xml"), fixture);

  auto m = netfiletest::makeManager();
  ASSERT_EQ(netfiletest::load(*m, netfiletest::fixturePath("small.xml")), 1);
  EXPECT_EQ(m->nodes().find(10)->activation.value(), 0.5f);
  EXPECT_EQ(m->nodes().find(11)->activation.value(), 0.125f);
  EXPECT_EQ(m->nodes().find(20)->activation.value(), 0.75f);
  EXPECT_EQ(m->nodes().find(21)->activation.value(), 0.1f);
  ASSERT_NE(m->links().find(11, 12), nullptr);
  EXPECT_EQ(m->links().find(11, 12)->strength.value(), 0.05f);
  EXPECT_EQ(m->links().find(10, 11)->strength.value(), 0.6f);
  EXPECT_EQ(numbersOf(*m), numbersOf(*built));

  // Loading exchanges the two ends of each link line; a second round gives the file back.
  ASSERT_EQ(netfiletest::save(*m, dir / "again.xml"), 1);
  const std::regex ends("<link to=\"([0-9]+)\" from=\"([0-9]+)\"");
  EXPECT_EQ(netfiletest::readFile(dir / "again.xml"),
            std::regex_replace(fixture, ends, "<link to=\"$2\" from=\"$1\""));
}

TEST_F(UserLocale, NetworkNumbersOfEveryFormSurviveLikeInTheCLocale) {
  netfiletest::ScratchDir dir;
  auto source = netfiletest::makeManager();
  buildNumberRichNetwork(*source);
  const std::string cText = inC([&] {
    EXPECT_EQ(netfiletest::save(*source, dir / "c.xml"), 1);
    return netfiletest::readFile(dir / "c.xml");
  });
  ASSERT_EQ(netfiletest::save(*source, dir / "de.xml"), 1);
  EXPECT_EQ(netfiletest::readFile(dir / "de.xml"), cText);
  EXPECT_NE(cText.find("e-05\""), std::string::npos);  // the exponent form is covered

  auto inCLoaded = netfiletest::makeManager();
  inC([&] { return netfiletest::load(*inCLoaded, dir / "c.xml"); });
  auto loaded = netfiletest::makeManager();
  ASSERT_EQ(netfiletest::load(*loaded, dir / "c.xml"), 1);
  const NetworkNumbers numbers = numbersOf(*loaded);
  EXPECT_EQ(numbers, numbersOf(*inCLoaded));
  ASSERT_EQ(numbers.activations.size(), 60u);
  ASSERT_EQ(numbers.strengths.size(), 59u);
  for (const auto& [id, a] : numbersOf(*source).activations)
    EXPECT_NEAR(numbers.activations.at(id), a, 5e-6f * a) << id;  // six digits in the file
}

// --- features XML and normaliser file ------------------------------------------------

TEST_F(UserLocale, FeaturesXmlSavesAndLoadsLikeInTheCLocale) {
  featuretest::TempDir dir;
  normaliserTable() = featuretest::mixedTable();
  FeatureManager source(dir.file("source.mbff"));
  for (int i = 0; i < 4; ++i) {
    std::vector<float> values = featuretest::sampleValues(i);
    values[3] = 1.5e-7f * static_cast<float>(i + 1);  // exponent form
    values[4] = 123456.7f;
    ASSERT_EQ(source.append(featuretest::md5For(i), FeatureSet(values)), FeatureManager::kOk);
  }
  const std::string cText = inC([&] { return source.xmlText(); });
  ASSERT_EQ(source.saveXml(dir.file("features.xml")), 1);
  EXPECT_EQ(featuretest::readFile(dir.file("features.xml")), cText);
  EXPECT_NE(cText.find(" val=\"-2.75\" "), std::string::npos);  // sampleValues(0)[0]
  EXPECT_NE(cText.find(" val=\"1.5e-07\" "), std::string::npos);

  auto valuesAfterLoad = [&](const std::string& name) {
    normaliserTable().clear();
    FeatureManager target(dir.file(name));
    EXPECT_TRUE(target.loadXml(dir.file("features.xml")));
    std::vector<std::vector<float>> all;
    for (int i = 0; i < 4; ++i) {
      const FeatureSet* set = target.featureSet(featuretest::md5For(i));
      all.push_back(set ? set->values() : std::vector<float>());
    }
    return all;
  };
  const auto inCValues = inC([&] { return valuesAfterLoad("c.mbff"); });
  const auto values = valuesAfterLoad("de.mbff");
  EXPECT_EQ(values, inCValues);
  ASSERT_EQ(values[0].size(), 72u);
  EXPECT_EQ(values[0][0], -2.75f);
  EXPECT_EQ(values[1][4], 123457.0f);  // six significant digits in the file
  EXPECT_EQ(normaliserTable().size(), 72u);
  normaliserTable().clear();
}

TEST_F(UserLocale, NormaliserFileWritesAndReadsLikeInTheCLocale) {
  featuretest::TempDir dir;
  const NormaliserTable written = featuretest::mixedTable();
  for (bool scrambled : {false, true}) {
    SCOPED_TRACE(scrambled);
    auto letters = [] { return [n = 0]() mutable { return static_cast<char>('a' + n++ % 26); }; };
    const std::string cText = inC([&] { return written.sectionText(scrambled, letters()); });
    const std::string text = written.sectionText(scrambled, letters());
    EXPECT_EQ(text, cText);
    if (!scrambled) {
      EXPECT_NE(text.find(" mean=\"0.5\" "), std::string::npos);
    }
    featuretest::writeFile(dir.file("normf.xml"), text);

    auto statsAfterLoad = [&] {
      normaliserTable().clear();
      EXPECT_TRUE(loadNormaliserTable(dir.file("normf.xml")));
      std::vector<float> stats;
      for (int i = 0; i < kFeatureCount; ++i) {
        const Normaliser* n = normaliserTable().at(i);
        for (int s = 0; n && s < Normaliser::kStatCount; ++s)
          stats.push_back(n->stat(static_cast<Normaliser::Stat>(s)));
      }
      return stats;
    };
    const std::vector<float> inCStats = inC(statsAfterLoad);
    const std::vector<float> stats = statsAfterLoad();
    EXPECT_EQ(stats, inCStats);
    ASSERT_EQ(stats.size(), static_cast<std::size_t>(kFeatureCount * Normaliser::kStatCount));
    EXPECT_EQ(stats[0], 0.5f);  // feature 0, mean
    EXPECT_EQ(stats[1], 0.625f);
  }
  normaliserTable().clear();
}

// --- community packets and replies ---------------------------------------------------

TEST_F(UserLocale, CommunityPacketAndReplyLikeInTheCLocale) {
  std::vector<float> features(SONALYX_FEATURE_COUNT);
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k)
    features[static_cast<std::size_t>(k)] = static_cast<float>(k) * 0.37f - 9.0f;
  features[0] = 0.5f;
  features[1] = 1.0f / 3.0f;
  features[2] = 123456.789f;

  FeatureResult result{};
  std::memcpy(result.features, features.data(), sizeof(float) * SONALYX_FEATURE_COUNT);
  std::memcpy(result.md5, "0123456789abcdef0123456789abcdef", SONALYX_HASH_CHARS + 1);
  auto packet = [&] {
    FESyncItem item{};
    item.path = u"/music/Caf\u00e9/a.mp3";
    item.duration = 215;
    item.year = 1999;
    sonalyx::QrPacket p;
    p.addUploadEntry(item, result);
    p.finish();
    return zarvell::utf16ToUtf8(p.text());
  };
  const std::string cPacket = inC(packet);
  const std::string text = packet();
  EXPECT_EQ(text, cPacket);
  EXPECT_NE(text.find(" f300=\"0.50000000\" f301=\"0.33333334\""), std::string::npos) << text;
  EXPECT_NE(text.find("dr=\"215\""), std::string::npos);

  // The server's reply: the values in the C format "%0.8f".
  const std::string reply = inC([&] {
    std::string xml = "<QR><ET><MD md5='x'/><FT";
    for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) {
      char value[64];
      std::snprintf(value, sizeof value, " f%d=\"%0.8f\"", 300 + k,
                    static_cast<double>(features[static_cast<std::size_t>(k)]));
      xml += value;
    }
    return xml + "/></ET></QR>";
  });
  auto read = [&] {
    FESyncItem item{};
    FeatureResult answer{};
    const sonalyx::SongRef song{&item, &answer};
    EXPECT_EQ(sonalyx::applyDownloadReply(reply, std::span<const sonalyx::SongRef>(&song, 1)), 0);
    std::vector<float> values(SONALYX_FEATURE_COUNT);
    std::memcpy(values.data(), answer.features, sizeof(float) * SONALYX_FEATURE_COUNT);
    return std::make_pair(answer.hasFeatures, values);
  };
  const auto inCRead = inC(read);
  const auto [hasFeatures, values] = read();
  EXPECT_EQ(hasFeatures, 1);
  EXPECT_EQ(values, inCRead.second);
  EXPECT_EQ(values[0], 0.5f);
  EXPECT_EQ(values[1], 1.0f / 3.0f);
  EXPECT_EQ(values[2], 123456.789f);
}

}  // namespace
