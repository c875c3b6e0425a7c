// The similar-songs query of a song: its exact text with and without stored features, the
// optional parts, escaping, the service's host, and the nodes that have no query.
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "itunes_test_support.h"
#include "manager_test_support.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/FeatureSet.h"

namespace itunestest {
namespace {

constexpr const char* kMd5 = "0123456789abcdef0123456789abcdef";
constexpr const char* kAddress = "http://similar.zarvell.example/cgi-bin/similar.cgi?";

class FeaturesetUrl : public ::testing::Test {
 protected:
  FeaturesetUrl() {
    ::unsetenv("ZARVELL_SIMILAR_HOST");
    album = net.list(20, {10});
    album->name = "Back in Black";
    artist = net.artist(30);
    artist->name = "AC/DC";
    song = net.song(10, 255, 20, {30});
    song->name = "Rock & Roll";
    song->md5 = kMd5;
    engine.setNodeField(10, "add:keywords", "rock roll");
  }
  ~FeaturesetUrl() override { ::unsetenv("ZARVELL_SIMILAR_HOST"); }
  std::string url(const Node* node, int limit = 10, int output = 1) {
    const char* text = engine.featuresetUrl(node, limit, output);
    return text ? text : "(null)";
  }

  TempDir dir;
  // The feature store lives in the scratch folder ("<dir>/networks/features.mbff").
  qorn::qornManager engine{dir.path() + "/", "", nullptr};
  enginetest::Builder net{engine};
  qorn::SongListNode* album;
  qorn::ArtistNode* artist;
  qorn::SongNode* song;
};

TEST_F(FeaturesetUrl, ASongWithoutStoredFeatures) {
  EXPECT_EQ(url(song), std::string(kAddress) +
                           "limit=10&output=1&name=Rock%20%26%20Roll&artist=AC%2fDC&"
                           "album=Back%20in%20Black&keywords=rock,%20roll&md5=" +
                           kMd5);
}

TEST_F(FeaturesetUrl, ASongWithStoredFeatures) {
  std::vector<float> values(72);
  for (int k = 0; k < 72; ++k) values[k] = static_cast<float>(k + 1);
  // A few values whose number text is not plain digits.
  const std::map<int, std::pair<float, const char*>> special = {{1, {0.1f, "0.1"}},
                                                                {2, {-2.5f, "-2.5"}},
                                                                {3, {1234567.0f, "1.23457e+06"}},
                                                                {4, {1e-05f, "1e-05"}},
                                                                {72, {0.333333f, "0.333333"}}};
  for (const auto& [k, v] : special) values[k - 1] = v.first;
  ASSERT_EQ(engine.featureStore().append(kMd5, qorn::FeatureSet(values)),
            qorn::FeatureManager::kOk);

  std::string features;
  for (int k = 1; k <= 72; ++k) {
    const auto s = special.find(k);
    features += (k > 1 ? "&f" : "f") + std::to_string(k) + "=" +
                (s != special.end() ? std::string(s->second.second) : std::to_string(k));
  }
  EXPECT_EQ(url(song, 25, 0), std::string(kAddress) + "limit=25&output=0&" + features +
                                  "&name=Rock%20%26%20Roll&artist=AC%2fDC&"
                                  "album=Back%20in%20Black&keywords=rock,%20roll&md5=" +
                                  kMd5);
}

TEST_F(FeaturesetUrl, OptionalPartsAndEscaping) {
  const struct {
    const char* what;
    std::function<void(enginetest::Builder&)> change;
    std::string query;  // after the address
  } cases[] = {
      {"no album, no keywords, no artist",
       [](enginetest::Builder& net) {
         auto* s = net.song(11, 10);
         s->name = "Solo";
         s->md5 = "ffff";
       },
       "limit=10&output=1&name=Solo&artist=&md5=ffff"},
      {"an album id that names no node, two artists",
       [](enginetest::Builder& net) {
         auto* other = net.artist(31);
         other->name = "Other";
         auto* s = net.song(11, 10, 99, {30, 31});
         s->name = "Duet";
       },
       "limit=10&output=1&name=Duet&artist=(Various%20Artists)&md5="},
      {"texts that would break the address",
       [](enginetest::Builder& net) {
         auto* s = net.song(11, 10);
         s->name = "C# Minor + \"x\"/<y>%\tz \xC3\xA9";
       },
       "limit=10&output=1&name=C%23%20Minor%20%2b%20%22x%22%2f%3cy%3e%25%20z%20\xC3\x83\xC2\xA9"
       "&artist=&md5="},
      {"a limit in exponent form", [](enginetest::Builder& net) { net.song(11, 10)->name = "L"; },
       "limit=1.23457e+06&output=-1&name=L&artist=&md5="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    engine.removeNodeFromNet(net.node(11));
    c.change(net);
    const bool bigLimit = std::string(c.what) == "a limit in exponent form";
    EXPECT_EQ(url(net.node(11), bigLimit ? 1234567 : 10, bigLimit ? -1 : 1),
              std::string(kAddress) + c.query);
  }
}

TEST_F(FeaturesetUrl, TheServiceHostComesFromTheEnvironment) {
  ::setenv("ZARVELL_SIMILAR_HOST", "127.0.0.1:8080", 1);
  const std::string text = url(song);
  EXPECT_EQ(text.rfind("http://127.0.0.1:8080/cgi-bin/similar.cgi?limit=10&output=1&name=", 0), 0u)
      << text;
}

TEST_F(FeaturesetUrl, OnlySongsHaveAQuery) {
  EXPECT_EQ(engine.featuresetUrl(album, 10, 1), nullptr);
  EXPECT_EQ(engine.featuresetUrl(artist, 10, 1), nullptr);
  EXPECT_EQ(engine.featuresetUrl(nullptr, 10, 1), nullptr);
}

}  // namespace
}  // namespace itunestest
