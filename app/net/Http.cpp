#include "Http.h"

#include <curl/curl.h>

#include <mutex>
#include <utility>

namespace zarvell::app::net {
namespace {

// curl_global_init is not thread-safe and must run before the first handle: once, here.
bool globalInit() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

struct Sink {
  std::string* out;
  std::size_t limit;
};

// Stores up to the limit, then ends the transfer (curl reports CURLE_WRITE_ERROR).
size_t writeLimited(char* data, size_t size, size_t count, void* context) {
  auto* sink = static_cast<Sink*>(context);
  const size_t bytes = size * count;
  const size_t room = sink->limit - sink->out->size();
  sink->out->append(data, bytes < room ? bytes : room);
  return bytes <= room ? bytes : 0;
}

void setCommon(CURL* curl, const std::string& url, Sink& sink, const FetchOptions& options) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, options.agent.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.timeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, options.timeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeLimited);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
}

// Owns a header list.
class HeaderList {
 public:
  void add(const char* line) { list_ = curl_slist_append(list_, line); }
  curl_slist* get() const { return list_; }
  ~HeaderList() { curl_slist_free_all(list_); }

 private:
  curl_slist* list_ = nullptr;
};

}  // namespace

CurlEasy::CurlEasy() {
  if (globalInit()) handle_ = curl_easy_init();
}
CurlEasy::~CurlEasy() {
  if (handle_) curl_easy_cleanup(handle_);
}
CurlEasy::CurlEasy(CurlEasy&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
CurlEasy& CurlEasy::operator=(CurlEasy&& other) noexcept {
  if (this != &other) {
    if (handle_) curl_easy_cleanup(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

FetchResult fetch(const std::string& url, std::string& body, const FetchOptions& options) {
  body.clear();
  CurlEasy curl;
  if (!curl) return FetchResult::kNoInternet;
  Sink sink{&body, options.maxBytes};
  setCommon(curl.get(), url, sink, options);
  HeaderList headers;
  headers.add("Cache-Control: no-cache");
  headers.add("Pragma: no-cache");
  curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
  const CURLcode code = curl_easy_perform(curl.get());
  const bool stoppedAtLimit = code == CURLE_WRITE_ERROR && body.size() == options.maxBytes;
  if (code != CURLE_OK && !stoppedAtLimit) return FetchResult::kNotOpened;
  return body.empty() ? FetchResult::kEmpty : FetchResult::kOk;
}

PostResult post(const std::string& url, const std::string& body, const std::string& contentType,
                const FetchOptions& options) {
  PostResult result;
  CurlEasy curl;
  if (!curl) {
    result.error = "curl could not be set up";
    return result;
  }
  Sink sink{&result.body, options.maxBytes};
  setCommon(curl.get(), url, sink, options);
  curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 0L);  // the caller reads the status
  curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  HeaderList headers;
  const std::string type = "Content-Type: " + contentType;
  headers.add(type.c_str());
  headers.add("Expect:");  // no 100-continue round trip
  curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
  const CURLcode code = curl_easy_perform(curl.get());
  if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && result.body.size() == options.maxBytes)) {
    result.error = curl_easy_strerror(code);
    return result;
  }
  result.sent = true;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &result.status);
  return result;
}

}  // namespace zarvell::app::net
