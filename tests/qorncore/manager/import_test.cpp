// The import on real audio files with real tags (made by ffmpeg), the real analysis
// module and the real tag reader: the feature extraction driver, node building, insertion
// with its links and first activations, cancelling at every stage, missing modules.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <set>

#include "../engine/engine_test_support.h"
#include "import_test_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/featureextractor.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/qornManager.h"

namespace importtest {
namespace {

using enginetest::LogCapture;
using qorn::qornManager;

constexpr const char* kManager = "qorncore/manager/qornManager";
constexpr const char* kExtractor = "qorncore/manager/featureextractor";

// The shipped pairwise model of the link inference.
std::string shippedModel() { return std::string(ZARVELL_PROGRAM_DIR) + "/networks/model"; }

// Files made once for the whole suite.
class Library {
 public:
  static Library& get() {
    static Library library;
    return library;
  }
  std::string a, b, c, untitled;

 private:
  Library() {
    a = dir_.file("first.mp3");
    b = dir_.file("second.m4a");
    c = dir_.file("third.wav");
    untitled = dir_.file("Untitled Track.MP3");
    makeAudio(a, 440, 8, {"First Song", "Test Artist", "Shared Album", "Rock", "2001"});
    makeAudio(b, 660, 9, {"Second Song", "Test Artist", "Shared Album", "Rock", "2002"});
    makeAudio(c, 550, 7, {"Third Song", "Other Artist", "Other Album", "Jazz", "2003"});
    makeAudio(untitled, 330, 6, {"", "Test Artist", "", "", ""});
  }
  TempDir dir_;
};

class ImportTest : public ::testing::Test {
 protected:
  // An engine over a feature store in a fresh data folder, with the given model.
  void start(const std::string& model) {
    engine.reset();
    engine = std::make_unique<qornManager>(data.path().string() + "/", model, &recorder);
    qorn::setManagerPresent(true);
    qorn::clearLogOutputText();
  }
  ~ImportTest() override { qorn::setManagerPresent(false); }
  std::string saved() {
    const std::string path = data.file("net.xml");
    EXPECT_EQ(engine->saveNet(path.c_str()), 1);
    return readFile(path);
  }
  std::vector<Node*> ofKind(int kind) {
    std::vector<Node*> out;
    for (const auto& entry : engine->nodes().byId())
      if (entry.second->getType() == kind) out.push_back(entry.second);
    return out;
  }
  Node* named(const std::string& name) {
    for (const auto& entry : engine->nodes().byId())
      if (entry.second->name.str() == name) return entry.second;
    return nullptr;
  }

  Library& lib = Library::get();
  TempDir data;
  // The community server is out of reach: downloads and uploads fail at once.
  ScopedEnv community{"ZARVELL_COMMUNITY_HOST", "127.0.0.1:1"};
  Recorder recorder;
  LogCapture log;
  std::unique_ptr<qornManager> engine;
};

// ---- File names and keyword texts ----------------------------------------------------------

TEST(ImportNames, FileNameCutAtKnownExtensions) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"/music/Song.MP3", "Song"},           {"Song.mp3", "Song"},
      {"/a/b/Track 01.Flac", "Track 01"},    {"/x/live.ogg", "live"},
      {"/x/take.oga", "take"},               {"/x/voice.OPUS", "voice"},
      {"/x/bought.m4p", "bought"},           {"/x/a.wav.mp3", "a"},
      {"/x/notes.txt", "notes.txt"},         {"/x/no extension", "no extension"},
      {"/folder.mp3/inside", "inside"},      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(qorn::cutFileName(c.path), c.name) << c.path;
}

TEST(ImportNames, KeywordTextSplitsAtTheTenSeparators) {
  EXPECT_EQ(qorn::keywordText("Hello World_a-b/c[d]e(f)g\\h.i"), "Hello, World, a, b, c, d, e, f, g, h, i");
  EXPECT_EQ(qorn::keywordText("  (Live)  "), "Live");
  EXPECT_EQ(qorn::keywordText("Björk, Ünïcode"), "Björk,, Ünïcode");
  EXPECT_EQ(qorn::keywordText(""), "");
}

// ---- Feature extraction driver ------------------------------------------------------------

TEST_F(ImportTest, ExtractorStoresNewFeaturesOnceAndKnowsThemTheNextRun) {
  start("");
  const std::string missing = data.file("missing.mp3");
  Items items;
  items.add(lib.a, "First Song", "", "");
  items.add(missing, "Missing", "", "");
  items.add(lib.a, "Copy", "", "");  // the same song twice in one run
  qorn::FeatureManager& store = engine->featureStore();
  const std::string xml = data.file("networks/features.xml");
  {
    qorn::FeatureExtractor extractor(&store, &recorder, xml);
    ASSERT_TRUE(extractor.canAnalyse());
    std::vector<std::string> md5s;
    ASSERT_EQ(extractor.run(items.get(), md5s, 2, 4), 1);
    ASSERT_EQ(md5s.size(), 3u);
    EXPECT_EQ(md5s[0].size(), 32u);
    EXPECT_EQ(md5s[1], "");
    EXPECT_EQ(md5s[2], md5s[0]);
    EXPECT_EQ(store.recordCount(), 1u);
    EXPECT_TRUE(store.features(md5s[0], false).has_value());
    EXPECT_EQ(log.count(enginetest::kDebug, kExtractor, "Feature extraction failed for  " + missing), 1);
    EXPECT_NE(qorn::logOutputText().find("Feature extraction failed for " + missing + "\r\n"),
              std::string::npos);
    EXPECT_NE(readFile(xml).find(md5s[0]), std::string::npos);
  }
  ASSERT_FALSE(recorder.reports.empty());
  const Report& first = recorder.reports.front();
  EXPECT_EQ(first.stage, 2);
  EXPECT_EQ(first.stages, 4);
  EXPECT_EQ(first.caption, "Analyzing Media");
  EXPECT_EQ(first.detail, "Initializing Engine...");
  ASSERT_GT(recorder.count("Feature Extraction"), 0);
  for (const Report& r : recorder.reports) {
    if (r.caption != "Feature Extraction") continue;
    EXPECT_EQ(r.detail2, "Feature Extraction Caption");
    EXPECT_EQ(r.stage, 2);
    EXPECT_EQ(r.total, 3);
  }

  // A second run knows the song: the lookup answers, nothing is stored again.
  const std::string storeBefore = readFile(store.storePath());
  Items again;
  again.add(lib.a, "First Song", "", "");
  qorn::FeatureExtractor second(&store, &recorder, xml);
  std::vector<std::string> md5s;
  ASSERT_EQ(second.run(again.get(), md5s, 2, 4), 1);
  ASSERT_EQ(md5s.size(), 1u);
  EXPECT_EQ(md5s[0].size(), 32u);
  EXPECT_EQ(store.recordCount(), 1u);
  EXPECT_EQ(readFile(store.storePath()), storeBefore);
}

// A program folder without any module, holding only the shipped normaliser file.
class ProgramWithoutModules {
 public:
  ProgramWithoutModules() : env_("ZARVELL_PROGRAM_DIR", dir_.path().string()) {
    fs::create_directories(dir_.path() / "networks");
    fs::copy_file(fs::path(ZARVELL_PROGRAM_DIR) / "networks/normf.xml",
                  dir_.path() / "networks/normf.xml");
  }

 private:
  TempDir dir_;
  ScopedEnv env_;
};

TEST_F(ImportTest, ExtractorWithoutSonalyxGivesEmptyMd5s) {
  ProgramWithoutModules program;
  start("");
  Items items;
  items.add(lib.a, "First Song", "", "");
  items.add(lib.b, "Second Song", "", "");
  const std::string xml = data.file("networks/features.xml");
  qorn::FeatureExtractor extractor(&engine->featureStore(), &recorder, xml);
  EXPECT_FALSE(extractor.canAnalyse());
  std::vector<std::string> md5s;
  ASSERT_EQ(extractor.run(items.get(), md5s, 2, 4), 1);
  EXPECT_EQ(md5s, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(log.count(enginetest::kFatal, kExtractor, "can't load Sonalyx"), 1);
  EXPECT_EQ(qorn::logOutputText(), "Fatal error during feature extraction\r\n");
  EXPECT_TRUE(fs::exists(xml));
}

TEST_F(ImportTest, ExtractorCancelledAtTheFirstReportDoesNothing) {
  start("");
  recorder.cancelAt = [](const Report&) { return true; };
  Items items;
  items.add(lib.a, "First Song", "", "");
  qorn::FeatureExtractor extractor(&engine->featureStore(), &recorder,
                                   data.file("networks/features.xml"));
  std::vector<std::string> md5s{"stale"};
  EXPECT_EQ(extractor.run(items.get(), md5s, 2, 4), 0);
  EXPECT_TRUE(md5s.empty());
  EXPECT_EQ(recorder.reports.size(), 1u);
  EXPECT_EQ(engine->featureStore().recordCount(), 0u);
  EXPECT_FALSE(fs::exists(data.file("networks/features.xml")));
}

// ---- Cancelling and failing leave the network as it was ---------------------------------

// A network with an album and a song on it, which a cancelled import must not change, even
// though the import adds a track to that album.
void buildOldNetwork(qornManager& engine) {
  auto* album = new qorn::SongListNode(1);
  album->name = "Shared Album";
  album->duration = 200;
  auto* song = new qorn::SongNode(2);
  song->name = "Old Song";
  song->location = "/old/song.mp3";
  song->duration = 200;
  song->albumId = 1;
  album->setTrack(0, 2);
  auto* artist = new qorn::ArtistNode(3);
  artist->name = "Test Artist";
  song->people.addPerson(3, "artist");
  ASSERT_EQ(engine.addNode(album), 1);
  ASSERT_EQ(engine.addNode(song), 1);
  ASSERT_EQ(engine.addNode(artist), 1);
  engine.links().create(1, 2, qorn::qornfloat(0.2f));
  engine.links().create(2, 3, qorn::qornfloat(0.3f));
}

// The network text with each link's two ends in id order: a network given back from its
// file text names the ends of an undirected link the other way round.
std::string linkEndsInOrder(const std::string& text) {
  static const std::regex link(R"re(<link to="(\d+)" from="(\d+)")re");
  std::string out;
  auto at = text.cbegin();
  for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
    const std::smatch& m = *it;
    out.append(at, m[0].first);
    int a = std::stoi(m[1]), b = std::stoi(m[2]);
    if (a > b) std::swap(a, b);
    out += "<link to=\"" + std::to_string(a) + "\" from=\"" + std::to_string(b) + "\"";
    at = m[0].second;
  }
  out.append(at, text.cend());
  return out;
}

TEST_F(ImportTest, CancelOrFailureAtEveryStageLeavesTheNetworkAsItWas) {
  struct Case {
    const char* what;
    std::function<bool(const Report&)> cancelAt;
    bool fileList;  // through importFileList (stage 1), else importFromMetaData
    int result;
    bool merge = true;  // false: the import replaces the network
  } cases[] = {
      {"stage 1, after the first file", [](const Report& r) { return r.stage == 1 && r.current == 1; },
       true, -1},
      {"stage 2, first report", [](const Report& r) { return r.caption == "Analyzing Media"; }, false, 0},
      {"stage 2, during the analysis",
       [](const Report& r) { return r.caption == "Feature Extraction"; }, false, 0},
      {"stage 3, after the first item",
       [](const Report& r) { return r.caption == "Creating nodes" && r.current == 1; }, false, 0},
      {"stage 4, after two nodes",
       [](const Report& r) { return r.caption == "Inserting Nodes..." && r.current == 2; }, false, 0},
      {"stage 4, inference without a model", nullptr, false, 0},
      {"stage 4, replacing, after two nodes",
       [](const Report& r) { return r.caption == "Inserting Nodes..." && r.current == 2; }, false, 0,
       false},
      {"stage 4, replacing, inference without a model", nullptr, false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start("");  // no pairwise model: the inference fails
    buildOldNetwork(*engine);
    const std::string before = linkEndsInOrder(saved());
    recorder.reports.clear();
    recorder.cancelled = false;
    recorder.cancelAt = c.cancelAt;
    Items items;
    items.add(lib.a, "First Song", "Test Artist", "Shared Album", "Rock", 8);
    items.add(lib.c, "Third Song", "Other Artist", "Other Album", "Jazz", 7);
    int result;
    if (c.fileList) {
      const char* files[] = {lib.a.c_str(), lib.c.c_str()};
      result = engine->importFileList(files, 2, 1.0f);
    } else {
      result = engine->importFromMetaData(items.get(), 1.0f, c.merge);
    }
    EXPECT_EQ(result, c.result);
    // The cancel ended the import where it was answered.
    EXPECT_EQ(recorder.cancelled, c.cancelAt != nullptr);
    if (c.cancelAt) {
      ASSERT_FALSE(recorder.reports.empty());
      EXPECT_TRUE(c.cancelAt(recorder.reports.back()) ||
                  recorder.reports.back().detail.rfind("found ", 0) == 0)
          << recorder.reports.back().caption;
    }
    EXPECT_EQ(linkEndsInOrder(saved()), before);
    EXPECT_EQ(engine->nodes().size(), 3u);
    const auto* album = engine->nodes().find(1)->asSongList();
    EXPECT_EQ(album->tracks, std::vector<int32_t>{2});
  }
}

TEST_F(ImportTest, InsertionCancelLogsAndFailedInferenceRemovesTheNewNodes) {
  start("");
  recorder.cancelAt = [](const Report& r) { return r.caption == "Inserting Nodes..." && r.current == 1; };
  Items items;
  items.add(lib.a, "First Song", "Test Artist", "Shared Album");
  EXPECT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 0);
  EXPECT_EQ(log.count(enginetest::kDebug, kManager, "aborted addNodeList"), 1);
  EXPECT_EQ(engine->nodes().size(), 0u);

  recorder.cancelAt = nullptr;
  recorder.cancelled = false;
  EXPECT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 0);
  EXPECT_EQ(log.count(enginetest::kDebug, kManager, "addNodeList starting removing nodes"), 1);
  EXPECT_EQ(log.count(enginetest::kDebug, kManager, "leaving addNodeList with error code"), 1);
  EXPECT_EQ(engine->nodes().size(), 0u);
}

// A network of 500 songs takes a small import through the incremental inference alone
// ("Inserting Tracks"); a cancel there leaves the network as it was too.
TEST_F(ImportTest, CancelInTheIncrementalInferenceLeavesALargeNetworkAsItWas) {
  start(shippedModel());
  buildOldNetwork(*engine);
  for (int32_t id = 100; id < 600; ++id) {
    auto* song = new qorn::SongNode(id);
    song->name = "Old " + std::to_string(id);
    song->location = "/old/" + std::to_string(id) + ".mp3";
    song->duration = 100;
    ASSERT_EQ(engine->addNode(song), 1);
    if (id > 100) engine->links().create(id - 1, id, qorn::qornfloat(0.5f));
  }
  const std::string before = saved();
  recorder.cancelAt = [](const Report& r) { return r.caption == "Inserting Tracks"; };
  Items items;
  items.add(lib.a, "First Song", "Test Artist", "Shared Album", "Rock", 8);
  EXPECT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 0);
  EXPECT_TRUE(recorder.cancelled);
  EXPECT_EQ(saved(), before);

  // Without the cancel the song joins the network's album and artist.
  recorder.cancelAt = nullptr;
  recorder.cancelled = false;
  ASSERT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1) << qorn::logOutputText();
  EXPECT_GT(recorder.count("Inserting Tracks"), 0);
  Node* song = engine->nodes().findByLocation(lib.a);
  ASSERT_TRUE(song);
  EXPECT_FLOAT_EQ(engine->getLinkStrength(engine->nodes().find(1), song), 0.2f);
  EXPECT_EQ(engine->nodes().find(1)->duration, 208);
}

// ---- Missing modules ----------------------------------------------------------------------

TEST_F(ImportTest, WithoutOrsankTheFileListYieldsNothing) {
  ProgramWithoutModules program;
  start(shippedModel());
  buildOldNetwork(*engine);
  const std::string before = saved();
  const char* files[] = {lib.a.c_str(), lib.b.c_str()};
  EXPECT_EQ(engine->importFileList(files, 2, 1.0f), 0);
  EXPECT_EQ(saved(), before);
  EXPECT_EQ(log.count(enginetest::kError, kManager, "can't find Orsank.so"), 1);
  EXPECT_NE(qorn::logOutputText().find("Orsank.so is missing"), std::string::npos);
  std::vector<Report> scan;
  for (const Report& r : recorder.reports)
    if (r.stage == 1) scan.push_back(r);
  ASSERT_EQ(scan.size(), 4u);  // start, two files, the count
  EXPECT_EQ(scan[1].detail, lib.a);
  EXPECT_EQ(scan[2].detail, lib.b);
  EXPECT_EQ(scan[3].detail, "found 0 items");
  for (const Report& r : scan) {
    EXPECT_EQ(r.caption, "Scanning meta data");
    EXPECT_EQ(r.stages, 4);
    EXPECT_EQ(r.total, 3);
  }
}

// ---- Successful imports (the shipped pairwise model) -----------------------------------------

TEST_F(ImportTest, SharedAlbumTracksInItemOrderWithMetaLinksAndDurations) {
  start(shippedModel());
  engine->setMediaRoot(qorn::qornstring("/media"));
  Items items;
  items.add(lib.a, "First Song", "Test Artist", "Shared Album", "Rock", 8);
  items.add(lib.b, "Second Song", "Test Artist", "Shared Album", "Rock", 9);
  items.add(lib.c, "Third Song", "Other Artist", "Other Album", "Jazz", 7);
  ASSERT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1) << qorn::logOutputText();

  // Each node takes the next id as it is built (the song first, then its new album and
  // artist); the new node list holds them album, artist, song.
  const std::vector<std::pair<int32_t, std::string>> expected{
      {1, "First Song"},  {2, "Shared Album"}, {3, "Test Artist"}, {4, "Second Song"},
      {5, "Third Song"},  {6, "Other Album"},  {7, "Other Artist"}};
  ASSERT_EQ(engine->nodes().size(), expected.size());
  for (const auto& [id, name] : expected) EXPECT_EQ(engine->nodes().find(id)->name.str(), name);

  Node* sharedAlbum = engine->nodes().find(2);
  Node* testArtist = engine->nodes().find(3);
  const auto* album = sharedAlbum->asSongList();
  EXPECT_EQ(album->tracks, (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(album->listType, qorn::kAlbumList);
  for (int32_t song : {1, 4}) {
    EXPECT_FLOAT_EQ(engine->getLinkStrength(sharedAlbum, engine->nodes().find(song)), 0.2f);
    EXPECT_FLOAT_EQ(engine->getLinkStrength(testArtist, engine->nodes().find(song)), 0.3f);
    const auto* s = engine->nodes().find(song)->asSong();
    EXPECT_EQ(s->albumId, 2);
    EXPECT_EQ(s->people.artists, std::vector<int32_t>{3});
    EXPECT_EQ(s->md5.size(), 32u);
    EXPECT_TRUE(s->apb);
  }
  EXPECT_EQ(engine->nodes().find(1)->asSong()->location, lib.a);
  EXPECT_EQ(engine->getLinkStrength(sharedAlbum, engine->nodes().find(5)), -1.0f);
  // Durations of lists and artists: the sums of their songs.
  EXPECT_EQ(sharedAlbum->duration, 17);
  EXPECT_EQ(testArtist->duration, 17);
  EXPECT_EQ(engine->nodes().find(6)->duration, 7);
  const std::string keywords = engine->keywordsOf(engine->nodes().find(1));
  for (const char* word : {"first", "song", "rock"})
    EXPECT_NE(keywords.find(word), std::string::npos) << keywords;
  EXPECT_EQ(engine->mediaRoot().str(), "");
  // Every song has its features in the store.
  for (int32_t song : {1, 4, 5})
    EXPECT_TRUE(engine->featureStore().features(engine->nodes().find(song)->md5, false).has_value());

  // Progress of node building and insertion.
  std::vector<Report> building, inserting;
  for (const Report& r : recorder.reports) {
    if (r.caption == "Creating nodes") building.push_back(r);
    if (r.caption == "Inserting Nodes...") inserting.push_back(r);
  }
  ASSERT_EQ(building.size(), 4u);
  EXPECT_EQ(building[2].detail, "Second Song");
  for (const Report& r : building) {
    EXPECT_EQ(r.stage, 3);
    EXPECT_EQ(r.stages, 4);
    EXPECT_EQ(r.total, 4);
    EXPECT_EQ(r.detail2, "Building nodes");
  }
  ASSERT_EQ(inserting.size(), 8u);
  EXPECT_EQ(inserting.back().current, 7);
  for (const Report& r : inserting) {
    EXPECT_EQ(r.stage, 3);
    EXPECT_EQ(r.stages, 3);
    EXPECT_EQ(r.total, 9);
  }
}

TEST_F(ImportTest, ImportingTheSameSongsTwiceWithMergingAddsNothing) {
  start(shippedModel());
  Items items;
  items.add(lib.a, "First Song", "Test Artist", "Shared Album", "Rock", 8);
  items.add(lib.b, "Second Song", "Test Artist", "Shared Album", "Rock", 9);
  ASSERT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1) << qorn::logOutputText();
  const std::string once = saved();
  const std::size_t records = engine->featureStore().recordCount();
  EXPECT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1);
  EXPECT_EQ(saved(), once);
  EXPECT_EQ(engine->featureStore().recordCount(), records);
}

TEST_F(ImportTest, NewSongsJoinAlbumsAndArtistsOfTheNetworkButNoPlaylist) {
  start(shippedModel());
  buildOldNetwork(*engine);
  auto* playlist = new qorn::SongListNode(10);
  playlist->name = "Other Album";
  playlist->listType = qorn::kPlayList;
  ASSERT_EQ(engine->addNode(playlist), 1);
  Items items;
  items.add(lib.a, "First Song", "Test Artist", "Shared Album", "Rock", 8);
  items.add(lib.c, "Third Song", "Test Artist", "Other Album", "Jazz", 7);
  ASSERT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1) << qorn::logOutputText();
  // Ids go on from the largest: the first song (album and artist known), then the second
  // song and its new album.
  ASSERT_EQ(engine->nodes().size(), 7u);
  Node* first = engine->nodes().find(11);
  Node* third = engine->nodes().find(12);
  Node* newAlbum = engine->nodes().find(13);
  ASSERT_TRUE(first && newAlbum && third);
  EXPECT_EQ(newAlbum->name.str(), "Other Album");
  EXPECT_EQ(engine->nodes().find(1)->asSongList()->tracks, (std::vector<int32_t>{2, 11}));
  EXPECT_TRUE(engine->nodes().find(10)->asSongList()->tracks.empty());
  EXPECT_FLOAT_EQ(engine->getLinkStrength(engine->nodes().find(1), first), 0.2f);
  EXPECT_FLOAT_EQ(engine->getLinkStrength(newAlbum, third), 0.2f);
  for (Node* song : {first, third})
    EXPECT_FLOAT_EQ(engine->getLinkStrength(engine->nodes().find(3), song), 0.3f);
  EXPECT_EQ(engine->nodes().find(1)->duration, 208);
  EXPECT_EQ(engine->nodes().find(3)->duration, 215);
}

TEST_F(ImportTest, FirstActivationsFollowTheHotlistLength) {
  struct Case {
    const char* what;
    int viewStyle;      // hotlist filter during the import
    int oldArtists;     // nodes the network holds before
    std::vector<float> songActivations;
  } cases[] = {
      // 5 new nodes, the hotlist of song lists holds only the new album: n = 1.
      {"more new nodes than the hotlist holds", 2, 0, {0.99f, 0.0f, 0.0f}},
      // 5 new nodes against a hotlist of 10 old artists and the new ones: every song 0.999.
      {"fewer new nodes than the hotlist holds", 7, 10, {0.999f, 0.999f, 0.999f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(shippedModel());
    for (int i = 0; i < c.oldArtists; ++i) {
      auto* artist = new qorn::ArtistNode(100 + i);
      artist->name = "Old Artist " + std::to_string(i);
      ASSERT_EQ(engine->addNode(artist), 1);
    }
    engine->setViewStyle(c.viewStyle);
    Items items;
    items.add(lib.a, "First Song", "Test Artist", "Shared Album");
    items.add(lib.b, "Second Song", "Test Artist", "Shared Album");
    items.add(lib.c, "Third Song", "Test Artist", "Shared Album");
    ASSERT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1) << qorn::logOutputText();
    std::vector<float> songs;
    for (const std::string name : {"First Song", "Second Song", "Third Song"})
      songs.push_back(engine->decayNode(named(name)).value());
    for (std::size_t i = 0; i < songs.size(); ++i)
      EXPECT_NEAR(songs[i], c.songActivations[i], 1e-6) << i;
    if (c.viewStyle == 2) {
      EXPECT_NEAR(engine->decayNode(named("Shared Album")).value(), 0.6f, 1e-6);
    }
  }
}

TEST_F(ImportTest, FileListTakesTitlesFromTagsOrTheCutFileName) {
  start(shippedModel());
  const std::string utf8 = data.file("Ünïcode Ŝong.flac");
  makeAudio(utf8, 500, 6, {"Ünïcode Ŝong Title", "Ärtist", "Älbum", "", ""});
  const char* files[] = {lib.a.c_str(), lib.untitled.c_str(), utf8.c_str()};
  ASSERT_EQ(engine->importFileList(files, 3, 1.0f), 1) << qorn::logOutputText();
  Node* first = engine->nodes().findByLocation(lib.a);
  Node* untitled = engine->nodes().findByLocation(lib.untitled);
  Node* unicode = engine->nodes().findByLocation(utf8);
  ASSERT_TRUE(first && untitled && unicode);
  EXPECT_EQ(first->name.str(), "First Song");
  EXPECT_EQ(untitled->name.str(), "Untitled Track");
  EXPECT_EQ(unicode->name.str(), "Ünïcode Ŝong Title");
  EXPECT_EQ(first->duration, 8);
  EXPECT_EQ(qorn::getAlbum(engine->nodes(), first)->name.str(), "Shared Album");
  EXPECT_EQ(qorn::getAlbum(engine->nodes(), unicode)->name.str(), "Älbum");
  EXPECT_EQ(qorn::artistNames(engine->nodes(), unicode->asSong()->people.artists, 1), "Ärtist");
  EXPECT_TRUE(named("Test Artist"));
  EXPECT_EQ(recorder.reports[4].detail, "found 3 items");  // after start and three files
}

TEST_F(ImportTest, WithoutSonalyxSongsAreBuiltWithAnEmptyMd5) {
  ProgramWithoutModules program;
  start(shippedModel());
  Items items;
  items.add(lib.a, "First Song", "Test Artist", "Shared Album", "Rock", 8);
  // The song has no features, so no song-to-song link, but it is imported with its album
  // and artist: one (empty) md5 per item reached node building.
  EXPECT_EQ(engine->importFromMetaData(items.get(), 1.0f, true), 1) << qorn::logOutputText();
  EXPECT_EQ(qorn::logOutputText().rfind("Fatal error during feature extraction\r\n", 0), 0u);
  ASSERT_EQ(engine->nodes().size(), 3u);
  Node* song = engine->nodes().findByLocation(lib.a);
  ASSERT_TRUE(song);
  EXPECT_EQ(song->md5, "");
  EXPECT_FLOAT_EQ(engine->getLinkStrength(named("Shared Album"), song), 0.2f);
}

// An iTunes library goes the whole way: its tracks (located by file URLs with percent
// escapes) become songs with the library's texts and durations, analysed and linked;
// its playlists add nothing.
TEST_F(ImportTest, ITunesLibraryImportsItsTracksThroughEveryStage) {
  start(shippedModel());
  auto url = [](const std::string& path) {
    std::string out = "file://localhost";
    for (char ch : path) out += ch == ' ' ? std::string("%20") : std::string(1, ch);
    return out;
  };
  auto track = [&](int id, const std::string& path, const std::string& name, int ms) {
    return "<key>" + std::to_string(id) + "</key><dict><key>Track ID</key><integer>" +
           std::to_string(id) + "</integer><key>Name</key><string>" + name +
           "</string><key>Artist</key><string>Lib Artist</string><key>Album</key><string>Lib "
           "Album</string><key>Genre</key><string>Ambient</string><key>Total Time</key>"
           "<integer>" + std::to_string(ms) + "</integer><key>Location</key><string>" +
           url(path) + "</string></dict>\n";
  };
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>Tracks</key><dict>\n" +
      track(7, lib.a, "From the Library", 8200) + track(9, lib.untitled, "Spaced Out", 6900) +
      "</dict><key>Playlists</key><array><dict><key>Name</key><string>Mix</string>"
      "<key>Playlist Items</key><array><dict><key>Track ID</key><integer>9</integer></dict>"
      "</array></dict></array></dict></plist>\n";
  const std::string path = data.file("iTunes Music Library.xml");
  std::ofstream(path) << xml;

  ASSERT_EQ(engine->importITunes(path.c_str(), 1.0f, false), 1) << qorn::logOutputText();
  EXPECT_EQ(engine->nodes().size(), 4u);  // two songs, their album and artist
  Node* first = engine->nodes().findByLocation(lib.a);
  Node* spaced = engine->nodes().findByLocation(lib.untitled);
  ASSERT_TRUE(first && spaced);
  EXPECT_EQ(first->name.str(), "From the Library");
  EXPECT_EQ(first->duration, 8);
  EXPECT_EQ(spaced->duration, 6);
  EXPECT_EQ(first->asSong()->md5.size(), 32u);
  EXPECT_EQ(named("Lib Album")->duration, 14);
  EXPECT_FLOAT_EQ(engine->getLinkStrength(named("Lib Artist"), spaced), 0.3f);
  EXPECT_GT(engine->getLinkStrength(first, spaced), 0.0f);  // inferred from their features
  EXPECT_EQ(recorder.count("Scanning iTunes.xml"), 2);
}

}  // namespace
}  // namespace importtest
