// The player's own log, "zarvell.log" in the current (data) folder: a rolling file
// (5 backups, flushed after every line) with a TTCC layout in local time, attached to the
// log4cplus root logger at the debug level. The engine attaches its own log beside it.
//
// Called on the interface thread at start-up and exit. Nothing here throws: logging is an
// aid, never a reason to fail.
#pragma once

#include <string_view>

namespace zarvell {

void setUpAppLogging(bool debugMode);
// Removes every appender (closing the log files); lines after it are dropped.
void shutDownAppLogging();

enum class AppLogLevel { Debug, Info, Warn, Error };
// One line of the player's own code to the root logger.
void appLog(AppLogLevel level, std::string_view message);

}  // namespace zarvell
