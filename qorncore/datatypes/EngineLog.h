// The engine's logging: every engine log line goes to the log4cplus root logger with the
// source name of the component that wrote it ("qorncore/engine/PlexEngine") and the line.
//
// Only EngineLog.cpp includes log4cplus. Functions here never throw; a line logged while the
// root logger has no appender (before configureEngineLogging() or after the shut-down, and
// no application appender attached) is dropped without a word.
#pragma once

#include <string>
#include <string_view>

namespace qorn {

enum class LogLevel { Debug, Info, Warn, Error, Fatal };

// Attaches the rolling file appender "First" (5120 bytes, 5 backups, flush after every
// event) on `file` to the root logger and sets the root level to DEBUG. Idempotent: a
// second call replaces the appender this module attached; appenders attached by others
// (the player's own log file, also named "First") stay.
void configureEngineLogging(const std::string& file);

// Removes every appender and shuts log4cplus down.
void shutdownEngineLogging();

// True when the root logger would write a line of this level somewhere.
bool logEnabled(LogLevel level);

// Writes one line; `source` is the component's source name, `line` its source line.
void logLine(LogLevel level, const char* source, int line, std::string_view message);

}  // namespace qorn

// QORN_LOG(Warn, "qorncore/datatypes/qornstring", "skipped ctrl char" + std::to_string(b));
#define QORN_LOG(level, source, message)                                  \
  do {                                                                    \
    if (::qorn::logEnabled(::qorn::LogLevel::level))                      \
      ::qorn::logLine(::qorn::LogLevel::level, source, __LINE__, message); \
  } while (0)
