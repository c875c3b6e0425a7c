// Where Zarvell's files live.
//
// The program folder holds what ships (modules, audio plug-ins, skins, models, the default
// normaliser file) and is never written. The data folder holds everything the program
// writes: the network, the feature store, settings and logs. Functions here never throw.
#pragma once

#include <string>

namespace zarvell {

// Folder of the running executable, from /proc/self/exe, without a trailing "/".
// $ZARVELL_PROGRAM_DIR overrides it (tests run engine code from test executables that do
// not live in the program folder). Empty when neither can be determined.
std::string programFolder();

// The data folder: $ZARVELL_HOME when set; otherwise the program folder when it is
// writable and not installed (an installed one holds the file ".installed"); otherwise
// $XDG_DATA_HOME/zarvell (default ~/.local/share/zarvell). The folder is created when
// missing. Empty when no folder could be found or created.
std::string dataFolder();

// Makes the data folder the current directory, so relative paths that the program writes
// ("networks/default.xml", "kalvoret.log", ...) resolve there. False on failure.
bool enterDataFolder();

// Path of a shipped file that a user may override: <data folder>/<relative> when that file
// exists, else <program folder>/<relative>.
std::string findDataFile(const std::string& relative);

// Creates the folder and its parents (like mkdir -p). True when the folder exists after.
bool makeFolders(const std::string& path);

}  // namespace zarvell
