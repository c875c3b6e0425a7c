#include "Switches.h"

#include <algorithm>

namespace zarvell {

AppSwitches parseSwitches(std::string_view commandLine) {
  std::string upper(commandLine);
  // ASCII upper-casing: the switches are ASCII, and other bytes must stay as they are.
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : char(c); });
  AppSwitches switches;
  switches.debug = upper.find("-DEBUG") != std::string::npos;
  switches.web = upper.find("-WEB") != std::string::npos;
  return switches;
}

std::string joinCommandLine(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

}  // namespace zarvell
