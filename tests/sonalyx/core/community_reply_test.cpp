// Download replies as a real HTTP server on 127.0.0.1 sends them: features by position,
// wrong entry counts, partial entries, replies that do not parse, transport failures, the
// reply size cap and the time-outs.
#include <gtest/gtest.h>

#include <chrono>

#include "CommunityReply.h"
#include "CommunityTestSupport.h"
#include "zarvell/deployment.h"
#include "SonalyxTestSupport.h"

namespace sonalyx::test {
namespace {

std::vector<std::string> fullEntries(int n) {
  std::vector<std::string> e;
  for (int g = 0; g < n; ++g) e.push_back("<MD md5='x'/>" + ftElement(g));
  return e;
}

class CommunityReplies : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.ok()); }
  std::int32_t download(CommunitySongs& songs, const std::string& reply) {
    server_.enqueue(ScriptedReply::ok(reply));
    return connection_.download(songs.refs());
  }
  static int withFeatures(CommunitySongs& songs) {
    int n = 0;
    for (int i = 0; i < songs.size(); ++i) n += songs.result(i).hasFeatures;
    return n;
  }
  FixtureHttpServer server_;
  ScopedEnv host_{zarvell::kCommunityHostVariable, server_.hostPort()};
  CommunityConnection connection_;
};

TEST_F(CommunityReplies, TwentyFiveEntriesFillEverySongByPosition) {
  CommunitySongs songs(25);
  ASSERT_EQ(download(songs, featuresXml(fullEntries(25))), 0);
  EXPECT_EQ(connection_.lastReplyOutcome(), 0);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(songs.result(i).hasFeatures, 1) << i;
    const auto f = featuresOf(songs.result(i));
    for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k)
      ASSERT_EQ(f[static_cast<std::size_t>(k)], serverFeature(i, k)) << i << " " << k;
  }
  EXPECT_TRUE(connection_.isOpen());
}

TEST_F(CommunityReplies, NamesMatchInAnyCaseAndOtherChildrenAreIgnored) {
  CommunitySongs songs(2);
  std::string ft = ftElement(7);
  ft.replace(0, 3, "<fT");
  for (std::size_t p = ft.find(" f3"); p != std::string::npos; p = ft.find(" f3", p + 1))
    ft[p + 1] = 'F';
  const std::string reply = "<?xml version='1.0'?><!-- server 2 --><qr><x/><Et><FT/>" + ft +
                            "</Et><junk>text</junk><ET>" + ftElement(9) + "</ET></qr>";
  ASSERT_EQ(download(songs, reply), 0);
  // The first FT of an entry counts: here it is empty, so the first song gets nothing.
  EXPECT_EQ(songs.result(0).hasFeatures, 0);
  EXPECT_EQ(songs.result(1).hasFeatures, 1);
  EXPECT_EQ(featuresOf(songs.result(1))[5], serverFeature(9, 5));
}

TEST_F(CommunityReplies, WrongEntryCountSetsNothing) {
  CommunitySongs songs(25);
  ASSERT_EQ(download(songs, featuresXml(fullEntries(24))), 0);  // the request itself went through
  EXPECT_EQ(connection_.lastReplyOutcome(), ZARVELL_E_UNEXPECTED);
  EXPECT_EQ(withFeatures(songs), 0);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(featuresOf(songs.result(i))[0], 0.0f) << i;

  ASSERT_EQ(download(songs, featuresXml({})), 0);
  EXPECT_EQ(connection_.lastReplyOutcome(), ZARVELL_E_INVALIDARG);
  EXPECT_EQ(withFeatures(songs), 0);
}

TEST_F(CommunityReplies, AnEntryMissingOneFeatureWritesTheRestButStaysUnknown) {
  CommunitySongs songs(2);
  ASSERT_EQ(download(songs, featuresXml({ftElement(3, 40), ftElement(4)})), 0);
  EXPECT_EQ(songs.result(0).hasFeatures, 0);
  EXPECT_EQ(songs.result(1).hasFeatures, 1);
  const auto f = featuresOf(songs.result(0));
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k)
    EXPECT_EQ(f[static_cast<std::size_t>(k)], k == 40 ? 0.0f : serverFeature(3, k)) << k;
}

TEST_F(CommunityReplies, BadValuesCountAsMissing) {
  struct Case {
    const char* text;
    bool valid;
    float value;
  } cases[] = {{" \t1.5", true, 1.5f},
               {"+2", true, 2.0f},
               {"-3e2x", true, -300.0f},
               {"", false, 0},
               {"abc", false, 0},
               {"nan", false, 0},
               {"inf", false, 0},
               {"1e999", false, 0},
               {"\u00a0"
                "1",
                false, 0}};
  for (const auto& c : cases) {
    const auto v = parseFeatureValue(zarvell::utf8ToUtf16(c.text));
    EXPECT_EQ(v.has_value(), c.valid) << c.text;
    if (v && c.valid) {
      EXPECT_EQ(*v, c.value) << c.text;
    }
  }
}

TEST_F(CommunityReplies, UnknownEntityOrBrokenReplyGivesNoFeatures) {
  CommunitySongs songs(1);
  std::string withEntity = featuresXml(fullEntries(1));
  withEntity.replace(withEntity.find("<MD md5='x'/>"), 13, "<MD nm='Rock &nbsp; Roll'/>");
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(download(songs, withEntity), 0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("unknown escape character: '&nbsp'"), std::string::npos) << out;
  EXPECT_EQ(connection_.lastReplyOutcome(), ZARVELL_E_FAIL);
  EXPECT_EQ(songs.result(0).hasFeatures, 0);

  for (const std::string& broken :
       {std::string("<QR><ET>") + ftElement(1), std::string("Internal Server Error"),
        std::string("<QR><ET><FT f300='1'></ET></QR>"), std::string("\xff\xfe<\0Q\0", 6)}) {
    ASSERT_EQ(download(songs, broken), 0);
    EXPECT_NE(connection_.lastReplyOutcome(), 0);
    EXPECT_EQ(songs.result(0).hasFeatures, 0);
  }
  ASSERT_EQ(download(songs, ""), 0);  // an empty reply: nothing happens
  EXPECT_EQ(connection_.lastReplyOutcome(), 0);
  EXPECT_EQ(songs.result(0).hasFeatures, 0);
}

TEST_F(CommunityReplies, HttpErrorStatusIsStillASuccessfulRequest) {
  CommunitySongs songs(1);
  ScriptedReply reply = ScriptedReply::ok(featuresXml(fullEntries(1)));
  reply.statusLine = "HTTP/1.0 500 Internal Server Error";
  server_.enqueue(reply);
  EXPECT_EQ(connection_.upload(songs.refs()), 0);
}

TEST_F(CommunityReplies, ReplyOverTheCapFailsTheExchange) {
  CommunitySongs songs(1);
  const std::string huge = "<QR>" + std::string((16u << 20) - 4 + 1, ' ');
  for (bool announced : {true, false}) {
    server_.enqueue(ScriptedReply::ok(huge, announced));
    EXPECT_EQ(connection_.download(songs.refs()), kHttpErrorInternal) << announced;
    EXPECT_EQ(songs.result(0).hasFeatures, 0);
  }
  // Exactly at the cap is still accepted.
  server_.enqueue(ScriptedReply::ok(std::string(16u << 20, ' '), false));
  EXPECT_EQ(connection_.download(songs.refs()), 0);
}

TEST_F(CommunityReplies, SilentServerTimesOut) {
  CommunitySongs songs(1);
  HttpLimits limits;
  limits.totalTimeoutMs = 300;
  connection_.setLimits(limits);
  server_.enqueue(ScriptedReply::silent(5000));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(connection_.upload(songs.refs()), kHttpErrorTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(CommunityTransport, RefusedConnectionAndClosedConnection) {
  RefusingPort refusing;
  ScopedEnv host(zarvell::kCommunityHostVariable, refusing.hostPort());
  CommunitySongs songs(2);
  CommunityConnection connection;
  EXPECT_EQ(connection.download(songs.refs()), kHttpErrorCannotConnect);
  EXPECT_EQ(connection.upload(songs.refs()), kHttpErrorCannotConnect);
  EXPECT_EQ(songs.result(0).hasFeatures, 0);
  EXPECT_EQ(connection.download({}), ZARVELL_E_FAIL);  // nothing to ask
  connection.close();
  EXPECT_FALSE(connection.isOpen());
  connection.close();  // twice is harmless
}

}  // namespace
}  // namespace sonalyx::test
