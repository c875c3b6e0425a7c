// kalvoret: the engine console. Usage: kalvoret [SCRIPT]   (standard input without one)
// Runs in the data folder (like the player), so relative paths resolve there.
#include <fstream>
#include <iostream>

#include "Console.h"
#include "zarvell/paths.h"

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && std::string(argv[1]) == "--help")) {
    std::cerr << "usage: kalvoret [SCRIPT]\n"
                 "Runs engine commands, one per line, from SCRIPT or standard input.\n";
    return 2;
  }
  std::ifstream file;
  if (argc == 2) {
    file.open(argv[1]);
    if (!file) {
      std::cerr << "kalvoret: cannot open " << argv[1] << "\n";
      return 2;
    }
  }
  if (!zarvell::enterDataFolder()) {
    std::cerr << "kalvoret: no usable data folder (set ZARVELL_HOME)\n";
    return 2;
  }
  IQornManager manager(false, nullptr);
  kalvoret::Session session(manager);
  const kalvoret::CommandTable table = kalvoret::allCommands();
  const int failures = kalvoret::runScript(session, table, argc == 2 ? file : std::cin, std::cout);
  return failures == 0 ? 0 : 1;
}
