// A small HTTP server on 127.0.0.1 for the community tests. It listens on an ephemeral
// port, serves one connection at a time, records every request (request line, headers,
// body) and answers from a script: queued replies first, then a reply function, else an
// empty 200. Every read and write is bounded in size and time, and the server stops by
// itself at destruction or after its lifetime, whichever comes first.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sonalyx::test {

struct RecordedRequest {
  std::string method, target, version;
  std::vector<std::pair<std::string, std::string>> headers;  // names as sent
  std::string body;
  // Value of the first header of that name (case-insensitive); empty when absent.
  std::string header(const std::string& name) const;
  int headerCount(const std::string& name) const;
};

struct ScriptedReply {
  enum class Kind { Respond, Silent, Drop };  // Drop: close without a word
  Kind kind = Kind::Respond;
  std::string statusLine = "HTTP/1.0 200 OK";
  std::string body;
  bool sendContentLength = true;  // false: the reply ends when the connection closes
  int silentMs = 0;               // Silent: keep the connection open this long, say nothing

  static ScriptedReply ok(std::string body, bool contentLength = true) {
    ScriptedReply r;
    r.body = std::move(body);
    r.sendContentLength = contentLength;
    return r;
  }
  static ScriptedReply drop() {
    ScriptedReply r;
    r.kind = Kind::Drop;
    return r;
  }
  static ScriptedReply silent(int ms) {
    ScriptedReply r;
    r.kind = Kind::Silent;
    r.silentMs = ms;
    return r;
  }
};

class FixtureHttpServer {
 public:
  using Script = std::function<ScriptedReply(const RecordedRequest&)>;
  explicit FixtureHttpServer(Script script = nullptr,
                             std::chrono::seconds lifetime = std::chrono::seconds(60));
  ~FixtureHttpServer();
  FixtureHttpServer(const FixtureHttpServer&) = delete;
  FixtureHttpServer& operator=(const FixtureHttpServer&) = delete;

  bool ok() const { return listener_ >= 0; }
  int port() const { return port_; }
  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  void enqueue(ScriptedReply reply);
  std::vector<RecordedRequest> requests() const;

 private:
  void run();
  void serve(int client);
  ScriptedReply replyFor(const RecordedRequest& request);

  int listener_ = -1;
  int port_ = 0;
  Script script_;
  std::chrono::steady_clock::time_point deadline_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::deque<ScriptedReply> queue_;
  std::vector<RecordedRequest> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections: bound, never listening, while it lives.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int socket_ = -1;
  int port_ = 0;
};

}  // namespace sonalyx::test
