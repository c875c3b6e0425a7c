// The network reader: edge cases of the format, misplaced and unknown elements, ids that
// name no node, parse and open failures.
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <future>

#include "engine_test_support.h"
#include "network_file_support.h"
#include "qorncore/datatypes/ErrorReport.h"

namespace {

using namespace qorn;
using namespace netfiletest;
using enginetest::LogCapture;

constexpr const char* kParser = "qorncore/engine/Parser";
constexpr const char* kManager = "qorncore/manager/qornManager";

// Two songs, an album and an artist, as a file would hold them.
const std::string kNodes =
    "<nodes>"
    "<song id=\"1\" name=\"one\" md5=\"m1\"><media location=\"l1\"/></song>"
    "<song id=\"2\" name=\"two\"></song>"
    "<songlist id=\"3\" name=\"album\" listtype=\"album\"><tracks></tracks></songlist>"
    "<artist id=\"4\" name=\"artist\"></artist>"
    "</nodes>";

std::string doc(const std::string& body) { return "<qornnet version=\"1.0\">" + body + "</qornnet>"; }

struct Loaded {
  std::unique_ptr<qornManager> m = makeManager();
  int result = -1;
  std::string console;
};

Loaded loadText(const std::string& text) {
  ScratchDir dir;
  writeFile(dir / "in.xml", text);
  Loaded l;
  l.result = load(*l.m, dir / "in.xml", &l.console);
  return l;
}

TEST(NetworkFileReader, EmptyRootWithAnyVersionGivesAnEmptyNetwork) {
  Loaded l = loadText("<qornnet version=\"9.9\"/>");
  EXPECT_EQ(l.result, 1);
  EXPECT_EQ(l.m->nodes().size(), 0u);
  EXPECT_EQ(l.console, "");
}

TEST(NetworkFileReader, NamesDecodeTheFileEscaping) {
  Loaded l = loadText(doc(
      "<nodes><song id=\"1\" name=\"R%26B caf\xC3\xA9 \xE2\x82\xAC 100% %zz\"></song></nodes>"));
  ASSERT_EQ(l.result, 1);
  // %26 is "&", C3 A9 the byte E9, a three-byte character "?", "% " stays, "%zz" is 0.
  EXPECT_EQ(l.m->nodes().find(1)->name.str(),
            std::string("R&B caf\xE9 ? 100% ") + std::string(1, '\0'));
}

TEST(NetworkFileReader, NodeAttributesAndDefaults) {
  Loaded l = loadText(doc(
      "<nodes><song id=\"1\" name=\"a\" activation=\"nan\" apb=\"ON\" ul=\"true\"/>"
      "<artist id=\"2\" name=\"b\" activation=\"7\" apb=\"on\" ul=\"1\" lastplayed=\"12\"/>"
      "<songlist id=\"9\" listtype=\"other\"/></nodes>"));
  ASSERT_EQ(l.result, 1);
  Node* a = l.m->nodes().find(1);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->activation.value(), 0.0f);  // not a number reads as 0
  EXPECT_FALSE(a->apb);
  EXPECT_FALSE(a->ul);
  EXPECT_EQ(a->asSong()->tempo, -1);
  EXPECT_EQ(a->lastplayed.seconds(), -1);
  Node* b = l.m->nodes().find(2);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->activation.value(), 1.0f);  // activations stay within [0, 1]
  EXPECT_TRUE(b->apb);
  EXPECT_TRUE(b->ul);
  EXPECT_EQ(b->lastplayed.seconds(), 12);
  EXPECT_NE(l.m->nodes().find(9)->asSongList()->listType, kPlayList);
}

TEST(NetworkFileReader, LinksToMissingNodesAreDroppedAndCapsApply) {
  Loaded l = loadText(doc(kNodes +
                          "<links>"
                          "<link to=\"99\" from=\"1\" strength=\"0.5\"/>"
                          "<link to=\"3\" from=\"1\" strength=\"0.8\" lastvisited=\"0\" pc=\"2\"/>"
                          "<link strength=\"0.8\" to=\"4\" from=\"2\"/>"
                          "<link to=\"2\" from=\"1\" strength=\"1.7\" pc=\"-3\"/>"
                          "<link to=\"1\" from=\"1\" strength=\"0.5\"/>"
                          "</links>"));
  ASSERT_EQ(l.result, 1);
  EXPECT_EQ(l.m->links().size(), 3u);
  EXPECT_EQ(l.m->links().find(1, 99), nullptr);
  EXPECT_NE(l.console.find("Illegal assoc created!"), std::string::npos);
  Asc* album = l.m->links().find(1, 3);
  ASSERT_NE(album, nullptr);
  EXPECT_FLOAT_EQ(album->strength.value(), 0.3f);  // song to album: capped
  EXPECT_EQ(album->from->id, 1);                    // "from" is the first end
  EXPECT_EQ(l.m->links().penalty(album), 2);
  // The strength came before the ends: the cap applies all the same.
  EXPECT_FLOAT_EQ(l.m->links().find(2, 4)->strength.value(), 0.3f);
  Asc* songs = l.m->links().find(1, 2);
  EXPECT_FLOAT_EQ(songs->strength.value(), 1.0f);
  EXPECT_FALSE(l.m->links().hasPenalty(songs));
}

TEST(NetworkFileReader, ListEntriesNamingNoSuitableNodeAreIgnored) {
  LogCapture log;
  Loaded l = loadText(doc(kNodes +
                          "<history><listentry id=\"3\"/><listentry id=\"2\"/>"
                          "<listentry id=\"77\"/></history>"
                          "<playqueue><listentry id=\"99\"/><listentry id=\"4\"/>"
                          "<listentry id=\"1\"/></playqueue>"
                          "<palette><listentry id=\"1\" type=\"x\"/><listentry id=\"55\"/>"
                          "<listentry id=\"4\" type=\"mine\"/></palette>"
                          "<taboolist><listentry time=\"2000000000\" id=\"66\"/>"
                          "<listentry time=\"5\" id=\"1\"/>"
                          "<listentry time=\"2000000000\" id=\"2\"/></taboolist>"));
  ASSERT_EQ(l.result, 1);
  ASSERT_EQ(l.m->history().entries().size(), 1u);  // the album entry is not a song
  EXPECT_EQ(l.m->history().entries()[0]->id, 2);
  ASSERT_EQ(l.m->getPlayQueue().size(), 1u);
  EXPECT_EQ(l.m->getPlayQueue()[0]->id, 1);
  EXPECT_EQ(log.count(enginetest::kWarn, kManager, "attempt to add unknown id to playqueue: 99"), 1);
  EXPECT_EQ(log.count(enginetest::kWarn, kManager, "attempt to add unknown id to playqueue: 4"), 1);
  ASSERT_EQ(l.m->myKalvorets().size(), 1u);  // type "mine": its first character counts
  EXPECT_TRUE(l.m->palette().empty());
  EXPECT_EQ(log.count(enginetest::kError, kManager, "unknown entry id 1 in addToPalette"), 1);
  EXPECT_EQ(log.count(enginetest::kError, kManager, "unknown entry id 55 in addToPalette"), 1);
  EXPECT_EQ(l.m->getTaboo(l.m->nodes().find(1)), 0);  // expired long ago
  EXPECT_GT(l.m->getTaboo(l.m->nodes().find(2)), 0);
}

TEST(NetworkFileReader, TrackEntriesArePlacedByNumber) {
  Loaded l = loadText(doc(
      "<nodes>"
      "<songlist id=\"3\"><tracks><trackentry trackid=\"3\" id=\"7\"/></tracks></songlist>"
      "<songlist id=\"4\"><trackcount val=\"5\"/><tracks><trackentry id=\"8\"/>"
      "<trackentry id=\"9\"/><trackentry trackid=\"1\" id=\"6\"/>"
      "<trackentry trackid=\"2\" id=\"0\"/></tracks></songlist>"
      "<songlist id=\"5\"><tracks><trackentry trackid=\"2000000000\" id=\"7\"/>"
      "<trackentry trackid=\"-4\" id=\"5\"/></tracks></songlist>"
      "</nodes>"));
  ASSERT_EQ(l.result, 1);
  EXPECT_EQ(l.m->nodes().find(3)->asSongList()->tracks, (std::vector<int32_t>{0, 0, 7}));
  // Without a trackid, even right after "tracks", an entry is appended.
  auto* four = l.m->nodes().find(4)->asSongList();
  EXPECT_EQ(four->tracks, (std::vector<int32_t>{6, 9}));
  EXPECT_EQ(four->trackCount, 5);
  // A position far beyond the list is refused instead of allocating gigabytes.
  EXPECT_EQ(l.m->nodes().find(5)->asSongList()->tracks, (std::vector<int32_t>{5}));
}

TEST(NetworkFileReader, UnexpectedElementsAreReportedAndSkipped) {
  Loaded l = loadText(doc(kNodes +
                          "<links><link to=\"2\" from=\"1\" strength=\"0.5\"/><foo/>"
                          "<link to=\"2\" from=\"4\" strength=\"0.2\"/></links>"));
  ASSERT_EQ(l.result, 1);
  EXPECT_EQ(l.console, "Warning unexpected tag <foo>\nWarning unexpected end of tag:< foo'\n");
  EXPECT_EQ(l.m->links().size(), 2u);
}

// Misplaced elements: the log line each one gives; the parse goes on.
TEST(NetworkFileReader, MisplacedElementsAreLogged) {
  struct Case {
    std::string body;
    int level;
    std::string text;
  };
  const Case cases[] = {
      {"<nodes><listentry id=\"1\"/></nodes>", enginetest::kWarn,
       "unhandled listentry in parser state: 3"},
      {"<keywords>x</keywords>", enginetest::kError, "unhandeld kw tag in state: 0"},
      {"<keywords>x</keywords>", enginetest::kWarn, "NetworkParser: keyword tag outside of node"},
      {"<links><people/></links>", enginetest::kError, "unhandled people tag in state:20"},
      {"<links><people/></links>", enginetest::kWarn,
       "NetworkParser: unhandled /people tag in state:20"},
      {"<history><person/></history>", enginetest::kError, "unhandled person  tag in state:24"},
      {"<history><person/></history>", enginetest::kWarn,
       "NetworkParser: unhandled /person tag in state:24"},
      {"<links><listentry/></links>", enginetest::kError, "unhandled /listentry tag in state: 20"},
      {"<nodes><song id=\"1\"><segment><keywords>k</keywords></segment></song></nodes>",
       enginetest::kWarn, "NetworkParser: keyword tag outside of node in state: 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    LogCapture log;
    Loaded l = loadText(doc(c.body));
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(log.count(c.level, kParser, c.text), 1);
  }
}

TEST(NetworkFileReader, KeywordsAndPeopleReachTheirNode) {
  Loaded l = loadText(doc(
      "<nodes><song id=\"1\"><people><person pid=\"4\" role=\"artist\"/>"
      "<person pid=\"5\" role=\"lyrics\"/></people><keywords>Blue%2fGreen, sea\t</keywords>"
      "</song><songlist id=\"2\"><people><person pid=\"4\" role=\"composer\"/></people>"
      "<keywords>night</keywords></songlist><artist id=\"4\"><keywords>vale</keywords>"
      "</artist></nodes>"));
  ASSERT_EQ(l.result, 1);
  auto* song = l.m->nodes().find(1)->asSong();
  EXPECT_EQ(song->people.artists, std::vector<int32_t>{4});
  EXPECT_EQ(song->people.otherRoles.count("lyrics"), 1u);
  EXPECT_EQ(l.m->keywordsOf(song), "blue, green, sea");
  EXPECT_EQ(l.m->nodes().find(2)->asSongList()->people.composers, std::vector<int32_t>{4});
  EXPECT_EQ(l.m->keywordsOf(l.m->nodes().find(2)), "night");
  EXPECT_EQ(l.m->keywordsOf(l.m->nodes().find(4)), "vale");
}

// Text is read only while a keywords element is open: text beside it never joins the
// keywords, text around a child element or a nested keywords element does.
TEST(NetworkFileReader, KeywordsReadOnlyTheTextInsideTheirElement) {
  const struct {
    const char* song;
    const char* keywords;
  } cases[] = {
      {"stray<keywords>sea</keywords>tail", "sea"},
      {"<keywords>alpha<b>beta</b>gamma</keywords>after", "betagamma"},
      {"<keywords>aa<keywords>bb</keywords>cc</keywords>dd", "bb, bbcc"},
      {"<keywords>one</keywords>x<keywords>two</keywords>", "one, two"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.song);
    Loaded l = loadText(doc(std::string("<nodes><song id=\"1\">") + c.song +
                            "</song><artist id=\"2\">loose<keywords>vale</keywords></artist>"
                            "</nodes>"));
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(l.m->keywordsOf(l.m->nodes().find(1)), c.keywords);
    EXPECT_EQ(l.m->keywordsOf(l.m->nodes().find(2)), "vale");
  }
}

TEST(NetworkFileReader, LoadingIntoANetworkWithNodesReplacesIt) {
  auto m = makeManager();
  buildSmallNetwork(*m);
  ScratchDir dir;
  writeFile(dir / "in.xml", doc("<nodes><artist id=\"40\" name=\"only\"/></nodes>"));
  ASSERT_EQ(load(*m, dir / "in.xml"), 1);
  EXPECT_EQ(m->nodes().size(), 1u);
  EXPECT_EQ(m->links().size(), 0u);
  EXPECT_TRUE(m->history().entries().empty());
  EXPECT_TRUE(m->getPlayQueue().empty());
  EXPECT_EQ(m->nodes().findByMd5("11111111111111111111111111111111"), nullptr);
}

TEST(NetworkFileReader, ParseErrorKeepsWhatWasReadAndReturnsZero) {
  LogCapture log;
  Loaded l = loadText(doc(kNodes + "<links><link to=\"2\" from=\"1\"/><link to=\"3\" from=\"1\"/>"
                                   "<broken </links>"));
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.m->nodes().size(), 4u);
  EXPECT_EQ(l.m->links().size(), 2u);
  EXPECT_EQ(l.m->nodes().findByLocation("l1"), l.m->nodes().find(1));  // indexes rebuilt
  EXPECT_EQ(log.countPrefix("Parse error in "), 1);

  // A file cut off inside a song: the song read so far stays, still open at the end.
  log.clear();
  Loaded cut = loadText("<qornnet><nodes><song id=\"5\" name=\"cut\"><media location=\"x\"/>");
  EXPECT_EQ(cut.result, 0);
  ASSERT_NE(cut.m->nodes().find(5), nullptr);
  EXPECT_EQ(cut.m->nodes().findByLocation("x"), cut.m->nodes().find(5));
  EXPECT_EQ(log.count(enginetest::kDebug, kParser, "not handled end element tag!"), 1);
}

// A path that cannot be read as a network file: error 6 at once (a FIFO must not block),
// and the network in memory stays exactly as it was, so a save afterwards cannot write an
// empty network over the user's file.
TEST(NetworkFileReader, UnreadablePathReportsErrorSixAndKeepsTheNetwork) {
  ScratchDir dir;
  writeFile(dir / "locked.xml", "<qornnet/>");
  ::chmod((dir / "locked.xml").c_str(), 0);
  fs::create_directory(dir / "folder.xml");
  ASSERT_EQ(::mkfifo((dir / "pipe.xml").c_str(), 0600), 0);
  const struct {
    std::string path;
    bool needsNonRoot;  // root reads a mode-000 file: checked as an ordinary user
  } cases[] = {{"/nonexistent/zarvell/net.xml", false},
               {dir / "locked.xml", true},
               {dir / "folder.xml", false},
               {dir / "pipe.xml", false}};
  setManagerPresent(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const auto check = [&] {
      clearLogOutputText();
      auto m = makeManager();
      buildSmallNetwork(*m);
      const std::string before = networkTextOf(*m);
      auto loading = std::async(std::launch::async, [&] {
        std::string console;
        const int result = load(*m, c.path, &console);
        return std::make_pair(result, console);
      });
      if (loading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = ::open(c.path.c_str(), O_WRONLY | O_NONBLOCK);  // release it
        if (writer >= 0) ::close(writer);
        ADD_FAILURE() << "the load blocked";
      }
      const auto [result, console] = loading.get();
      EXPECT_EQ(result, 0);
      EXPECT_EQ(console, "error opening " + c.path + " (hit any key to continue)\n");
      EXPECT_EQ(logOutputText(), "Can't open network file.\r\n");
      EXPECT_EQ(networkTextOf(*m), before);
      EXPECT_EQ(m->history().entries().size(), 2u);
      EXPECT_EQ(m->getPlayQueue().size(), 2u);
    };
    if (c.needsNonRoot)
      withoutPrivilege(dir, check);
    else
      check();
  }
  // An empty path names no file: 0, and the network is cleared as before.
  clearLogOutputText();
  auto m = makeManager();
  buildSmallNetwork(*m);
  EXPECT_EQ(load(*m, ""), 0);
  EXPECT_EQ(m->nodes().size(), 0u);
  EXPECT_EQ(logOutputText(), "");
  setManagerPresent(false);
}

}  // namespace
