// The expat wrapper as the feature readers use it: events across chunk boundaries, a
// deliberate stop, a throwing handler, errors with their position, and the attribute view.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include <stdexcept>
#include <string>
#include <vector>

#include "feature_test_support.h"
#include "qorncore/datatypes/ExpatParser.h"

using namespace qorn;

namespace {

// Records every event as text.
class Recorder : public XmlHandler {
 public:
  std::vector<std::string> events;
  std::string stopAt;
  ExpatParser* parser = nullptr;
  bool throwAtStart = false;

  void startElement(std::string_view name, const XmlAttributes& attributes) override {
    if (throwAtStart) throw std::runtime_error("handler failure");
    std::string e = "<" + std::string(name);
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      e += " " + std::string(attributes.name(i)) + "=" + std::string(attributes.value(i));
    }
    events.push_back(e);
    if (name == stopAt && parser != nullptr) parser->stop();
  }
  void endElement(std::string_view name) override { events.push_back("/" + std::string(name)); }
  void characterData(std::string_view text) override {
    if (!events.empty() && events.back()[0] == '"') {
      events.back().insert(events.back().size() - 1, text);
    } else {
      events.push_back("\"" + std::string(text) + "\"");
    }
  }
};

const std::string kDocument =
    "<?xml version=\"1.0\"?><a x=\"1\" y=\"&amp;\"><b>t&lt;xt</b><c/></a>";

}  // namespace

TEST(ExpatParser, SameEventsWholeOrByteByByte) {
  Recorder whole;
  ExpatParser p(whole);
  ASSERT_EQ(p.feed(kDocument.data(), kDocument.size(), true), XmlStatus::Done);
  const std::vector<std::string> expected = {"<a x=1 y=&", "<b", "\"t<xt\"", "/b",
                                             "<c",         "/c", "/a"};
  EXPECT_EQ(whole.events, expected);

  Recorder pieces;
  ExpatParser q(pieces);
  for (std::size_t i = 0; i < kDocument.size(); ++i) {
    ASSERT_EQ(q.feed(kDocument.data() + i, 1, false), XmlStatus::Done);
  }
  ASSERT_EQ(q.feed(nullptr, 0, true), XmlStatus::Done);
  EXPECT_EQ(pieces.events, expected);
}

TEST(ExpatParser, StopEndsTheParseWithoutFurtherEvents) {
  Recorder r;
  ExpatParser p(r);
  r.parser = &p;
  r.stopAt = "b";
  EXPECT_EQ(p.feed(kDocument.data(), kDocument.size(), true), XmlStatus::Stopped);
  EXPECT_EQ(r.events, (std::vector<std::string>{"<a x=1 y=&", "<b"}));
  // After a reset the same parser reads a new document.
  ASSERT_TRUE(p.reset());
  r.events.clear();
  r.stopAt.clear();
  EXPECT_EQ(p.feed(kDocument.data(), kDocument.size(), true), XmlStatus::Done);
  EXPECT_EQ(r.events.size(), 7u);
}

TEST(ExpatParser, ThrowingHandlerIsContained) {
  Recorder r;
  r.throwAtStart = true;
  ExpatParser p(r);
  EXPECT_EQ(p.feed(kDocument.data(), kDocument.size(), true), XmlStatus::HandlerFailed);
  EXPECT_TRUE(r.events.empty());
}

TEST(ExpatParser, ErrorsCarryTheirPosition) {
  Recorder r;
  ExpatParser p(r);
  const std::string broken = "<a>\n<b>\n</a>";
  EXPECT_EQ(p.feed(broken.data(), broken.size(), true), XmlStatus::ParseError);
  EXPECT_EQ(p.line(), 3u);
  EXPECT_EQ(p.column(), 2u);
  EXPECT_EQ(p.errorText(), "mismatched tag");
  EXPECT_NE(p.errorCode(), 0);
}

TEST(ExpatParser, FilesInChunksAndMissingFiles) {
  featuretest::TempDir dir;
  std::string big = "<list>";
  for (int i = 0; i < 3000; ++i) big += "<item n=\"" + std::to_string(i) + "\"/>";
  big += "</list>";
  ASSERT_GT(big.size(), 3 * ExpatParser::kChunkSize);
  featuretest::writeFile(dir.file("big.xml"), big);
  Recorder r;
  ExpatParser p(r);
  EXPECT_EQ(p.parseFile(dir.file("big.xml")), XmlStatus::Done);
  EXPECT_EQ(r.events.size(), 2u + 2 * 3000u);
  EXPECT_EQ(r.events[2999 * 2 + 1], "<item n=2999");
  ASSERT_TRUE(p.reset());
  EXPECT_EQ(p.parseFile(dir.file("none.xml")), XmlStatus::OpenFailed);
  // A moved parser keeps working.
  ExpatParser moved = std::move(p);
  ASSERT_TRUE(moved.reset());
  r.events.clear();
  EXPECT_EQ(moved.feed(kDocument.data(), kDocument.size(), true), XmlStatus::Done);
  EXPECT_EQ(r.events.size(), 7u);
}

// The features XML and normaliser files are read through parseFile: a FIFO or a folder
// named where such a file belongs is refused at once (a FIFO without a writer would block
// an ordinary open for ever).
TEST(ExpatParser, FifoOrFolderIsRefusedAtOnce) {
  featuretest::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("pipe.xml").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(dir.file("folder.xml").c_str(), 0700), 0);
  for (const std::string name : {"pipe.xml", "folder.xml"}) {
    SCOPED_TRACE(name);
    Recorder r;
    ExpatParser p(r);
    auto parsing = std::async(std::launch::async, [&] { return p.parseFile(dir.file(name)); });
    if (parsing.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      const int writer = ::open(dir.file(name).c_str(), O_WRONLY | O_NONBLOCK);  // release it
      if (writer >= 0) ::close(writer);
      ADD_FAILURE() << "the parse blocked";
    }
    EXPECT_EQ(parsing.get(), XmlStatus::OpenFailed);
    EXPECT_TRUE(r.events.empty());
  }
}

TEST(ExpatParser, AttributeView) {
  const char* pairs[] = {"name", "x", "val", "2.5", "name", "y", nullptr};
  XmlAttributes a(pairs);
  EXPECT_EQ(a.size(), 3u);
  EXPECT_STREQ(a.find("name"), "x");  // the first of two
  EXPECT_EQ(a.find("missing"), nullptr);
  EXPECT_EQ(a.get("val"), "2.5");
  EXPECT_EQ(a.get("missing", "end"), "end");
  EXPECT_EQ(XmlAttributes(nullptr).size(), 0u);
}
