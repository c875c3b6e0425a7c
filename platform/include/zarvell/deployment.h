// Where Zarvell's outside services live: every host the product talks to or links to, in
// one table.
//
// Each host has a build-time default (the vendor's services sit on reserved ".example"
// names unless the build chooses others, see platform/CMakeLists.txt) and an environment
// variable that overrides it at run time: that is how a deployment points the program at
// its own servers and how tests point it at a server on 127.0.0.1. A value is "host",
// "host:port", "[v6]" or "[v6]:port"; a value without a usable port takes the service's
// default port.
//
// Contract: values are read afresh on every call (a test may change the environment
// between calls); nothing is cached, so there is no process-wide state here. Thread-safe
// as far as getenv is (the program does not change its environment while it runs).
// Nothing here throws beyond std::bad_alloc.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zarvell {

// The services, in the order of serviceDefaults().
enum class Service {
  Community,     // feature exchange server (Sonalyx)
  SimilarSongs,  // similar-songs query service
  LinkReport,    // link-report web service
  HomePage,      // the vendor's home page
  VersionFile,   // the version file of the update check (also named in its failure caption)
  DownloadPage,  // the download page the update check opens
  SurveyPage,    // the user survey page
  ITunesStore,   // the iTunes Store of the purchase links
  MsnMusic,      // the MSN Music store of the purchase links
};

// One deployment value: the variable that overrides it, its default, and what it is for.
struct ServiceDefault {
  Service service;
  const char* variable;     // environment variable, e.g. "ZARVELL_COMMUNITY_HOST"
  const char* host;         // build-time default host
  int port;                 // port used when the value names none
  const char* description;  // one line for documentation and diagnostics
};

// Environment variable of the community server (kept by name: scripts and tests use it).
inline constexpr const char* kCommunityHostVariable = "ZARVELL_COMMUNITY_HOST";

// Every deployment value, one per Service, in enum order.
std::span<const ServiceDefault> serviceDefaults();
const ServiceDefault& serviceDefault(Service service);

// A service address split into its parts.
struct ServiceHost {
  std::string host;  // name or IPv4 address; an IPv6 address keeps its brackets
  int port = 80;
  // The host as it stands in an address: "host" when the port is 80 (the default of the
  // schemes used here), else "host:port".
  std::string authority() const;
};

// Parses "host", "host:port", "[v6]" or "[v6]:port". A missing, empty, non-numeric or
// out-of-range port gives defaultPort.
ServiceHost parseServiceHost(std::string_view value, int defaultPort);

// The host of a service: its environment variable when set and not empty, else the
// build-time default.
ServiceHost serviceHost(Service service);
inline ServiceHost communityHost() {
  return serviceHost(Service::Community);
}

// Whole addresses on those hosts (the paths are fixed by the services):
// "http://HOST/cgi-bin/similar.cgi?" (the query follows)
std::string similarSongsQueryAddress();
// "http://HOST:8080/cgi-bin/linkreport.cgi?rm=addlink&referer=addlink" (the report follows)
std::string linkReportAddress();
// "http://HOST/"
std::string homePageUrl();
// "http://HOST/Zarvell.ver"
std::string versionFileUrl();
// "http://HOST/download.html"
std::string downloadPageUrl();
// "http://HOST/survey.html"
std::string surveyPageUrl();
// "itms://HOST/WebObjects/MZSearch.woa/wa/advancedSearchResults?" (the query follows)
std::string iTunesStoreSearchAddress();
// "http://HOST/commerce/default.aspx?" (the query follows)
std::string msnMusicSearchAddress();

}  // namespace zarvell
