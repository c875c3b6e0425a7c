#include "CommunityFixtureServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace sonalyx::test {
namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 32u << 20;
constexpr int kIoTimeoutMs = 3000;

std::string lowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Reads more bytes into `data`; false on close, error or time-out.
bool readSome(int fd, std::string& data) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, kIoTimeoutMs) <= 0) return false;
  char buffer[65536];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  data.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool writeAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, kIoTimeoutMs) <= 0) return false;
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool parseHead(const std::string& head, RecordedRequest& request) {
  std::size_t lineEnd = head.find("\r\n");
  const std::string first = head.substr(0, lineEnd);
  const std::size_t s1 = first.find(' ');
  const std::size_t s2 = first.rfind(' ');
  if (s1 == std::string::npos || s2 == s1) return false;
  request.method = first.substr(0, s1);
  request.target = first.substr(s1 + 1, s2 - s1 - 1);
  request.version = first.substr(s2 + 1);
  std::size_t pos = lineEnd + 2;
  while (pos < head.size()) {
    const std::size_t end = head.find("\r\n", pos);
    const std::string line =
        head.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::size_t v = colon + 1;
      while (v < line.size() && line[v] == ' ') ++v;
      request.headers.emplace_back(line.substr(0, colon), line.substr(v));
    }
    if (end == std::string::npos) break;
    pos = end + 2;
  }
  return true;
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& [n, v] : headers)
    if (lowerCase(n) == lowerCase(name)) return v;
  return std::string();
}

int RecordedRequest::headerCount(const std::string& name) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(), [&](const auto& h) {
    return lowerCase(h.first) == lowerCase(name);
  }));
}

FixtureHttpServer::FixtureHttpServer(Script script, std::chrono::seconds lifetime)
    : script_(std::move(script)), deadline_(std::chrono::steady_clock::now() + lifetime) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return;
  }
  listener_ = fd;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

FixtureHttpServer::~FixtureHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

void FixtureHttpServer::enqueue(ScriptedReply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(reply));
}

std::vector<RecordedRequest> FixtureHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

ScriptedReply FixtureHttpServer::replyFor(const RecordedRequest& request) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    if (!queue_.empty()) {
      ScriptedReply reply = std::move(queue_.front());
      queue_.pop_front();
      return reply;
    }
  }
  if (script_) return script_(request);
  return ScriptedReply::ok("");
}

void FixtureHttpServer::run() {
  while (!stop_ && std::chrono::steady_clock::now() < deadline_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    serve(client);
    ::close(client);
  }
}

void FixtureHttpServer::serve(int client) {
  std::string data;
  std::size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    if (data.size() > kMaxHeaderBytes || !readSome(client, data)) return;
  }
  RecordedRequest request;
  if (!parseHead(data.substr(0, headEnd + 2), request)) return;
  const std::size_t length = std::min<std::size_t>(
      std::strtoull(request.header("Content-Length").c_str(), nullptr, 10), kMaxBodyBytes);
  std::string body = data.substr(headEnd + 4);
  while (body.size() < length && readSome(client, body)) {
  }
  request.body = body.substr(0, length);

  const ScriptedReply reply = replyFor(request);
  if (reply.kind == ScriptedReply::Kind::Drop) return;
  if (reply.kind == ScriptedReply::Kind::Silent) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.silentMs);
    while (!stop_ && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return;
  }
  std::string out = reply.statusLine + "\r\nContent-Type: text/xml\r\nConnection: close\r\n";
  if (reply.sendContentLength)
    out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  out += "\r\n";
  out += reply.body;
  writeAll(client, out);
  ::shutdown(client, SHUT_WR);
}

RefusingPort::RefusingPort() {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
  if (socket_ >= 0) ::close(socket_);
}

}  // namespace sonalyx::test
