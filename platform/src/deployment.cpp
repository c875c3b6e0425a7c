#include "zarvell/deployment.h"

#include <array>
#include <cstdlib>

// Build-time defaults; the build may choose others (platform/CMakeLists.txt).
#ifndef ZARVELL_DEFAULT_COMMUNITY_HOST
#define ZARVELL_DEFAULT_COMMUNITY_HOST "community.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_SIMILAR_HOST
#define ZARVELL_DEFAULT_SIMILAR_HOST "similar.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_LINKREPORT_HOST
#define ZARVELL_DEFAULT_LINKREPORT_HOST "linkreport.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_HOMEPAGE_HOST
#define ZARVELL_DEFAULT_HOMEPAGE_HOST "www.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_VERSION_HOST
#define ZARVELL_DEFAULT_VERSION_HOST "www.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_DOWNLOAD_HOST
#define ZARVELL_DEFAULT_DOWNLOAD_HOST "www.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_SURVEY_HOST
#define ZARVELL_DEFAULT_SURVEY_HOST "www.zarvell.example"
#endif
#ifndef ZARVELL_DEFAULT_ITUNES_STORE_HOST
#define ZARVELL_DEFAULT_ITUNES_STORE_HOST "itunes-store.example"
#endif
#ifndef ZARVELL_DEFAULT_MSN_MUSIC_HOST
#define ZARVELL_DEFAULT_MSN_MUSIC_HOST "msn-music.example"
#endif

namespace zarvell {
namespace {

constexpr std::array<ServiceDefault, 9> kDefaults{{
    {Service::Community, kCommunityHostVariable, ZARVELL_DEFAULT_COMMUNITY_HOST, 80,
     "community feature server"},
    {Service::SimilarSongs, "ZARVELL_SIMILAR_HOST", ZARVELL_DEFAULT_SIMILAR_HOST, 80,
     "similar-songs query service"},
    {Service::LinkReport, "ZARVELL_LINKREPORT_HOST", ZARVELL_DEFAULT_LINKREPORT_HOST, 8080,
     "link-report web service"},
    {Service::HomePage, "ZARVELL_HOMEPAGE_HOST", ZARVELL_DEFAULT_HOMEPAGE_HOST, 80, "home page"},
    {Service::VersionFile, "ZARVELL_VERSION_HOST", ZARVELL_DEFAULT_VERSION_HOST, 80,
     "version file of the update check"},
    {Service::DownloadPage, "ZARVELL_DOWNLOAD_HOST", ZARVELL_DEFAULT_DOWNLOAD_HOST, 80,
     "download page"},
    {Service::SurveyPage, "ZARVELL_SURVEY_HOST", ZARVELL_DEFAULT_SURVEY_HOST, 80, "survey page"},
    {Service::ITunesStore, "ZARVELL_ITUNES_STORE_HOST", ZARVELL_DEFAULT_ITUNES_STORE_HOST, 80,
     "iTunes Store of the purchase links"},
    {Service::MsnMusic, "ZARVELL_MSN_MUSIC_HOST", ZARVELL_DEFAULT_MSN_MUSIC_HOST, 80,
     "MSN Music store of the purchase links"},
}};

// The table is indexed by the enum: each entry must sit at its own position.
constexpr bool tableInEnumOrder() {
  for (std::size_t i = 0; i < kDefaults.size(); ++i)
    if (static_cast<std::size_t>(kDefaults[i].service) != i) return false;
  return true;
}
static_assert(tableInEnumOrder(), "deployment table out of enum order");

// Port digits: 1 to 5 decimal digits naming 1..65535; 0 otherwise.
int portOf(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return 0;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && number <= 65535 ? number : 0;
}

std::string address(const char* scheme, Service service, const char* path) {
  return std::string(scheme) + serviceHost(service).authority() + path;
}

}  // namespace

std::span<const ServiceDefault> serviceDefaults() {
  return kDefaults;
}

const ServiceDefault& serviceDefault(Service service) {
  return kDefaults[static_cast<std::size_t>(service)];
}

std::string ServiceHost::authority() const {
  return port == 80 ? host : host + ":" + std::to_string(port);
}

ServiceHost parseServiceHost(std::string_view value, int defaultPort) {
  ServiceHost out;
  out.port = defaultPort;
  std::size_t colon = std::string_view::npos;
  if (!value.empty() && value.front() == '[') {
    const std::size_t close = value.find(']');
    if (close != std::string_view::npos && close + 1 < value.size() && value[close + 1] == ':')
      colon = close + 1;
  } else {
    colon = value.rfind(':');
  }
  out.host = std::string(value.substr(0, colon));
  if (colon == std::string_view::npos) return out;
  if (const int port = portOf(value.substr(colon + 1)); port != 0) out.port = port;
  return out;
}

ServiceHost serviceHost(Service service) {
  const ServiceDefault& d = serviceDefault(service);
  const char* value = std::getenv(d.variable);
  return parseServiceHost((value && *value) ? value : d.host, d.port);
}

std::string similarSongsQueryAddress() {
  return address("http://", Service::SimilarSongs, "/cgi-bin/similar.cgi?");
}
std::string linkReportAddress() {
  return address("http://", Service::LinkReport,
                 "/cgi-bin/linkreport.cgi?rm=addlink&referer=addlink");
}
std::string homePageUrl() {
  return address("http://", Service::HomePage, "/");
}
std::string versionFileUrl() {
  return address("http://", Service::VersionFile, "/Zarvell.ver");
}
std::string downloadPageUrl() {
  return address("http://", Service::DownloadPage, "/download.html");
}
std::string surveyPageUrl() {
  return address("http://", Service::SurveyPage, "/survey.html");
}
std::string iTunesStoreSearchAddress() {
  return address("itms://", Service::ITunesStore,
                 "/WebObjects/MZSearch.woa/wa/advancedSearchResults?");
}
std::string msnMusicSearchAddress() {
  return address("http://", Service::MsnMusic, "/commerce/default.aspx?");
}

}  // namespace zarvell
