// The network a load builds is the same, whichever way the reader stores the links: a
// generated library with hostile additions (replaced pairs, penalties, missing and far-off
// ends, odd numbers, a second links section, stray elements) is loaded through the engine
// and compared, node by node and link by link (link numbers included), with the same text
// read through a store that takes the links one by one. The engine's result is also pinned
// by a digest taken before the reader was made faster.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "NetworkGenerator.h"
#include "engine_test_support.h"
#include "network_file_support.h"
#include "qorncore/engine/NetworkParser.h"
#include "qorncore/manager/History.h"
#include "qorncore/manager/TabooList.h"

namespace {

using namespace qorn;
using namespace netfiletest;
using enginetest::LogCapture;

// Stores everything the way the engine did before links were stored in runs: each link
// through AscHolder::add the moment it is read.
class OneByOneSink : public NetworkSink {
 public:
  explicit OneByOneSink(qornManager& m) : m_(m) {}
  bool addNode(Node* node) override { return m_.addNode(node) == 1; }
  Node* findNode(int32_t id) const override { return m_.nodes().find(id); }
  int32_t largestId() const override { return m_.nodes().largestId(); }
  bool addLink(const Asc& link, int32_t fromId, int32_t toId, int32_t penalty) override {
    return m_.links().add(link, fromId, toId, penalty) != nullptr;
  }
  void addKeywords(int32_t id, const std::string& text) override {
    m_.setNodeField(id, "add:keywords", text);
  }
  void appendHistory(Node& song) override { m_.history().append(&song, true); }
  void addTaboo(Node& node, int32_t expiry) override {
    m_.tabooList().addWithExpiry(expiry, 0, &node);
  }
  void addToPalette(const std::map<std::string, std::string>& attributes) override {
    m_.addToPalette(attributes);
  }
  void addToPlayQueue(int32_t id) override { m_.addToPlayQueue(id); }
  void setMediaRoot(const std::string& root) override { m_.setMediaRoot(qornstring(root)); }

 private:
  qornManager& m_;
};

// The link store as a text: every node's entries in order with their link numbers, and
// each link's ends (as stored), strength (exact bits), step and penalty counter.
std::string linkStore(qornManager& m) {
  std::ostringstream out;
  const AscHolder& links = m.links();
  out << "links " << links.size() << " numbers " << links.linkNumberLimit() << "\n";
  for (const auto& [id, node] : m.nodes().byId()) {
    out << id << ":";
    for (const AscHolder::Entry& e : links.entriesOf(id)) {
      const Asc& link = links.linkAt(e.slot);
      char strength[32];
      std::snprintf(strength, sizeof strength, "%a", static_cast<double>(link.strength.value()));
      out << ' ' << e.other << '#' << e.slot << '(' << link.from->id << '>' << link.to->id << ' '
          << strength << " @" << link.lastvisited << " p" << links.penalty(&link) << ')';
    }
    out << "\n";
  }
  return out.str();
}

uint64_t fnv1a(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string insertBefore(std::string text, const std::string& mark, const std::string& what) {
  const std::size_t at = text.find(mark);
  EXPECT_NE(at, std::string::npos) << mark;
  return at == std::string::npos ? text : text.insert(at, what);
}

// A generated library of 3,000 songs (ids: artists 1-150, albums 151-450, songs from 451)
// saved as text, with a far-off song id and hostile links added; with `repeatPairs`, some
// pairs come again in the same links section.
std::string hostileLibrary(bool repeatPairs) {
  auto m = makeManager();
  netgen::Options o;
  o.songs = 3000;
  o.albums = 300;
  o.artists = 150;
  o.links = 30000;
  o.seed = 11;
  netgen::generate(*m, o);
  std::string text = networkTextOf(*m);
  text = insertBefore(text, "</nodes>",
                      "<song id=\"2000000000\" name=\"far song\" md5=\"ffffffffffffffffffffffffffffffff\">"
                      "<media location=\"far.mp3\"/></song>\n");
  // The first link of the file, "to" before "from": the same pair again, both ways round.
  const std::size_t first = text.find("<link to=\"");
  int to = 0, from = 0;
  EXPECT_EQ(std::sscanf(text.c_str() + first, "<link to=\"%d\" from=\"%d\"", &to, &from), 2);
  const std::string a = std::to_string(from), b = std::to_string(to);
  const std::string repeated =
      "<link from=\"" + b + "\" to=\"" + a + "\" strength=\"0.9\" lastvisited=\"3\" pc=\"0\"/>\n"
      "<link from=\"" + a + "\" to=\"" + b + "\" strength=\"0.45\" lastvisited=\"0\" pc=\"2\"/>\n"
      "<link from=\"3400\" to=\"600\" strength=\"0.35\" lastvisited=\"2\" pc=\"7\"/>\n";
  const std::string extra =
      "<link from=\"500\" to=\"460\" strength=\"0.7\" lastvisited=\"9\" pc=\"5\"/>\n"
      "<link from=\"470\" to=\"999999\" strength=\"0.5\"/>\n"
      "<link from=\"471\" to=\"471\" strength=\"0.5\"/>\n"
      "<link from=\"2000000000\" to=\"472\" strength=\"1.5\"/>\n"
      "<link from=\"2000000000\" to=\"151\" strength=\"0.7\"/>\n"
      "<link strength=\"0.8\" to=\"473\" from=\"152\"/>\n"
      "<bogus/>\n"
      "<link from=\" 12\" to=\"+13\" strength=\" 0.5\" lastvisited=\"-5\" pc=\"1\"/>\n"
      "<link from=\"0014\" to=\"15\" strength=\"nan\"/>\n"
      "<link from=\"16\" to=\"17\" strength=\"1e-3\" lastvisited=\"12\"/>\n"
      "<link from=\"18\" to=\"19\" strength=\"-0.25\"/>\n"
      "<link from=\"21\" to=\"22\" strength=\".5\"/>\n"
      "<link from=\"23\" to=\"24\" strength=\"7.\"/>\n"
      "<link from=\"25\" to=\"26\" strength=\"0.1234567890123456789\"/>\n"
      "<link from=\"27\" to=\"28\" strength=\"3.4e39\"/>\n"
      "<link from=\"29\" to=\"30\" strength=\"123abc\"/>\n"
      "<link from=\"31x\" to=\"32\" strength=\"0.2\"/>\n"
      "<link from=\"-33\" to=\"34\" strength=\"0.2\"/>\n"
      "<link from=\"99999999999\" to=\"35\" strength=\"0.2\"/>\n"
      "<link from=\"36\" to=\"37\" strength=\"0.000001\"/>\n"
      "<link from=\"38\" to=\"39\" strength=\"-\"/>\n"
      "<link from=\"40\" to=\"41\" strength=\"0.3\"><link from=\"42\" to=\"43\"/></link>\n"
      "<link from=\"600\" to=\"3400\" strength=\"0.25\" lastvisited=\"1\"/>\n";
  text = insertBefore(text, "</links>", extra + (repeatPairs ? repeated : std::string()));
  // A second links section: one new pair and one replacing a pair of the first.
  return insertBefore(text, "<palette>",
                      "<links><link from=\"44\" to=\"45\" strength=\"0.6\"/>"
                      "<link from=\"460\" to=\"500\" strength=\"0.1\" pc=\"0\"/></links>\n");
}

struct Loaded {
  int result = 0;
  std::string console;
  std::string store;  // linkStore() right after the load
  std::string saved;  // what a save then writes (it decays every link to the last step)
};

Loaded loadedByEngine(const std::string& text) {
  auto m = makeManager();
  Loaded l;
  std::ostringstream console;
  l.result = loadNetworkText(*m, text, console);
  l.console = console.str();
  l.store = linkStore(*m);
  l.saved = networkTextOf(*m);
  return l;
}

Loaded loadedOneByOne(const std::string& text) {
  auto m = makeManager();
  Loaded l;
  std::ostringstream console;
  OneByOneSink sink(*m);
  NetworkParser parser(sink, console);
  l.result = parser.loadText(text, "network text");
  l.console = console.str();
  l.store = linkStore(*m);
  l.saved = networkTextOf(*m);
  return l;
}

const std::string& library() {
  static const std::string text = hostileLibrary(true);
  return text;
}

struct DocumentCase {
  const char* name;
  std::string (*make)();
  int result;
};

class LoadedNetworkIdentityTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(LoadedNetworkIdentityTest, EngineLoadEqualsLinkByLinkLoad) {
  LogCapture log;
  const std::string text = GetParam().make();
  const Loaded engine = loadedByEngine(text);
  const Loaded reference = loadedOneByOne(text);
  EXPECT_EQ(engine.result, GetParam().result);
  EXPECT_EQ(reference.result, GetParam().result);
  EXPECT_EQ(engine.console, reference.console);
  EXPECT_EQ(engine.saved, reference.saved);
  EXPECT_EQ(engine.store, reference.store);
  EXPECT_GT(engine.store.size(), 1000u);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, LoadedNetworkIdentityTest,
    ::testing::Values(
        DocumentCase{"WholeLibrary", [] { return library(); }, 1},
        DocumentCase{"NoPairRepeated", [] { return hostileLibrary(false); }, 1},
        // A parse error half way through the links: what was read before stays.
        DocumentCase{"CutInTheLinks",
                     [] {
                       const std::string& all = library();
                       const std::size_t links = all.find("<links>");
                       const std::size_t cut = all.find("<link ", links + (all.size() - links) / 2);
                       return all.substr(0, cut) + "<link from=\"1\" <oops";
                     },
                     0},
        // Links before the nodes they name: dropped, as the ends are not known yet.
        DocumentCase{"LinksBeforeNodes",
                     [] {
                       const std::string& all = library();
                       const std::size_t begin = all.find("<links>");
                       const std::size_t end = all.find("</links>") + 8;
                       std::string moved = all.substr(0, begin) + all.substr(end);
                       return insertBefore(moved, "<nodes>", all.substr(begin, end - begin));
                     },
                     1}),
    [](const auto& info) { return std::string(info.param.name); });

// The whole library as the engine loaded it before links were stored in runs.
TEST(LoadedNetworkIdentity, DigestOfTheLoadedLibraryIsTheOneFirstTaken) {
  LogCapture log;
  const Loaded engine = loadedByEngine(library());
  ASSERT_EQ(engine.result, 1);
  // The additions took effect: refused links, the stray element, the far-off end, the
  // capped strengths, and the pair the second section replaced (its counter gone).
  EXPECT_NE(engine.console.find("Illegal assoc created!\nWarning unexpected tag <bogus>"),
            std::string::npos);
  EXPECT_NE(engine.store.find("2000000000: 151#30002(2000000000>151 0x1.333334p-2 @0 p0) "
                              "472#30001(2000000000>472 0x1p+0 @0 p0)"),
            std::string::npos);
  EXPECT_NE(engine.store.find("500#30000(460>500 0x1.99999ap-4 @0 p0)"), std::string::npos);
  EXPECT_NE(engine.store.find("3400#30017(3400>600 0x1.666666p-2 @2 p7)"), std::string::npos);
  EXPECT_EQ(fnv1a(engine.saved), 0x1da8ff41412d535full) << std::hex << fnv1a(engine.saved);
  EXPECT_EQ(fnv1a(engine.store), 0x0b621e41cdd4b4a8ull) << std::hex << fnv1a(engine.store);
}

}  // namespace
