#include "DeploymentHosts.h"

#include <cstdlib>

namespace sonalyx {

ServiceHost parseServiceHost(const std::string& value, int defaultPort) {
  ServiceHost out;
  out.port = defaultPort;
  std::size_t colon = std::string::npos;
  if (!value.empty() && value.front() == '[') {
    const std::size_t close = value.find(']');
    if (close != std::string::npos && close + 1 < value.size() && value[close + 1] == ':')
      colon = close + 1;
  } else {
    colon = value.rfind(':');
  }
  out.host = value.substr(0, colon);
  if (colon == std::string::npos) return out;
  const std::string port = value.substr(colon + 1);
  long number = 0;
  bool digits = !port.empty() && port.size() <= 5;
  for (char c : port) {
    if (c < '0' || c > '9') digits = false;
  }
  if (digits) number = std::strtol(port.c_str(), nullptr, 10);
  if (digits && number >= 1 && number <= 65535) out.port = static_cast<int>(number);
  return out;
}

ServiceHost communityHost() {
  const char* value = std::getenv(kCommunityHostVariable);
  const std::string text = (value && *value) ? value : kDefaultCommunityHost;
  return parseServiceHost(text, kDefaultCommunityPort);
}

}  // namespace sonalyx
