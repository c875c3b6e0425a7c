// The deployment values: the shipped defaults, the environment overrides, and the whole
// addresses built on them.
#include "zarvell/deployment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>

namespace {

using zarvell::Service;

// Sets (or, with nullptr, unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { had_ ? ::setenv(name_.c_str(), old_.c_str(), 1) : ::unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

struct AddressCase {
  Service service;
  const char* variable;
  std::function<std::string()> address;
  const char* byDefault;   // with the variable unset
  const char* overridden;  // with the variable set to 127.0.0.1:8081
};

const AddressCase kAddresses[] = {
    {Service::SimilarSongs, "ZARVELL_SIMILAR_HOST", zarvell::similarSongsQueryAddress,
     "http://similar.zarvell.example/cgi-bin/similar.cgi?",
     "http://127.0.0.1:8081/cgi-bin/similar.cgi?"},
    {Service::LinkReport, "ZARVELL_LINKREPORT_HOST", zarvell::linkReportAddress,
     "http://linkreport.zarvell.example:8080/cgi-bin/linkreport.cgi?rm=addlink&referer=addlink",
     "http://127.0.0.1:8081/cgi-bin/linkreport.cgi?rm=addlink&referer=addlink"},
    {Service::HomePage, "ZARVELL_HOMEPAGE_HOST", zarvell::homePageUrl,
     "http://www.zarvell.example/", "http://127.0.0.1:8081/"},
    {Service::VersionFile, "ZARVELL_VERSION_HOST", zarvell::versionFileUrl,
     "http://www.zarvell.example/Zarvell.ver", "http://127.0.0.1:8081/Zarvell.ver"},
    {Service::DownloadPage, "ZARVELL_DOWNLOAD_HOST", zarvell::downloadPageUrl,
     "http://www.zarvell.example/download.html", "http://127.0.0.1:8081/download.html"},
    {Service::SurveyPage, "ZARVELL_SURVEY_HOST", zarvell::surveyPageUrl,
     "http://www.zarvell.example/survey.html", "http://127.0.0.1:8081/survey.html"},
    {Service::ITunesStore, "ZARVELL_ITUNES_STORE_HOST", zarvell::iTunesStoreSearchAddress,
     "itms://itunes-store.example/WebObjects/MZSearch.woa/wa/advancedSearchResults?",
     "itms://127.0.0.1:8081/WebObjects/MZSearch.woa/wa/advancedSearchResults?"},
    {Service::MsnMusic, "ZARVELL_MSN_MUSIC_HOST", zarvell::msnMusicSearchAddress,
     "http://msn-music.example/commerce/default.aspx?",
     "http://127.0.0.1:8081/commerce/default.aspx?"},
};

TEST(Deployment, EachAddressHasItsDefaultAndFollowsOnlyItsOwnVariable) {
  for (const auto& c : kAddresses) {
    SCOPED_TRACE(c.variable);
    EXPECT_STREQ(zarvell::serviceDefault(c.service).variable, c.variable);
    {
      ScopedEnv unset(c.variable, nullptr);
      EXPECT_EQ(c.address(), c.byDefault);
    }
    {
      ScopedEnv empty(c.variable, "");  // an empty value counts as unset
      EXPECT_EQ(c.address(), c.byDefault);
    }
    ScopedEnv set(c.variable, "127.0.0.1:8081");
    EXPECT_EQ(c.address(), c.overridden);
    // No other address moved.
    for (const auto& other : kAddresses) {
      if (other.service == c.service) continue;
      ScopedEnv unsetOther(other.variable, nullptr);
      EXPECT_EQ(other.address(), other.byDefault) << other.variable;
    }
  }
}

TEST(Deployment, EveryServiceHasItsOwnVariableAndAReservedDefaultName) {
  std::set<std::string> variables;
  std::size_t index = 0;
  for (const auto& d : zarvell::serviceDefaults()) {
    EXPECT_EQ(static_cast<std::size_t>(d.service), index++);
    EXPECT_TRUE(variables.insert(d.variable).second) << d.variable;
    EXPECT_EQ(std::string(d.variable).rfind("ZARVELL_", 0), 0u) << d.variable;
    const std::string host = d.host;
    EXPECT_GT(host.size(), 8u);
    EXPECT_EQ(host.substr(host.size() - 8), ".example") << host;
    ScopedEnv unset(d.variable, nullptr);
    EXPECT_EQ(zarvell::serviceHost(d.service).host, host);
    EXPECT_EQ(zarvell::serviceHost(d.service).port, d.port);
  }
  EXPECT_EQ(index, 9u);
}

TEST(Deployment, CommunityHostDefaultsAndOverrides) {
  {
    ScopedEnv unset(zarvell::kCommunityHostVariable, nullptr);
    const zarvell::ServiceHost h = zarvell::communityHost();
    EXPECT_EQ(h.host, "community.zarvell.example");
    EXPECT_EQ(h.port, 80);
  }
  struct Case {
    std::string value, host;
    int port;
  } cases[] = {{"127.0.0.1:8080", "127.0.0.1", 8080},
               {"example.org", "example.org", 80},
               {"[::1]:81", "[::1]", 81},
               {"[::1]", "[::1]", 80},
               {"h:", "h", 80},
               {"h:0", "h", 80},
               {"h:65535", "h", 65535},
               {"h:99999", "h", 80},
               {"h:12x", "h", 80}};
  for (const auto& c : cases) {
    ScopedEnv env(zarvell::kCommunityHostVariable, c.value.c_str());
    const zarvell::ServiceHost h = zarvell::communityHost();
    EXPECT_EQ(h.host, c.host) << c.value;
    EXPECT_EQ(h.port, c.port) << c.value;
  }
}

TEST(Deployment, AuthorityShowsOnlyAPortOtherThan80) {
  EXPECT_EQ(zarvell::parseServiceHost("a.example", 8080).authority(), "a.example:8080");
  EXPECT_EQ(zarvell::parseServiceHost("a.example:80", 8080).authority(), "a.example");
  EXPECT_EQ(zarvell::parseServiceHost("[::1]:9", 80).authority(), "[::1]:9");
}

}  // namespace
