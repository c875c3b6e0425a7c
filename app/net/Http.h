// Http: small blocking HTTP requests over libcurl, for the update check and the link reports.
// CurlEasy is the one owner of a curl easy handle; curl's global set-up runs once, on the
// first handle made, and is never torn down while the program runs.
//
// Any thread; one request per CurlEasy at a time. Nothing here throws except std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>

typedef void CURL;

namespace zarvell::app::net {

class CurlEasy {
 public:
  CurlEasy();  // get() is null when curl could not make a handle
  ~CurlEasy();
  CurlEasy(CurlEasy&& other) noexcept;
  CurlEasy& operator=(CurlEasy&& other) noexcept;
  CurlEasy(const CurlEasy&) = delete;
  CurlEasy& operator=(const CurlEasy&) = delete;

  CURL* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  CURL* handle_ = nullptr;
};

// Results of fetch(), in the numbering the update check reports.
enum class FetchResult {
  kOk = 0,          // some bytes were read
  kNoInternet = 1,  // curl could not be set up
  kNotOpened = 2,   // no connection, or the server answered with an HTTP error
  kEmpty = 3,       // the server answered, with nothing
};

struct FetchOptions {
  std::string agent = "AutoUpdateAgent";
  std::size_t maxBytes = 4096;  // reading stops here
  long timeoutSeconds = 10;     // connecting and the whole transfer
};

// GETs `url` asking every cache on the way for a fresh copy; `body` receives at most
// options.maxBytes bytes. Returns a status, never throws (except std::bad_alloc).
FetchResult fetch(const std::string& url, std::string& body, const FetchOptions& options = {});

struct PostResult {
  bool sent = false;  // a response came back (any status)
  long status = 0;    // the HTTP status when sent
  std::string body;   // the response body, up to maxBytes
  std::string error;  // curl's reason when not sent
};

// POSTs `body` with the given content type. Returns a status, never throws (except bad_alloc).
PostResult post(const std::string& url, const std::string& body, const std::string& contentType,
                const FetchOptions& options = {});

}  // namespace zarvell::app::net
