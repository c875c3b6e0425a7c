// kalvoret: the engine console. Usage: kalvoret [--help|-h] [--version] [SCRIPT]
//
// Runs engine commands, one per line, from SCRIPT or standard input. Standard output holds
// exactly one result line per command; the engine's own console lines go to standard
// error. The program works in the data folder (like the player), but SCRIPT and relative
// paths inside it resolve against the folder it was started in. Exit status: 0 when every
// command succeeded, 1 when one failed, 2 for bad options or an unusable start.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "Console.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "zarvell/paths.h"

#ifndef ZARVELL_VERSION
#define ZARVELL_VERSION "unknown"
#endif

namespace {

void printUsage(std::ostream& out, const kalvoret::CommandTable& table) {
  out << "usage: kalvoret [--help|-h] [--version] [SCRIPT]\n"
         "Runs engine commands, one per line, from SCRIPT or standard input, and prints one\n"
         "result line per command (\"COMMAND ARGS => RESULT\") on standard output; engine\n"
         "messages go to standard error. Relative paths resolve against the current folder.\n"
         "Exit status: 0 all commands succeeded, 1 a command failed, 2 bad usage.\n"
         "\n"
         "Commands:\n";
  for (const auto& entry : table) out << "  " << entry.second.usage << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  const kalvoret::CommandTable table = kalvoret::allCommands();
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      printUsage(std::cout, table);
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kalvoret (Zarvell) " << ZARVELL_VERSION << "\n";
      return 0;
    }
    if ((arg.size() > 1 && arg[0] == '-') || !script.empty()) {
      std::cerr << "kalvoret: unexpected argument '" << arg << "'\n"
                << "usage: kalvoret [--help|-h] [--version] [SCRIPT]\n";
      return 2;
    }
    script = arg;
  }

  std::error_code error;
  const std::string startFolder = std::filesystem::current_path(error).string();
  std::ifstream file;
  if (!script.empty()) {
    file.open(script);
    if (!file) {
      std::cerr << "kalvoret: cannot open " << script << "\n";
      return 2;
    }
  }
  if (!zarvell::enterDataFolder()) {
    std::cerr << "kalvoret: no usable data folder (set ZARVELL_HOME)\n";
    return 2;
  }
  qorn::ScopedEngineConsole console(std::cerr);
  kalvoret::ProgressPrinter progress(std::cerr);
  IQornManager manager(false, &progress);
  kalvoret::Session session(manager, startFolder);
  const int failures =
      kalvoret::runScript(session, table, script.empty() ? std::cin : file, std::cout);
  return failures == 0 ? 0 : 1;
}
