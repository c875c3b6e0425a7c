// The network file's exact text and what survives a save and load: every kind of node,
// link, list and setting, the value formats, the escaping of names and attribute texts.
#include <cmath>
#include <regex>

#include "network_file_support.h"
#include "qorncore/datatypes/XmlText.h"
#include "qorncore/engine/NetworkWriter.h"

namespace {

using namespace qorn;
using namespace netfiletest;

TEST(NetworkFileFormat, SmallNetworkMatchesTheCommittedFileByteForByte) {
  ScratchDir dir;
  auto m = makeManager();
  buildSmallNetwork(*m);
  std::string console;
  ASSERT_EQ(save(*m, dir / "net.xml", &console), 1);
  EXPECT_EQ(console, "Saving net ... done.\n");
  EXPECT_EQ(readFile(dir / "net.xml"), readFile(fixturePath("small.xml")));
}

// The reader puts "from" into a link's first end and the writer writes the first end as
// "to": each save and load exchanges the two ids of a link line, and nothing else.
TEST(NetworkFileFormat, LoadThenSaveGivesTheSameBytesWithLinkEndsExchanged) {
  ScratchDir dir;
  auto m = makeManager();
  ASSERT_EQ(load(*m, fixturePath("small.xml")), 1);
  ASSERT_EQ(save(*m, dir / "again.xml"), 1);
  const std::string fixture = readFile(fixturePath("small.xml"));
  const std::regex ends("<link to=\"([0-9]+)\" from=\"([0-9]+)\"");
  EXPECT_EQ(readFile(dir / "again.xml"),
            std::regex_replace(fixture, ends, "<link to=\"$2\" from=\"$1\""));
  auto r = makeManager();
  ASSERT_EQ(load(*r, dir / "again.xml"), 1);
  ASSERT_EQ(save(*r, dir / "third.xml"), 1);
  EXPECT_EQ(readFile(dir / "third.xml"), fixture);
}

TEST(NetworkFileFormat, EveryFieldSurvivesSaveAndLoad) {
  ScratchDir dir;
  auto m = makeManager();
  buildSmallNetwork(*m);
  ASSERT_EQ(save(*m, dir / "net.xml"), 1);
  auto r = makeManager();
  ASSERT_EQ(load(*r, dir / "net.xml"), 1);

  EXPECT_EQ(r->mediaRoot().str(), "/music/A&B \"x\" <y>");
  ASSERT_EQ(r->nodes().size(), 7u);
  auto* harbour = r->nodes().find(10)->asSong();
  ASSERT_NE(harbour, nullptr);
  EXPECT_EQ(harbour->name.str(), "Harbour & Lights");
  EXPECT_EQ(harbour->md5, "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(harbour->location, "tides/harbour.mp3");
  EXPECT_EQ(harbour->albumId, 20);
  EXPECT_EQ(harbour->tempo, 120);
  EXPECT_EQ(harbour->duration, 215);
  EXPECT_EQ(harbour->playcount, 3);
  EXPECT_EQ(harbour->lastplayed.seconds(), 1690000000);
  EXPECT_TRUE(harbour->apb);
  EXPECT_TRUE(harbour->ul);
  EXPECT_FLOAT_EQ(harbour->activation.value(), 0.5f);
  EXPECT_EQ(harbour->people.artists, std::vector<int32_t>{1});
  EXPECT_EQ(harbour->people.composers, std::vector<int32_t>{2});
  ASSERT_EQ(harbour->people.otherRoles.size(), 1u);
  EXPECT_EQ(harbour->people.otherRoles.begin()->first, "producer & mixer");
  EXPECT_EQ(r->keywordsOf(harbour), "harbour, lights, night");
  // The indexes are rebuilt after the parse: media locations are known only then.
  EXPECT_EQ(r->nodes().findByLocation("tides/harbour.mp3"), harbour);
  EXPECT_EQ(r->nodes().findByMd5("11111111111111111111111111111111"), r->nodes().find(11));

  EXPECT_EQ(r->nodes().find(12)->name.str(), "Caf\xE9 50%");
  auto* album = r->nodes().find(20)->asSongList();
  ASSERT_NE(album, nullptr);
  EXPECT_NE(album->listType, kPlayList);
  EXPECT_EQ(album->trackCount, 2);
  EXPECT_EQ(album->tracks, (std::vector<int32_t>{10, 11}));
  EXPECT_EQ(album->people.artists, std::vector<int32_t>{1});
  EXPECT_EQ(r->keywordsOf(album), "evening");
  auto* mix = r->nodes().find(21)->asSongList();
  EXPECT_EQ(mix->listType, kPlayList);
  EXPECT_EQ(mix->tracks, (std::vector<int32_t>{0, 12}));
  EXPECT_NE(r->nodes().find(1)->asArtist(), nullptr);
  EXPECT_EQ(r->nodes().find(1)->duration, 0);

  EXPECT_EQ(r->links().size(), 8u);
  Asc* weak = r->links().find(12, 11);
  ASSERT_NE(weak, nullptr);
  EXPECT_FLOAT_EQ(weak->strength.value(), 0.05f);
  EXPECT_EQ(r->links().penalty(weak), 4);
  EXPECT_FLOAT_EQ(r->links().find(1, 10)->strength.value(), 0.3f);

  ASSERT_EQ(r->myKalvorets().size(), 1u);
  EXPECT_EQ(r->myKalvorets()[0]->id, 20);
  ASSERT_EQ(r->palette().size(), 2u);
  EXPECT_EQ(r->palette()[1]->id, 12);
  ASSERT_EQ(r->history().entries().size(), 2u);
  EXPECT_EQ(r->history().entries()[0]->id, 11);
  EXPECT_EQ(r->history().committed(), 2u);  // read entries count as played
  ASSERT_EQ(r->getPlayQueue().size(), 2u);
  EXPECT_EQ(r->getPlayQueue()[0]->id, 12);
  EXPECT_EQ(r->getTaboo(r->nodes().find(10)), 100);
  EXPECT_GT(r->getTaboo(r->nodes().find(11)), 0);
  // The album's taboo keeps its expiry beyond the list time.
  r->clock().set(kNow + 18300);
  EXPECT_GT(r->getTaboo(r->nodes().find(20)), 0);
}

// Attribute texts that once made the file unreadable: the media root and roles are
// written with character references, so any text reads back as it was.
TEST(NetworkFileFormat, AttributeTextsWithMarkupCharactersReadBack) {
  const std::string texts[] = {"a\"b",        "x&y", "<tag>",       "tab\there",
                               "line\nbreak", "\r",  "caf\xC3\xA9", "ok"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    ScratchDir dir;
    auto m = makeManager();
    m->setMediaRoot(qornstring(text));
    auto* song = addNode<SongNode>(*m, 5, "s", 0.0f);
    song->people.addPerson(7, text);
    song->md5 = text;
    ASSERT_EQ(save(*m, dir / "n.xml"), 1);
    auto r = makeManager();
    ASSERT_EQ(load(*r, dir / "n.xml"), 1);
    EXPECT_EQ(r->mediaRoot().str(), text);
    auto* back = r->nodes().find(5)->asSong();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->md5, text);
    if (text == "artist" || text == "composer") continue;
    ASSERT_EQ(back->people.otherRoles.size(), 1u);
    EXPECT_EQ(back->people.otherRoles.begin()->first, text);
  }
}

TEST(NetworkFileFormat, AttributeTextIsAlwaysWellFormed) {
  EXPECT_EQ(xmlAttributeText("a\"&<>\t\n\r\x01z"), "a&quot;&amp;&lt;&gt;&#9;&#10;&#13; z");
  // A byte that is no valid UTF-8 is read as Latin-1.
  EXPECT_EQ(xmlAttributeText("\xE9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}

// Saving is not the end of a session: the nodes and links go on decaying from where they
// were, and the penalty counters stay, although the file holds lastvisited "0".
TEST(NetworkFileFormat, SavingInTheMiddleOfASessionChangesNothingInMemory) {
  ScratchDir dir;
  auto m = makeManager();
  buildSmallNetwork(*m);
  for (int i = 0; i < 40; ++i) m->advanceStep();
  ASSERT_EQ(save(*m, dir / "a.xml"), 1);
  const float afterSave = m->decayNode(m->nodes().find(10)).value();
  EXPECT_NEAR(afterSave, 0.5f * std::pow(0.95f, 40), 1e-6);
  Asc* weak = m->links().find(11, 12);
  EXPECT_EQ(m->links().penalty(weak), 4);
  const float strength = m->decayLink(*weak).value();
  EXPECT_NEAR(strength, 0.05f * std::pow(0.99f, 40), 1e-6);
  const std::string text = readFile(dir / "a.xml");
  EXPECT_EQ(text.find("lastvisited=\"40\""), std::string::npos);
  EXPECT_NE(text.find("pc=\"4\""), std::string::npos);
}

TEST(NetworkFileFormat, LargeIdsInTheHistoryStayPlainDigits) {
  ScratchDir dir;
  auto m = makeManager();
  auto* song = addNode<SongNode>(*m, 1234567, "big", 0.0f);
  m->history().append(song, true);
  ASSERT_EQ(save(*m, dir / "n.xml"), 1);
  EXPECT_NE(readFile(dir / "n.xml").find("<listentry id=\"1234567\"/>"), std::string::npos);
  auto r = makeManager();
  ASSERT_EQ(load(*r, dir / "n.xml"), 1);
  ASSERT_EQ(r->history().entries().size(), 1u);
  EXPECT_EQ(r->history().entries()[0]->id, 1234567);
}

}  // namespace

namespace {

// The manager's own loadNet and saveNet (console on standard output) reach the same code.
TEST(NetworkFileFormat, ManagerLoadNetAndSaveNet) {
  netfiletest::ScratchDir dir;
  auto m = netfiletest::makeManager();
  netfiletest::buildSmallNetwork(*m);
  testing::internal::CaptureStdout();
  const int saved = m->saveNet((dir / "net.xml").c_str());
  auto r = netfiletest::makeManager();
  const int loaded = r->loadNet((dir / "net.xml").c_str());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(out, "Saving net ... done.\n");
  EXPECT_EQ(netfiletest::readFile(dir / "net.xml"),
            netfiletest::readFile(netfiletest::fixturePath("small.xml")));
  EXPECT_EQ(r->nodes().size(), 7u);
  EXPECT_EQ(r->loadNet(nullptr), 0);
  EXPECT_EQ(r->nodes().size(), 0u);
}

}  // namespace
