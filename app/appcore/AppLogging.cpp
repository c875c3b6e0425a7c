#include "AppLogging.h"

#include <log4cplus/fileappender.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>
#include <log4cplus/loglevel.h>

#include <memory>
#include <string>

namespace zarvell {
namespace {

// The log rolls at the smallest size log4cplus accepts (it resets smaller sizes to 200 KiB
// with a warning on standard error).
constexpr long kMaxFileSize = 200 * 1024;

log4cplus::LogLevel toLog4cplus(AppLogLevel level) {
  switch (level) {
    case AppLogLevel::Debug: return log4cplus::DEBUG_LOG_LEVEL;
    case AppLogLevel::Info: return log4cplus::INFO_LOG_LEVEL;
    case AppLogLevel::Warn: return log4cplus::WARN_LOG_LEVEL;
    case AppLogLevel::Error: return log4cplus::ERROR_LOG_LEVEL;
  }
  return log4cplus::DEBUG_LOG_LEVEL;
}

}  // namespace

void setUpAppLogging(bool debugMode) {
  try {
    log4cplus::initialize();
    log4cplus::SharedAppenderPtr appender(new log4cplus::RollingFileAppender(
        LOG4CPLUS_TEXT("zarvell.log"), kMaxFileSize, 5, /*immediateFlush=*/true));
    appender->setName(LOG4CPLUS_TEXT("First"));
    appender->setLayout(std::make_unique<log4cplus::TTCCLayout>(/*use_gmtime=*/false));
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    root.addAppender(appender);
    root.setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
    if (debugMode) root.setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
  } catch (...) {
  }
}

void shutDownAppLogging() {
  try {
    // Appenders go (their files are closed); log4cplus itself stays initialised, so that a
    // later player object in the same process (tests) can log again.
    log4cplus::Logger::getRoot().removeAllAppenders();
  } catch (...) {
  }
}

void appLog(AppLogLevel level, std::string_view message) {
  try {
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    if (root.isEnabledFor(toLog4cplus(level)))
      root.forcedLog(toLog4cplus(level), LOG4CPLUS_STRING_TO_TSTRING(std::string(message)),
                     "zarvell", 0);
  } catch (...) {
  }
}

}  // namespace zarvell
