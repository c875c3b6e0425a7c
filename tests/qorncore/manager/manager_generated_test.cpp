// The palette and the selection on a generated library (2,000 songs, fixed seed, plus a
// separate cluster of twelve songs), pinned to the results they gave when these tests were
// written: the palette and the selection are rewritten for speed now and then, and a
// faster version must choose exactly the same songs.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "NetworkGenerator.h"
#include "manager_test_support.h"

namespace {

using enginetest::ids;
using enginetest::LogCapture;

std::string join(const std::vector<int>& v) {
  std::ostringstream out;
  for (std::size_t i = 0; i < v.size(); ++i) out << (i ? ", " : "") << v[i];
  return out.str();
}

constexpr int kRingFirst = 5001;

class GeneratedNetworkTest : public enginetest::ManagerTest {
 protected:
  GeneratedNetworkTest() {
    netgen::Options o;
    o.songs = 2000;
    o.albums = 200;
    o.artists = 100;
    o.links = 16000;
    o.seed = 7;
    netgen::generate(engine, o);
    // A second cluster: twelve songs, each linked to its next four.
    for (int i = 0; i < 12; ++i) net.song(kRingFirst + i);
    for (int i = 0; i < 12; ++i)
      for (int k = 1; k <= 4; ++k) {
        const int a = kRingFirst + i;
        const int b = kRingFirst + (i + k) % 12;
        if (!engine.links().find(a, b)) net.link(a, b, 0.3f + 0.1f * static_cast<float>(k));
      }
    std::srand(1);
  }
};

struct PaletteCase {
  const char* name;
  std::vector<int> own;  // the Kalvorets list before the palette is made
  std::vector<int> palette;
};

class GeneratedPaletteTest : public GeneratedNetworkTest,
                             public ::testing::WithParamInterface<PaletteCase> {};

TEST_P(GeneratedPaletteTest, PaletteIsTheOneFirstComputed) {
  std::vector<Node*> own;
  for (int id : GetParam().own) own.push_back(net.node(id));
  engine.setMyKalvorets(own);
  LogCapture log;
  EXPECT_EQ(engine.createPalette(), 0);
  EXPECT_EQ(ids(engine.palette()), GetParam().palette) << join(ids(engine.palette()));
  EXPECT_EQ(ids(engine.myKalvorets()), GetParam().own);
  // Propagation only: no step, activation or link changed.
  EXPECT_EQ(engine.step(), 0);
  EXPECT_FLOAT_EQ(net.node(400)->activation.value(), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratedPaletteTest,
    ::testing::Values(PaletteCase{"NoOwnSongs", {}, {308,  324,  344,  349,  363,  398, 411, 416,
                                                     430,  449,  469,  618,  707,  713, 874, 875,
                                                     1244, 1331, 1640, 2073, 1519, 5001}},
                      PaletteCase{"OwnSongsInBothClusters",
                                  {301, 1200, 2250, kRingFirst + 3},
                                  {308, 344, 349, 411,  416,  430,  449,  469,  618, 707,
                                   713, 875, 966, 1181, 1244, 1316, 1887, 2190, 716, 2073}}),
    [](const auto& info) { return std::string(info.param.name); });

// A network that has aged: links last decayed at different steps, the engine some steps
// further. The palette's propagations bring every link they read to the current step (and
// only those: with propagation to meta nodes off, links to albums and artists are not read),
// so both the palette and the state of every link are pinned, through a digest of each
// link's ends, strength bits and step.
struct AgedCase {
  const char* name;
  bool toMeta;
  std::vector<int> palette;
  std::size_t linksAtStep;  // links whose last decay is the current step afterwards
  uint64_t digest;
};

class GeneratedAgedPaletteTest : public GeneratedNetworkTest,
                                 public ::testing::WithParamInterface<AgedCase> {};

TEST_P(GeneratedAgedPaletteTest, ReadLinksAreDecayedAndTheRestKept) {
  const AgedCase& c = GetParam();
  constexpr int32_t kStep = 40;
  std::size_t n = 0;
  engine.links().forEachLinkInPairOrder([&](const qorn::Asc& link, int32_t, int32_t) {
    const_cast<qorn::Asc&>(link).lastvisited = static_cast<int32_t>(n++ % 5) * 9;  // 0..36
  });
  for (int32_t i = 0; i < kStep; ++i) engine.advanceStep();
  engine.setPropagateToMeta(c.toMeta);
  LogCapture log;
  EXPECT_EQ(engine.createPalette(), 0);
  EXPECT_EQ(ids(engine.palette()), c.palette) << join(ids(engine.palette()));
  EXPECT_EQ(engine.step(), kStep);

  std::size_t atStep = 0;
  uint64_t digest = 1469598103934665603ULL;  // FNV-1a over (first, second, bits, step)
  auto mix = [&](uint32_t v) {
    for (int k = 0; k < 4; ++k) digest = (digest ^ ((v >> (8 * k)) & 0xff)) * 1099511628211ULL;
  };
  engine.links().forEachLinkInPairOrder([&](const qorn::Asc& link, int32_t a, int32_t b) {
    float f = link.strength.value();
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    mix(static_cast<uint32_t>(a));
    mix(static_cast<uint32_t>(b));
    mix(bits);
    mix(static_cast<uint32_t>(link.lastvisited));
    atStep += link.lastvisited == kStep ? 1 : 0;
  });
  EXPECT_EQ(atStep, c.linksAtStep);
  EXPECT_EQ(digest, c.digest);
}

INSTANTIATE_TEST_SUITE_P(Cases, GeneratedAgedPaletteTest,
                         ::testing::Values(AgedCase{"ToMeta",
                                                    true,
                                                    {308, 324, 344, 349, 363, 398, 411, 416,
                                                     430, 449, 469, 618, 707, 713, 874, 875,
                                                     1244, 1331, 1640, 1983, 731, 2073, 1519,
                                                     5001},
                                                    15997,
                                                    16649971967262001222ULL},
                                           AgedCase{"SongsOnly",
                                                    false,
                                                    {308, 324, 344, 349, 363, 398, 411, 416,
                                                     430, 449, 469, 618, 707, 713, 874, 875,
                                                     1244, 1639, 1640, 961, 2223, 732, 2225,
                                                     5001},
                                                    11667,
                                                    11295644383073401834ULL}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LoopCase {
  const char* name;
  int tabooAllBut;  // before the loop every song is made taboo except each n-th (0: none)
  int cycles;
  std::vector<int> picked;
  bool fallback;  // the hotlist is all taboo at some pick
};

class GeneratedLoopTest : public GeneratedNetworkTest,
                          public ::testing::WithParamInterface<LoopCase> {};

// The application's play loop: the song ends, the next is picked, played and boosted;
// four minutes a song, so taboo entries run out and are purged along the way.
TEST_P(GeneratedLoopTest, PlayLoopPicksTheSongsFirstPicked) {
  const LoopCase& c = GetParam();
  engine.setTabooDuration(3600, 3600);
  if (c.tabooAllBut > 0)
    for (int id = 301; id <= 2300; ++id)
      if (id % c.tabooAllBut != 0) engine.tabooList().add(0, net.node(id));
  LogCapture log;
  Node* current = net.node(1000);
  std::vector<int> picked;
  for (int k = 0; k < c.cycles; ++k) {
    at(240 * k);
    ASSERT_EQ(engine.onPlay(current, true), 1);
    ASSERT_EQ(engine.boost({current}, 1.0f, false), 1);
    at(240 * k + 230);
    ASSERT_EQ(engine.onSongEndReached(current, true), 1);
    Node* next = engine.pickNextNode(0.1f);
    ASSERT_NE(next, nullptr);
    picked.push_back(next->id);
    if (next->asSong()) current = next;
  }
  EXPECT_EQ(picked, c.picked) << join(picked);
  EXPECT_EQ(log.count(enginetest::kDebug, enginetest::kManagerSource,
                      "all tracks in hotlist are taboo!") > 0,
            c.fallback);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratedLoopTest,
    ::testing::Values(LoopCase{"FreeLibrary",
                               0,
                               120,
                               {1931, 2093, 695,  519,  819,  1689, 1557, 498,  953,  1792, 1250,
                                1192, 2125, 1096, 1541, 2038, 764,  1235, 1782, 2064, 1043, 1118,
                                2036, 1557, 818,  446,  1741, 2174, 1874, 1321, 372,  2079, 880,
                                1651, 1250, 1475, 2128, 1085, 1088, 1745, 460,  937,  1132, 307,
                                982,  2176, 2125, 1192, 1096, 1541, 2038, 764,  496,  2064, 806,
                                1552, 2192, 1576, 429,  834,  1362, 1355, 1823, 1127, 1852, 1000,
                                1974, 307,  312,  1132, 937,  1700, 1706, 1557, 818,  446,  1874,
                                372,  1250, 1190, 678,  1611, 433,  772,  764,  496,  1546, 2219,
                                1052, 818,  818,  446,  1557, 2036, 1743, 1132, 937,  1541, 2125,
                                1192, 1096, 2038, 764,  496,  1546, 2219, 2273, 819,  1689, 1557,
                                818,  446,  1052, 1644, 1741, 2174, 492,  383,  1874, 372},
                               false},
                      LoopCase{"MostSongsTaboo",
                               40,
                               20,
                               {1400, 880, 360, 1040, 1800, 1160, 840,  520, 2160, 400,
                                600,  560, 720, 320,  456,  1779, 1829, 438, 2099, 1641},
                               true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
