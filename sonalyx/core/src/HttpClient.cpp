#include "HttpClient.h"

#include <curl/curl.h>

#include <utility>

#include "zarvell/status.h"

namespace sonalyx {
namespace {

// Owns a curl_slist of request headers.
class HeaderList {
 public:
  HeaderList() = default;
  ~HeaderList() { curl_slist_free_all(list_); }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  bool add(const std::string& line) {
    curl_slist* grown = curl_slist_append(list_, line.c_str());
    if (!grown) return false;
    list_ = grown;
    return true;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

struct Sink {
  std::string* body;
  std::size_t limit;
  bool overflow = false;
};

// libcurl write callback: appends the chunk, or refuses it (aborting the transfer) when the
// reply would pass its limit or memory runs out.
extern "C" std::size_t writeReply(char* data, std::size_t size, std::size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const std::size_t n = size * count;
  if (n > sink->limit - sink->body->size()) {
    sink->overflow = true;
    return 0;
  }
  try {
    sink->body->append(data, n);
  } catch (...) {
    sink->overflow = true;
    return 0;
  }
  return n;
}

std::int32_t mapError(CURLcode code, bool overflow) {
  if (overflow) return kHttpErrorInternal;
  switch (code) {
    case CURLE_COULDNT_CONNECT:
      return kHttpErrorCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return kHttpErrorTimeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kHttpErrorNameNotResolved;
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_OUT_OF_MEMORY:
      return kHttpErrorInternal;
    default:
      return kHttpErrorConnectionAborted;
  }
}

}  // namespace

HttpClient::HttpClient() : handle_(curl_easy_init()) {}

HttpClient::~HttpClient() {
  if (handle_) curl_easy_cleanup(static_cast<CURL*>(handle_));
}

HttpClient::HttpClient(HttpClient&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

HttpClient& HttpClient::operator=(HttpClient&& other) noexcept {
  if (this != &other) {
    if (handle_) curl_easy_cleanup(static_cast<CURL*>(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

HttpReply HttpClient::post(const HttpPost& request, const HttpLimits& limits) {
  HttpReply reply;
  if (!handle_) {
    reply.status = ZARVELL_E_FAIL;
    return reply;
  }
  CURL* curl = static_cast<CURL*>(handle_);
  curl_easy_reset(curl);  // keeps the connection cache, drops the previous request's options

  HeaderList headers;
  for (const std::string& line : request.headers) {
    if (!headers.add(line)) {
      reply.status = kHttpErrorInternal;
      return reply;
    }
  }
  const std::string url =
      "http://" + request.host + ":" + std::to_string(request.port) + "/" + request.path;
  Sink sink{&reply.body, limits.maxReplyBytes};

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(curl, CURLOPT_USERAGENT, request.agent.c_str());
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeReply);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxReplyBytes));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // time-outs without SIGALRM (worker threads)
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);

  const CURLcode code = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
  if (code != CURLE_OK || sink.overflow) {
    reply.status = mapError(code, sink.overflow);
    reply.body.clear();
    return reply;
  }
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.httpStatus);
  return reply;
}

}  // namespace sonalyx
