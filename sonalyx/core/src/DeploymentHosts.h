// Where Sonalyx's vendor services live. The build carries defaults on reserved ".example"
// names; each value can be overridden at run time by an environment variable, which is how
// tests point the module at a server of their own on 127.0.0.1.
#pragma once

#include <string>

namespace sonalyx {

// Build-time default of the community feature server (host, optionally ":port").
inline constexpr const char* kDefaultCommunityHost = "community.zarvell.example";
// Environment variable that overrides it, e.g. ZARVELL_COMMUNITY_HOST=127.0.0.1:8080.
inline constexpr const char* kCommunityHostVariable = "ZARVELL_COMMUNITY_HOST";
// Port used when the host value names none.
inline constexpr int kDefaultCommunityPort = 80;

// A service address split into its parts.
struct ServiceHost {
  std::string host;  // name or IPv4 address; an IPv6 address keeps its brackets
  int port = kDefaultCommunityPort;
};

// Parses "host", "host:port", "[v6]" or "[v6]:port". A missing, empty or out-of-range port
// gives the default port. Returns the parsed value; never throws beyond std::bad_alloc.
ServiceHost parseServiceHost(const std::string& value, int defaultPort);

// The community server: the environment variable when it is set and not empty, else the
// build-time default. Read afresh on every call (each connection opening asks once).
ServiceHost communityHost();

}  // namespace sonalyx
