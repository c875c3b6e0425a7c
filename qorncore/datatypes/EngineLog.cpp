#include "EngineLog.h"

#include <log4cplus/fileappender.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>
#include <log4cplus/loglevel.h>

#include <memory>

namespace qorn {
namespace {

// The design rolls the log at 5120 bytes, but log4cplus refuses sizes below 200 KiB (it
// resets them with a warning on standard error), so the library's minimum is used.
constexpr long kMaxFileSize = 200 * 1024;

log4cplus::LogLevel toLog4cplus(LogLevel level) {
  switch (level) {
    case LogLevel::Debug: return log4cplus::DEBUG_LOG_LEVEL;
    case LogLevel::Info: return log4cplus::INFO_LOG_LEVEL;
    case LogLevel::Warn: return log4cplus::WARN_LOG_LEVEL;
    case LogLevel::Error: return log4cplus::ERROR_LOG_LEVEL;
    case LogLevel::Fatal: return log4cplus::FATAL_LOG_LEVEL;
  }
  return log4cplus::DEBUG_LOG_LEVEL;
}

// The appender this module attached, so that reconfiguring replaces only it: the
// application attaches an appender of its own (on its own log file) to the same root
// logger, under the same name, and that one must stay. Touched only by the two functions
// below, which the engine's facade calls from its constructor and destructor.
log4cplus::SharedAppenderPtr& engineAppender() {
  static log4cplus::SharedAppenderPtr appender;
  return appender;
}

}  // namespace

void configureEngineLogging(const std::string& file) {
  try {
    log4cplus::initialize();
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    if (engineAppender()) root.removeAppender(engineAppender());
    engineAppender() = nullptr;
    log4cplus::SharedAppenderPtr appender(new log4cplus::RollingFileAppender(
        LOG4CPLUS_STRING_TO_TSTRING(file), kMaxFileSize, 5, /*immediateFlush=*/true));
    appender->setName(LOG4CPLUS_TEXT("First"));
    appender->setLayout(std::make_unique<log4cplus::TTCCLayout>());
    root.addAppender(appender);
    engineAppender() = appender;
    root.setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
  } catch (...) {
    // Logging is an aid, never a reason to fail: without an appender lines are dropped.
  }
}

void shutdownEngineLogging() {
  try {
    engineAppender() = nullptr;
    log4cplus::Logger::getRoot().removeAllAppenders();
  } catch (...) {
  }
}

bool logEnabled(LogLevel level) {
  try {
    // Lines written while no appender is attached (the engine logs while it is built, before
    // its facade configures logging) are dropped here: log4cplus would complain about them
    // on standard error.
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    return root.isEnabledFor(toLog4cplus(level)) && !root.getAllAppenders().empty();
  } catch (...) {
    return false;
  }
}

void logLine(LogLevel level, const char* source, int line, std::string_view message) {
  try {
    log4cplus::Logger::getRoot().forcedLog(toLog4cplus(level),
                                           LOG4CPLUS_STRING_TO_TSTRING(std::string(message)),
                                           source ? source : "", line);
  } catch (...) {
  }
}

}  // namespace qorn
