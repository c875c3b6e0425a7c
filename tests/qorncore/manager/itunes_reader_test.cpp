// The iTunes library reader: tracks into library entries, locations into paths, progress,
// cancellation, and what damaged or hostile files do.
#include <sys/stat.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "../engine/engine_test_support.h"
#include "itunes_test_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/ITunesLibraryReader.h"

namespace itunestest {
namespace {

using enginetest::kError;
using enginetest::LogCapture;
using qorn::ITunesLibraryReader;

constexpr const char* kReaderSource = "qorncore/manager/ITunesLibraryReader";

class ITunesReader : public ::testing::Test {
 protected:
  ITunesReader() { qorn::clearLogOutputText(); }
  ~ITunesReader() override { qorn::clearLogOutputText(); }

  // Reads `text` with a reader of its own; the reader stays for inspection.
  int readText(const std::string& text, std::size_t pieceSize = 64 * 1024) {
    reader_ = std::make_unique<ITunesLibraryReader>(&progress_, 4, console_);
    return reader_->readText(text, "lib.xml", pieceSize);
  }
  int readFile(const std::string& path) {
    reader_ = std::make_unique<ITunesLibraryReader>(&progress_, 4, console_);
    return reader_->read(path);
  }
  const std::vector<qorn::SyncItemPtr>& items() const { return reader_->items(); }
  // The only entry of a one-track library.
  const FESyncItem& only() const {
    EXPECT_EQ(items().size(), 1u);
    static FESyncItem none{};
    return items().empty() ? none : *items().front();
  }
  // The path of the entry read from a one-track library with that location.
  std::string pathOf(const std::string& location) {
    EXPECT_EQ(readText(library(track(1, {{"Location", str(location)}}), "")), 1) << location;
    return pathBytes(only().path);
  }
  int errorLines() const {
    int n = 0;
    for (const auto& l : log_.lines()) n += l.level == kError;
    return n;
  }

  LogCapture log_;
  ProgressLog progress_;
  std::ostringstream console_;
  std::unique_ptr<ITunesLibraryReader> reader_;
  TempDir dir_;
};

std::string threeTracksTenPlaylists() {
  const std::string tracks =
      track(101, {{"Name", str("One")},
                  {"Artist", str("Ann")},
                  {"Album", str("First")},
                  {"Genre", str("Rock")},
                  {"Year", integer(1999)},
                  {"Total Time", integer(245000)},
                  {"Play Count", integer(7)},
                  {"Location", str("file://localhost/C:/Music/a%20b.mp3")}}) +
      track(102, {{"Name", str("Two")}, {"Location", str("file:///home/me/Music/two.mp3")}}) +
      track(103, {{"Name", str("Three")}});
  std::string playlists = playlist("Library", {101, 102, 103});
  for (int i = 1; i <= 9; ++i) playlists += playlist("List " + std::to_string(i), {101, 103});
  return library(tracks, playlists);
}

TEST_F(ITunesReader, TracksBecomeEntriesAndPlaylistsAddNothing) {
  const std::string path = dir_.write("iTunes Music Library.xml", threeTracksTenPlaylists());
  ASSERT_EQ(readFile(path), 1);
  ASSERT_EQ(items().size(), 3u);
  EXPECT_EQ(reader_->tracksFound(), 3);
  EXPECT_EQ(reader_->playlistsFound(), 9);  // "Library" is not counted
  EXPECT_EQ(console_.str(), "track One\ntrack Two\ntrack Three\n");

  // The record is packed and gtest takes its arguments by reference: "+" reads a field
  // into a value first.
  const FESyncItem& one = *items()[0];
  EXPECT_EQ(one.valid, 1);
  EXPECT_EQ(pathBytes(one.path), "/C:/Music/a b.mp3");
  EXPECT_EQ(utf8(one.name), "One");
  EXPECT_EQ(utf8(one.artist), "Ann");
  EXPECT_EQ(utf8(one.album), "First");
  EXPECT_EQ(utf8(one.genre), "Rock");
  EXPECT_EQ(+one.year, 1999);
  EXPECT_EQ(+one.duration, 245);
  // Nothing else is filled, the play count included.
  EXPECT_EQ(+one.playCount, 0);
  EXPECT_EQ(+one.intYr, 0);
  EXPECT_EQ(+one.textCp, nullptr);
  EXPECT_EQ(+one.textWt, nullptr);
  EXPECT_EQ(+one.sent, 0);

  // Absent keys give empty texts, not null ones.
  const FESyncItem& three = *items()[2];
  EXPECT_EQ(utf8(three.name), "Three");
  ASSERT_NE(+three.path, nullptr);
  EXPECT_EQ(pathBytes(three.path), "");
  EXPECT_EQ(utf8(three.artist), "");
  EXPECT_EQ(+three.duration, 0);
  EXPECT_EQ(+three.year, 0);
}

TEST_F(ITunesReader, ReportsEachTrackAndEachPlaylist) {
  ASSERT_EQ(readText(threeTracksTenPlaylists()), 1);
  const auto& r = progress_.reports;
  ASSERT_EQ(r.size(), 3u + 9u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r[i].stage, 1);
    EXPECT_EQ(r[i].stages, 4);
    EXPECT_EQ(r[i].caption, "Scanning iTunes.xml");
    EXPECT_EQ(r[i].detail, std::to_string(i + 1) + "  items found");
    EXPECT_EQ(r[i].detail2, "");
    EXPECT_EQ(r[i].total, 100);
    EXPECT_GE(r[i].current, 0);
    EXPECT_LE(r[i].current, 100);
  }
  for (int p = 1; p <= 9; ++p) {
    const Report& rep = r[2 + p];
    const std::string found = std::to_string(3 + p + 1) + " items found";
    EXPECT_EQ(rep.caption, "Parsing iTunes library " + found);
    EXPECT_EQ(rep.detail, found);
    EXPECT_EQ(rep.stage, 1);
    EXPECT_EQ(rep.stages, 4);
    EXPECT_EQ(rep.current, 100);
    EXPECT_EQ(rep.total, 100);
  }
}

TEST_F(ITunesReader, TrackProgressFollowsTheShareOfTheFileRead) {
  // Many tracks fed in small pieces: the share read grows with the tracks and ends full.
  std::string tracks;
  for (int i = 1; i <= 200; ++i) tracks += track(i, {{"Name", str("t" + std::to_string(i))}});
  ASSERT_EQ(readText(library(tracks, ""), 512), 1);
  const auto& r = progress_.reports;
  ASSERT_EQ(r.size(), 200u);
  for (std::size_t i = 1; i < r.size(); ++i) EXPECT_GE(r[i].current, r[i - 1].current);
  EXPECT_LT(r.front().current, 10);
  EXPECT_GE(r.back().current, 90);
}

TEST_F(ITunesReader, LocationsBecomePaths) {
  const struct {
    const char* location;
    const char* path;
  } cases[] = {
      {"file://localhost/C:/Music/a%20b.mp3", "/C:/Music/a b.mp3"},
      {"file://localhost//server/share/x.mp3", "//server/share/x.mp3"},
      {"file:///home/me/Music/x.mp3", "/home/me/Music/x.mp3"},
      {"file://server/share/y.mp3", "//server/share/y.mp3"},
      {"FILE://LOCALHOST/Music/z.mp3", "/Music/z.mp3"},
      // UTF-8, percent-encoded and raw, stays UTF-8; no character is dropped.
      {"file:///home/me/B%C3%A9la%20%E2%98%83.mp3", "/home/me/B\xC3\xA9la \xE2\x98\x83.mp3"},
      {"file:///home/me/B\xC3\xA9la \xE2\x98\x83 \xF0\x9D\x84\x9E.mp3",
       "/home/me/B\xC3\xA9la \xE2\x98\x83 \xF0\x9D\x84\x9E.mp3"},
      // A byte that is not UTF-8 is kept as that byte.
      {"file:///home/me/caf%E9.mp3", "/home/me/caf\xE9.mp3"},
      {"file:///Rock%20&amp;%20Roll/%2F%25.mp3", "/Rock & Roll//%.mp3"},
      // An escaped NUL would cut the path short: it stays as written.
      {"file:///music/a%00b.mp3", "/music/a%00b.mp3"},
      // Escapes that are not two hexadecimal digits stay as they are.
      {"file:///x%2", "/x%2"},
      {"file:///x%zz%", "/x%zz%"},
      // Only the prefix is a URL: the same text further on is part of the path.
      {"file:///a/file://localhost/b", "/a/file://localhost/b"},
      // Not a file URL: kept (decoded), the import finds no file for it.
      {"http://radio.example/live%20stream", "http://radio.example/live stream"},
      {"/already/a/path.mp3", "/already/a/path.mp3"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(pathOf(c.location), c.path) << c.location;
  EXPECT_EQ(errorLines(), 0);
  EXPECT_EQ(log_.countPrefix("ignored Unicode path"), 0);
}

TEST_F(ITunesReader, TextsAreUtf16AndNumbersAreRead) {
  ASSERT_EQ(
      readText(library(track(1, {{"Name", str("B\xC3\xA9la &lt;\xE2\x98\x83&gt; \xF0\x9D\x84\x9E")},
                                 {"Artist", str("AC/DC &amp; co")}}),
                       "")),
      1);
  EXPECT_EQ(std::u16string(only().name), u"B\u00E9la <\u2603> \U0001D11E");
  EXPECT_EQ(std::u16string(only().artist), u"AC/DC & co");

  const struct {
    const char* totalTime;
    int duration;
    const char* year;
    int yearRead;
  } numbers[] = {
      {"245000", 245, "1999", 1999},
      {"999", 0, "0", 0},
      {"-5000", -5, "-3", -3},
      {"99999999999", INT_MAX / 1000, "abc", 0},
      {"12abc", 0, "2001 remaster", 2001},
      {"", 0, "", 0},
  };
  for (const auto& n : numbers) {
    ASSERT_EQ(readText(library(
                  track(1, {{"Total Time", "<integer>" + std::string(n.totalTime) + "</integer>"},
                            {"Year", str(n.year)}}),
                  "")),
              1);
    EXPECT_EQ(+only().duration, n.duration) << n.totalTime;
    EXPECT_EQ(+only().year, n.yearRead) << n.year;
  }
}

TEST_F(ITunesReader, EntriesDoNotDependOnHowTheInputIsCut) {
  const std::string text = threeTracksTenPlaylists();
  ASSERT_EQ(readText(text), 1);
  std::vector<std::string> whole;
  for (const auto& item : items())
    whole.push_back(pathBytes(item->path) + "|" + utf8(item->name) + "|" + utf8(item->artist) +
                    "|" + std::to_string(item->duration));
  for (std::size_t piece : {1u, 2u, 7u, 100u}) {
    ASSERT_EQ(readText(text, piece), 1) << piece;
    std::vector<std::string> cut;
    for (const auto& item : items())
      cut.push_back(pathBytes(item->path) + "|" + utf8(item->name) + "|" + utf8(item->artist) +
                    "|" + std::to_string(item->duration));
    EXPECT_EQ(cut, whole) << piece;
  }
}

TEST_F(ITunesReader, ParseErrorsKeepNothing) {
  const std::string good = track(1, {{"Name", str("Kept?")}}) + track(2, {{"Name", str("No")}});
  const std::string full = library(good, playlist("P", {1, 2}));
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"not XML", "\x89PNG\r\n\x1a\n\x00\x00"},
      {"cut after two tracks", full.substr(0, full.find("<key>Playlists</key>"))},
      {"cut inside a value", full.substr(0, full.find("Kept?") + 2)},
      {"mismatched tags", library(good, "<dict></array>")},
      {"text after the end", full + "<plist/>"},
      // (Without a document type naming an outside definition, which could define it.)
      {"undefined entity",
       "<plist><dict><key>Tracks</key><dict><key>1</key><dict><key>Name</key><string>&nope;"
       "</string></dict></dict></dict></plist>"},
      {"exponential entities",
       "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
       "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
       "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
       "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
       "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
       "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
       "<plist><dict><key>Tracks</key><dict><key>1</key><dict><key>Name</key><string>&g;"
       "</string></dict></dict></dict></plist>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    log_.clear();
    qorn::clearLogOutputText();
    EXPECT_EQ(readText(c.text), 0);
    EXPECT_TRUE(items().empty());
    EXPECT_FALSE(reader_->cancelled());
    EXPECT_EQ(log_.countPrefix("can't read iTunes library lib.xml: "), 1);
    EXPECT_EQ(qorn::logOutputText().rfind("Can't read iTunes library lib.xml: ", 0), 0u)
        << qorn::logOutputText();
  }
  // The line says where the document broke.
  log_.clear();
  EXPECT_EQ(readText("<plist>\n<dict>\n</plist>"), 0);
  EXPECT_EQ(log_.countPrefix("can't read iTunes library lib.xml: parse error at line 3: "), 1);
  EXPECT_NE(console_.str().find("Parse error at line 3:\n"), std::string::npos);
}

TEST_F(ITunesReader, OnlyRegularFilesAreRead) {
  const std::string fifo = dir_.file("fifo.xml");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir_.file("folder.xml");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  for (const std::string& path : {fifo, folder, dir_.file("missing.xml"), std::string()}) {
    SCOPED_TRACE(path);
    log_.clear();
    EXPECT_EQ(readFile(path), 0);  // a FIFO without a writer must not block
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(log_.countPrefix("can't read iTunes library " + path + ": "), 1);
  }
  EXPECT_TRUE(progress_.reports.empty());
}

TEST_F(ITunesReader, ARefusedReportCancelsTheRead) {
  // Refusing the first track report, a later one, or a playlist report: the read stops
  // there, keeps nothing and tells the user nothing.
  for (int refuseAt : {1, 2, 3, 4, 8}) {
    SCOPED_TRACE(refuseAt);
    progress_ = ProgressLog(refuseAt);
    log_.clear();
    qorn::clearLogOutputText();
    EXPECT_EQ(readText(threeTracksTenPlaylists()), 0);
    EXPECT_TRUE(items().empty());
    EXPECT_TRUE(reader_->cancelled());
    EXPECT_EQ(progress_.reports.size(), static_cast<std::size_t>(refuseAt));
    EXPECT_EQ(errorLines(), 0);
    EXPECT_EQ(qorn::logOutputText(), "");
  }
  // A track refused in the middle of the file: no later track reaches the console.
  progress_ = ProgressLog(2);
  console_.str("");
  EXPECT_EQ(readText(threeTracksTenPlaylists()), 0);
  EXPECT_EQ(console_.str(), "track One\ntrack Two\n");
}

TEST_F(ITunesReader, DamagedAndHostileStructures) {
  const std::string deep = [] {
    const int n = 100000;
    std::string nested;
    for (int i = 0; i < n; ++i) nested += "<key>k</key><dict>";
    for (int i = 0; i < n; ++i) nested += "</dict>";
    return library(track(1, {{"Nested", nested.substr(12)}, {"Name", str("deep")}}), "");
  }();
  const std::string deepArrays = [] {
    std::string a = "<plist>";
    for (int i = 0; i < 100000; ++i) a += "<array><dict>";
    for (int i = 0; i < 100000; ++i) a += "</dict></array>";
    return a + "</plist>";
  }();
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> names;  // the entries read, in order
  } cases[] = {
      {"a repeated track id",
       library(track(5, {{"Name", str("a")}}) + track(5, {{"Name", str("b")}}),
               playlist("P", {5, 5})),
       {"a", "b"}},
      {"a playlist naming unknown tracks",
       library(track(1, {{"Name", str("a")}}), playlist("P", {2, -1, 2147483647})),
       {"a"}},
      {"dictionaries nested in a track", deep, {"deep"}},
      {"arrays and dictionaries nested deep", deepArrays, {}},
      {"playlists before tracks",
       "<plist><dict><key>Playlists</key><array>" + playlist("P", {1}) +
           "</array><key>Tracks</key><dict>" + track(1, {{"Name", str("late")}}) +
           "</dict></dict></plist>",
       {"late"}},
      {"tracks as an array",
       "<plist><dict><key>Tracks</key><array>" + dict({{"Name", str("x")}}) +
           "</array></dict></plist>",
       {}},
      {"a track value that is no dictionary",
       library("<key>1</key><string>x</string>" + track(2, {{"Name", str("two")}}), ""),
       {"two"}},
      // The key's own text ends the key early; the value after it is the track's name.
      {"a key holding a dictionary",
       library("<key>1</key><dict><key>Name</key><string>k</string><key><dict><key>Name</key>"
               "<string>in key</string></dict></key></dict>",
               ""),
       {"in key"}},
      {"a value without key", library("<key>1</key><dict><string>lone</string></dict>", ""), {""}},
      {"a track without anything", library("<key>1</key><dict/>", ""), {""}},
      {"a bare root dictionary",
       "<dict><dict>" + track(1, {{"Name", str("bare")}}) + "</dict></dict>",
       {"bare"}},
      {"values of every plist kind",
       library(track(1, {{"Name", str("kinds")},
                         {"Compilation", "<true/>"},
                         {"Date Added", "<date>2004-01-01T00:00:00Z</date>"},
                         {"Persistent ID", "<data>AAEC</data>"},
                         {"Rating", "<real>4.5</real>"},
                         {"List", "<array><string>x</string></array>"}}),
               ""),
       {"kinds"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(readText(c.text), 1);
    std::vector<std::string> names;
    for (const auto& item : items()) names.push_back(utf8(item->name));
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(reader_->tracksFound(), static_cast<int>(c.names.size()));
  }
}

}  // namespace
}  // namespace itunestest
