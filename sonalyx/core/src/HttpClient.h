// One HTTP client handle (a libcurl easy handle), reused across requests so that its
// connection cache can keep the server connection open. Move-only; used by one thread at a
// time. This is the only file that sees libcurl.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonalyx {

// Limits of one request. Both time-outs are in milliseconds and always apply.
struct HttpLimits {
  long connectTimeoutMs = 10000;
  long totalTimeoutMs = 60000;
  std::size_t maxReplyBytes = std::size_t{16} << 20;  // larger replies fail the request
};

struct HttpPost {
  std::string host;  // name or address, brackets kept for IPv6
  int port = 80;
  std::string path;  // without the leading '/'
  std::string agent;
  std::vector<std::string> headers;  // complete "Name: value" lines, no CR LF
  std::string body;
};

struct HttpReply {
  // 0 when the request went through (whatever the HTTP status); otherwise the error of the
  // failed transfer as a WinINet-style code (see HttpClient::post).
  std::int32_t status = 0;
  long httpStatus = 0;
  std::string body;
};

class HttpClient {
 public:
  HttpClient();  // ok() tells whether the handle could be created
  ~HttpClient();
  HttpClient(HttpClient&& other) noexcept;
  HttpClient& operator=(HttpClient&& other) noexcept;
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  bool ok() const { return handle_ != nullptr; }

  // Sends `request` as an HTTP/1.0 POST and reads the whole reply. Never throws beyond
  // std::bad_alloc. Transfer errors map to: cannot connect 12029, time-out 12002, name not
  // resolved 12007, reply over the limit 12004 (internal error), anything else 12030
  // (connection aborted); a client without a handle answers 0x80004005.
  HttpReply post(const HttpPost& request, const HttpLimits& limits);

 private:
  void* handle_ = nullptr;  // CURL*
};

// WinINet-style error numbers reported by post().
inline constexpr std::int32_t kHttpErrorTimeout = 12002;
inline constexpr std::int32_t kHttpErrorInternal = 12004;
inline constexpr std::int32_t kHttpErrorNameNotResolved = 12007;
inline constexpr std::int32_t kHttpErrorCannotConnect = 12029;
inline constexpr std::int32_t kHttpErrorConnectionAborted = 12030;

}  // namespace sonalyx
