// The player's command-line switches. The command line is searched, upper-cased, for the
// switch texts anywhere in it: position, separators and case do not matter ("-web",
// "x-DEBUGy" both count). Pure functions; nothing throws except std::bad_alloc.
#pragma once

#include <string>
#include <string_view>

namespace zarvell {

struct AppSwitches {
  bool debug = false;  // "-DEBUG": debug menus, views and settings pages
  bool web = false;    // "-WEB": the community service
};

AppSwitches parseSwitches(std::string_view commandLine);

// The command line as one text: the arguments after the program name joined by spaces.
std::string joinCommandLine(int argc, const char* const* argv);

}  // namespace zarvell
