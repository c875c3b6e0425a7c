// Hostile and unlucky network files: a damaged file is kept before it is saved over, node
// ids outside the engine's range are refused, killed saves leave nothing behind for long,
// and files built to exhaust memory or time stay bounded.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <regex>
#include <set>

#include "engine_test_support.h"
#include "network_file_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/engine/NetworkParser.h"
#include "qorncore/engine/SafeFile.h"

namespace {

using namespace qorn;
using namespace netfiletest;
using enginetest::LogCapture;

constexpr const char* kParser = "qorncore/engine/Parser";

std::string doc(const std::string& body) {
  return "<qornnet version=\"1.0\">" + body + "</qornnet>";
}

// The folder's file names in name order.
std::set<std::string> folderNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// A saved network of `songs` songs in a chain of links.
std::string savedNetwork(int songs) {
  auto m = makeManager();
  for (int i = 1; i <= songs; ++i) {
    auto* song = addNode<SongNode>(*m, i, "song " + std::to_string(i), 0.5f);
    song->location = "music/song" + std::to_string(i) + ".mp3";
    if (i > 1) m->links().create(i, i - 1, qornfloat(0.4f));
  }
  return networkTextOf(*m);
}

// One Latin-1 byte in song 100 of 3,000 makes the parse fail with 99 songs read. Saving
// over that file must first keep it, whole, under a dated name; the save itself then
// writes what the engine holds, and later saves keep nothing more.
TEST(NetworkFileHostile, SaveOverAFileThatFailedToLoadKeepsItFirst) {
  ScratchDir dir;
  std::string text = savedNetwork(3000);
  const std::size_t at = text.find("name=\"song 100\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 15, "name=\"song 100 caf\xE9\"");
  const std::string path = dir / "default.xml";
  writeFile(path, text);

  LogCapture log;
  auto m = makeManager();
  testing::internal::CaptureStderr();
  EXPECT_EQ(load(*m, path), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(m->nodes().size(), 99u);

  testing::internal::CaptureStderr();
  ASSERT_EQ(save(*m, path), 1);
  const std::string stderrText = testing::internal::GetCapturedStderr();
  std::set<std::string> names = folderNames(dir.path());
  std::string kept;
  for (const std::string& name : names)
    if (std::regex_match(name, std::regex("default\\.xml\\.damaged-[0-9]{8}-[0-9]{6}")))
      kept = name;
  ASSERT_NE(kept, "") << "no damaged copy among the folder's files";
  EXPECT_EQ(readFile(dir / kept), text);  // every byte of the damaged file
  EXPECT_EQ(names, (std::set<std::string>{"default.xml", "default.xml.bak", kept}));
  const std::string said =
      "the network file " + path + " could not be read to its end; it is kept as " + (dir / kept);
  EXPECT_EQ(stderrText, said + "\n");
  EXPECT_EQ(log.count(enginetest::kWarn, kParser, said), 1);
  auto back = makeManager();
  EXPECT_EQ(load(*back, path), 1);
  EXPECT_EQ(back->nodes().size(), 99u);

  // The file there is now the engine's own: a second save keeps no second copy.
  testing::internal::CaptureStderr();
  ASSERT_EQ(save(*m, path), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(folderNames(dir.path()).size(), 3u);

  // A failed load of another file, or a good load of the same one, keeps nothing.
  writeFile(dir / "other.xml", "<qornnet><nodes>");
  testing::internal::CaptureStderr();
  EXPECT_EQ(load(*m, dir / "other.xml"), 0);
  ASSERT_EQ(save(*m, path), 1);
  EXPECT_EQ(load(*m, path), 1);
  ASSERT_EQ(save(*m, path), 1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(folderNames(dir.path()),
            (std::set<std::string>{"default.xml", "default.xml.bak", kept, "other.xml"}));
}

// When the damaged file cannot be kept (its folder refuses new names), nothing is saved
// over it: error 5 and the file unchanged.
TEST(NetworkFileHostile, DamagedFileThatCannotBeKeptIsNotSavedOver) {
  ScratchDir dir;
  withoutPrivilege(dir, [&] {
    fs::create_directory(dir / "ro");
    const std::string path = dir / "ro/net.xml";
    writeFile(path, "<qornnet><nodes><song id=\"1\" name=\"x\"/>\xE9");
    auto m = makeManager();
    testing::internal::CaptureStderr();
    EXPECT_EQ(load(*m, path), 0);
    ::chmod((dir / "ro").c_str(), 0500);
    setManagerPresent(true);
    clearLogOutputText();
    EXPECT_EQ(save(*m, path), 0);
    EXPECT_EQ(logOutputText(), "Can't save network file.\r\n");
    setManagerPresent(false);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not saving over the damaged"),
              std::string::npos);
    ::chmod((dir / "ro").c_str(), 0700);
    EXPECT_EQ(readFile(path), "<qornnet><nodes><song id=\"1\" name=\"x\"/>\xE9");
  });
}

// An id the engine cannot keep as it is (0 or below, beyond the 32-bit range, or none)
// would have been renumbered onto a later node's id: such a node is refused, with a
// warning naming its line, and the file's own node of that id is kept.
TEST(NetworkFileHostile, NodeIdsOutsideTheRangeAreRefused) {
  const struct {
    std::string id;  // the attribute text, or "none" for no id attribute
    std::string shown;
  } cases[] = {{"0", "0"},
               {"-7", "-7"},
               {"4294967297", "4294967297"},
               {"2147483648", "2147483648"},
               {"-99999999999999999999", "-99999999999999999999"},
               {"none", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const std::string idAttribute = c.id == "none" ? "" : " id=\"" + c.id + "\"";
    ScratchDir dir;
    writeFile(dir / "net.xml", doc("<nodes>\n<song" + idAttribute +
                                   " name=\"bad\"><media location=\"bad.mp3\"/></song>\n"
                                   "<song id=\"1\" name=\"real\"/>\n"
                                   "<artist id=\"2147483647\" name=\"top\"/>\n</nodes>"));
    LogCapture log;
    auto m = makeManager();
    ASSERT_EQ(load(*m, dir / "net.xml"), 1);
    EXPECT_EQ(m->nodes().size(), 2u);
    ASSERT_NE(m->nodes().find(1), nullptr);
    EXPECT_EQ(m->nodes().find(1)->name.str(), "real");
    ASSERT_NE(m->nodes().find(2147483647), nullptr);
    EXPECT_EQ(m->nodes().findByLocation("bad.mp3"), nullptr);
    EXPECT_EQ(log.count(enginetest::kWarn, kParser,
                        "refused song \"bad\" at line 2: id \"" + c.shown +
                            "\" is not between 1 and 2147483647"),
              1);
  }
}

// A save removes the temporary files that killed saves of the same file left behind,
// and only those: a live process's files and other files' temporaries stay.
TEST(NetworkFileHostile, SaveRemovesTemporaryFilesOfDeadProcesses) {
  ScratchDir dir;
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_GT(dead, 0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string deadPid = std::to_string(dead);
  const std::string livePid = std::to_string(::getppid());
  const std::string path = dir / "net.xml";
  const std::set<std::string> stale = {"net.xml.tmp-" + deadPid, "net.xml.tmp-" + deadPid + ".bak"};
  const std::set<std::string> kept = {
      "net.xml.tmp-" + livePid,          "net.xml.tmp-" + livePid + ".bak",
      "net.xml.tmp-" + deadPid + ".old", "net.xml.tmp-x1",
      "other.xml.tmp-" + deadPid,        "net.xml.tmp-0"};
  for (const std::string& name : stale) writeFile(dir / name, "partial");
  for (const std::string& name : kept) writeFile(dir / name, "partial");
  auto m = makeManager();
  buildSmallNetwork(*m);
  ASSERT_EQ(save(*m, path), 1);
  std::set<std::string> expected = kept;
  expected.insert("net.xml");
  EXPECT_EQ(folderNames(dir.path()), expected);
  for (const std::string& name : kept) EXPECT_EQ(readFile(dir / name), "partial");
  auto back = makeManager();
  EXPECT_EQ(load(*back, path), 1);
  EXPECT_EQ(back->nodes().size(), m->nodes().size());
}

// Every trackentry may leave a gap, but a list never grows beyond its entries plus
// kMaxTrackGap: a file of many entries each a little further out stays small in memory.
TEST(NetworkFileHostile, TrackPositionsAreBoundedByTheEntryCount) {
  const int gap = NetworkParser::kMaxTrackGap;
  std::string tracks;
  for (int i = 1; i <= 2000; ++i)  // entry i at position i * gap: each gap allowed alone
    tracks += "<trackentry trackid=\"" + std::to_string(i * gap) + "\" id=\"" + std::to_string(i) +
              "\"/>";
  // A valid list: positions 1..3 in any order, and one gap at the end.
  const std::string valid =
      "<tracks><trackentry trackid=\"3\" id=\"30\"/><trackentry trackid=\"1\" id=\"10\"/>"
      "<trackentry trackid=\"2\" id=\"20\"/><trackentry trackid=\"" +
      std::to_string(3 + gap) + "\" id=\"40\"/></tracks>";
  ScratchDir dir;
  writeFile(dir / "net.xml", doc("<nodes><songlist id=\"1\" name=\"wide\"><tracks>" + tracks +
                                 "</tracks></songlist><songlist id=\"2\" name=\"fine\">" + valid +
                                 "</songlist></nodes>"));
  LogCapture log;
  auto m = makeManager();
  ASSERT_EQ(load(*m, dir / "net.xml"), 1);
  const std::vector<int32_t>& wide = m->nodes().find(1)->asSongList()->tracks;
  EXPECT_LE(wide.size(), 2000u + gap);
  EXPECT_EQ(wide.size(), static_cast<std::size_t>(gap));  // only the first entry fits
  EXPECT_EQ(wide.back(), 1);
  EXPECT_EQ(log.countPrefix("skipped trackentry "), 1999);
  EXPECT_EQ(log.count(enginetest::kWarn, kParser, "skipped trackentry 2048 of wide"), 1);
  std::vector<int32_t> fine(3 + gap, 0);
  fine[0] = 10;
  fine[1] = 20;
  fine[2] = 30;
  fine.back() = 40;
  EXPECT_EQ(m->nodes().find(2)->asSongList()->tracks, fine);
}

// An element with 200,000 attributes loads (in time linear in their number) and its
// known attributes are read wherever they stand.
TEST(NetworkFileHostile, ManyAttributesOnOneElementLoad) {
  std::string attributes;
  for (int i = 0; i < 200000; ++i) attributes += " a" + std::to_string(i) + "=\"1\"";
  ScratchDir dir;
  writeFile(dir / "net.xml", doc("<nodes><song id=\"5\"" + attributes +
                                 " name=\"wide\" playcount=\"3\"/><artist id=\"6\" name=\"n\"/>"
                                 "</nodes><palette><listentry id=\"5\" type=\"m\"" +
                                 attributes + "/></palette>"));
  auto m = makeManager();
  ASSERT_EQ(load(*m, dir / "net.xml"), 1);
  ASSERT_NE(m->nodes().find(5), nullptr);
  EXPECT_EQ(m->nodes().find(5)->name.str(), "wide");
  EXPECT_EQ(m->nodes().find(5)->playcount, 3);
  EXPECT_EQ(m->nodes().size(), 2u);
  ASSERT_EQ(m->myKalvorets().size(), 1u);
  EXPECT_EQ(m->myKalvorets()[0]->id, 5);
}

}  // namespace
