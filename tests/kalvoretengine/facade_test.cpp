// The engine facade over a small network built through the engine itself.
#include "IQornManager.h"
#include "IQornManagerAccess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "zarvell/paths.h"
#include "zarvell/status.h"

namespace {

using namespace qorn;

// Exposes the protected result-buffer helper.
struct TestManager : IQornManager {
  TestManager() : IQornManager(false, nullptr) {}
  using IQornManager::fillReturnNodes;
};

class Facade : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarvell-facade-XXXXXX";
    ASSERT_EQ(::chdir(::mkdtemp(pattern)), 0);
    manager = std::make_unique<TestManager>();
    engine = IQornManagerAccess::engine(*manager);
    ASSERT_NE(engine, nullptr);
  }

  template <typename T>
  T* add(T* node, const char* name) {
    node->name = name;
    EXPECT_EQ(engine->addNode(node), 1);
    return node;
  }

  std::unique_ptr<TestManager> manager;
  qornManager* engine = nullptr;
};

TEST_F(Facade, NullArgumentsGiveTheDocumentedEmptyValues) {
  EXPECT_EQ(manager->getNodeType(nullptr), -1);
  EXPECT_STREQ(manager->getNodeName(nullptr), "");
  EXPECT_STREQ(manager->getArtistName(nullptr), "");
  EXPECT_EQ(manager->getMediaPath(nullptr), nullptr);
  EXPECT_EQ(manager->getLinkStrength(nullptr, nullptr), -1.0f);
  EXPECT_FALSE(manager->isBlocked(nullptr));
  EXPECT_EQ(manager->onSongEndReached(nullptr, true), 0);
  EXPECT_EQ(manager->onAbortedSong(nullptr, 0.5f, true), 0);
  EXPECT_EQ(manager->removeNodeFromNet(nullptr), 0);
  manager->setTaboo(nullptr, true);
  EXPECT_EQ(manager->boost(nullptr, 1.0f, false), ZARVELL_E_FAIL);
  EXPECT_EQ(manager->getNodeByPath(nullptr), nullptr);
  EXPECT_EQ(manager->compareNetworkToLibrary(nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(manager->syncNetworkToLibrary(nullptr, 0.0f), -1);
  EXPECT_EQ(manager->getListLength(7), 0);
  EXPECT_EQ(manager->getNodeFromList(7, 0), nullptr);
  EXPECT_EQ(manager->getNodeFromList(0, 0), nullptr);  // index == hotlist length
}

TEST_F(Facade, NodeQueriesOverASmallNetwork) {
  auto* nina = add(new ArtistNode(1), "Nina");
  auto* song = new SongNode(10);
  song->location = "music/harbour.mp3";
  song->albumId = 20;
  song->people.addPerson(1, "artist");
  song->setDuration(215);
  add(song, "Harbour");
  auto* album = new SongListNode(20);
  album->setTrack(0, 10);
  album->setTrack(3, 10);
  add(album, "Tides");

  EXPECT_EQ(manager->getFirstNode(), nina);
  EXPECT_EQ(manager->getNodeType(nina), 4);
  EXPECT_EQ(manager->getNodeType(song), 1);
  EXPECT_EQ(manager->getNodeType(album), 2);
  EXPECT_STREQ(manager->getNodeName(song), "Harbour");
  EXPECT_EQ(manager->getNodeByPath("music/harbour.mp3"), song);
  EXPECT_EQ(manager->getAlbumNode(song), album);
  EXPECT_EQ(manager->getNumArtists(song), 1);
  EXPECT_EQ(manager->getArtistNode(song, 5), nina);  // the first artist, whatever the index
  EXPECT_EQ(manager->getNumSubNodes(album), 3);
  EXPECT_EQ(manager->getSubNode(album, 1), nullptr);  // empty slot
  EXPECT_EQ(manager->getSubNode(album, 2), song);
  EXPECT_STREQ(manager->getArtistName(album), "Nina");
  EXPECT_STREQ(manager->getArtistName(song), "");
  EXPECT_EQ(manager->getDuration(song), 215);
  manager->setDuration(song, 100);
  EXPECT_EQ(manager->getDuration(song), 100);

  EXPECT_FALSE(manager->isBlocked(song));  // made new: selectable
  manager->setBlocked(song, true);
  EXPECT_TRUE(manager->isBlocked(song));
  EXPECT_FALSE(song->apb);

  EXPECT_EQ(manager->addNodeRef(nina), 2);
  EXPECT_EQ(manager->releaseNode(nina), 1);
}

TEST_F(Facade, MediaPathFollowsTheMediaRoot) {
  auto* song = new SongNode(5);
  song->location = "/a/b.mp3";
  engine->addNode(song);
  EXPECT_STREQ(manager->getMediaPath(song), "/a/b.mp3");
  engine->setMediaRoot("/mnt/music");
  EXPECT_STREQ(manager->getMediaPath(song), "/mnt/music/a/b.mp3");
  engine->setMediaRoot(".");  // the program folder; one separator dropped
  EXPECT_EQ(std::string(manager->getMediaPath(song)),
            zarvell::programFolder() + "/a/b.mp3");
  auto* artist = new ArtistNode(6);
  engine->addNode(artist);
  EXPECT_EQ(manager->getMediaPath(artist), nullptr);
}

TEST_F(Facade, TextResultsAreCutToTheBufferAtACharacterBoundary) {
  std::string name(4094, 'a');
  name += "\xc3\xa9";  // a two-byte character across the 4095-byte limit
  auto* song = add(new SongNode(1), name.c_str());
  const char* result = manager->getNodeName(song);
  EXPECT_EQ(std::strlen(result), 4094u);
  const char* again = manager->getNodeName(song);
  EXPECT_EQ(result, again);  // one buffer, reused
}

TEST_F(Facade, LogOutputCopiesAndErrorReports) {
  EXPECT_EQ(manager->getLogOutput(), nullptr);
  manager->onAddToLogOutput("first");
  reportError(kErrorSaveNetwork);
  reportError(9);
  const char* one = manager->getLogOutput();
  ASSERT_NE(one, nullptr);
  const std::string text = one;
  EXPECT_EQ(text, "first\r\nCan't save network file.\r\nUnknown error type.\r\n");
  const char* two = manager->getLogOutput();
  EXPECT_NE(one, two);  // a fresh copy each time; the first is no longer valid
  EXPECT_EQ(text, two);
  manager->clearLogOutput();
  EXPECT_EQ(manager->getLogOutput(), nullptr);
}

TEST_F(Facade, ErrorMessagesTable) {
  const char* expected[] = {"Unknown error type.",
                            "Can't save features.xml file.",
                            "File normf.xml is missing.",
                            "Can't initialise link inference module.",
                            "Parse error in features.xml.",
                            "Can't save network file.",
                            "Can't open network file.",
                            "Fatal error during feature extraction",
                            "Unknown error type."};
  for (int code = 0; code <= 8; ++code) EXPECT_STREQ(errorMessage(code), expected[code]);
}

TEST_F(Facade, ReturnedNodeArrays) {
  auto* a = add(new SongNode(1), "a");
  auto* b = add(new SongNode(2), "b");
  Node** out = reinterpret_cast<Node**>(0x1);
  int count = -1;
  std::vector<Node*> onlyNull{nullptr, nullptr};
  manager->fillReturnNodes(&onlyNull, &out, &count);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(count, 0);
  std::vector<Node*> mixed{a, nullptr, b};
  manager->fillReturnNodes(&mixed, &out, &count);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(out[0], a);
  EXPECT_EQ(out[1], b);
  manager->fillReturnNodes(&mixed, nullptr, &count);  // a null out-pointer: nothing happens
  EXPECT_EQ(count, 2);
}

TEST_F(Facade, UnservedCommunityMethodsFailAndClearOutputs) {
  char** names = reinterpret_cast<char**>(0x1);
  int count = 5;
  Node** nodes = reinterpret_cast<Node**>(0x1);
  int nodeCount = 5;
  bool exists = true;
  EXPECT_EQ(manager->loginUser("u", "p"), ZARVELL_E_FAIL);
  EXPECT_EQ(manager->checkUserExists("u", &exists), ZARVELL_E_FAIL);
  EXPECT_EQ(manager->createUser("u", "p", "e"), ZARVELL_E_FAIL);
  EXPECT_EQ(manager->getSimilarUsers("u", &names, &count), ZARVELL_E_FAIL);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(manager->remoteCrossActivation("u", nullptr, 0, &nodes, &nodeCount), ZARVELL_E_FAIL);
  EXPECT_EQ(nodes, nullptr);
  EXPECT_EQ(nodeCount, 0);
  EXPECT_EQ(manager->changePort(80), ZARVELL_E_FAIL);
  EXPECT_EQ(manager->uploadFeatures(nullptr), ZARVELL_E_FAIL);
}

}  // namespace

namespace {

TEST(EngineStart, ReadsTheNormaliserFileOfTheDataFolder) {
  char pattern[] = "/tmp/zarvell-start-XXXXXX";
  const std::string home = ::mkdtemp(pattern);
  ASSERT_TRUE(zarvell::makeFolders(home + "/networks"));
  std::ofstream(home + "/networks/normf.xml")
      << "<normalisation version=\"1.0\" s=\"0\" >\n"
         "<normf name=\"BH_LowPeakAmp\" type=\"normal\" mean=\"10\" stddev=\"2\" "
         "q0_125=\"0\" q0_25=\"0\" q0_375=\"0\" median=\"0\" q0_625=\"0\" q0_75=\"0\" "
         "q0_875=\"0\" />\n</normalisation>\n";
  ::setenv("ZARVELL_HOME", home.c_str(), 1);
  {
    IQornManager manager(false, nullptr);
    const qorn::Normaliser* normaliser = qorn::normaliserTable().find("BH_LowPeakAmp");
    ASSERT_NE(normaliser, nullptr);
    EXPECT_EQ(qorn::normaliserTable().size(), 1u);
  }
  ::unsetenv("ZARVELL_HOME");
}

}  // namespace
