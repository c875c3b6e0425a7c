// HTTP over curl against a real server on 127.0.0.1: what a GET and a POST send and the
// results they report.
#include <gtest/gtest.h>

#include "app/net/Http.h"
#include "http_test_server.h"

namespace zarvell::app::net {
namespace {

TEST(HttpFetch, ReportsEachOutcomeAndAsksForAFreshCopy) {
  apptest::HttpTestServer server;
  const std::string url = "http://" + server.host() + "/Zarvell.ver";
  struct Case {
    const char* status;
    std::string body;
    FetchResult result;
    std::string read;
  };
  const Case cases[] = {
      {"200 OK", "105\r\n", FetchResult::kOk, "105\r\n"},
      {"200 OK", "", FetchResult::kEmpty, ""},
      {"404 Not Found", "missing", FetchResult::kNotOpened, ""},
      {"500 Internal Server Error", "", FetchResult::kNotOpened, ""},
      {"200 OK", std::string(10000, '7'), FetchResult::kOk, std::string(4096, '7')},
  };
  for (const Case& c : cases) {
    server.respond(c.status, c.body);
    std::string body = "old";
    EXPECT_EQ(fetch(url, body), c.result) << c.status << " " << c.body.size();
    EXPECT_EQ(body, c.read) << c.status;
  }
  const std::string request = server.requests().front();
  EXPECT_EQ(request.rfind("GET /Zarvell.ver HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("User-Agent: AutoUpdateAgent\r\n"), std::string::npos);
  EXPECT_NE(request.find("Cache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_NE(request.find("Pragma: no-cache\r\n"), std::string::npos);
}

TEST(HttpFetch, NoServerIsNotOpened) {
  std::string port;
  {
    apptest::HttpTestServer gone;  // a port that was just free and is closed again
    port = gone.host();
  }
  std::string body;
  EXPECT_EQ(fetch("http://" + port + "/Zarvell.ver", body), FetchResult::kNotOpened);
  EXPECT_EQ(fetch("not a url at all", body), FetchResult::kNotOpened);
}

TEST(HttpPost, SendsTheBodyAndReturnsStatusAndAnswer) {
  apptest::HttpTestServer server;
  server.respond("201 Created", "stored");
  const std::string body = "a=1&b=\xC3\xA9";
  const PostResult ok =
      post("http://" + server.host() + "/report", body, "application/x-www-form-urlencoded");
  EXPECT_TRUE(ok.sent) << ok.error;
  EXPECT_EQ(ok.status, 201);
  EXPECT_EQ(ok.body, "stored");
  const std::string request = server.requests().back();
  EXPECT_EQ(request.rfind("POST /report HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(request.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  EXPECT_EQ(request.substr(request.size() - body.size()), body);

  server.respond("503 Service Unavailable", "busy");  // an error status still is an answer
  const PostResult refused = post("http://" + server.host() + "/report", "", "text/plain");
  EXPECT_TRUE(refused.sent);
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.body, "busy");
}

TEST(CurlEasy, MovesItsHandle) {
  CurlEasy a;
  ASSERT_TRUE(a);
  CURL* handle = a.get();
  CurlEasy b(std::move(a));
  EXPECT_EQ(b.get(), handle);
  EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  CurlEasy c;
  c = std::move(b);
  EXPECT_EQ(c.get(), handle);
}

}  // namespace
}  // namespace zarvell::app::net
