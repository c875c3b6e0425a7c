// The engine console: runs a script of engine commands, one per line, against one engine,
// printing one result line per command. A tool for inspecting and scripting a network
// without the player, and the vehicle of the engine's scenario tests.
//
// Grammar (one command per line; words separated by blanks):
//   # comment            blank lines and lines starting with "#" are skipped
//   "text with blanks"   a quoted word; \" \\ \t \n \xHH escapes inside quotes
//   NODE                 a node id (e.g. 12), or "-" for a null node
//   NODES                comma-separated node ids ("1,2,3"), "-" for a null list, "[]" empty
// Every line prints "<command> <args...> => <result>"; an error prints
// "<command> ... => error: <why>" and the script goes on (the exit status becomes 1).
// Results: a node prints as its id ("#12") or "null"; a node list as "[#1 #2]"; a text in
// double quotes with the same escapes; numbers in C++ stream formatting.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "IQornManager.h"

namespace qorn {
class qornManager;
}

namespace kalvoret {

// A command's failure with a message for the user (bad arguments, unknown node).
struct CommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What a command works on: the manager (every command calls exported methods on it) and
// the engine behind it (only the network-building commands touch it directly).
class Session {
 public:
  explicit Session(IQornManager& manager);
  IQornManager& manager() { return manager_; }
  qorn::qornManager& engine();

  // Argument parsing; each throws CommandError with a clear message.
  Node* node(const std::string& word);  // an id of an existing node, or "-" for null
  std::vector<Node*> nodes(const std::string& word);
  static int integer(const std::string& word);
  static float number(const std::string& word);
  static bool boolean(const std::string& word);  // 1/0, true/false, on/off

  // Result formatting.
  static std::string show(const Node* node);
  static std::string show(const std::vector<Node*>& nodes);
  static std::string show(Node** nodes, int count);
  static std::string quote(const std::string& text);

 private:
  IQornManager& manager_;
};

using Args = std::vector<std::string>;
// A command returns its result text; it throws CommandError for bad input.
using Command = std::function<std::string(Session&, const Args&)>;

struct CommandInfo {
  std::string usage;  // e.g. "getNodeName NODE"
  std::size_t minArgs;
  std::size_t maxArgs;
  Command run;
};

using CommandTable = std::map<std::string, CommandInfo>;

// Each area of the engine adds its commands.
void registerNetworkBuildCommands(CommandTable& table);  // song, album, artist, ...
void registerNodeCommands(CommandTable& table);          // node queries, log output
void registerEngineCommands(CommandTable& table);        // play events, selection, lists
void registerFileCommands(CommandTable& table);          // load, save

CommandTable allCommands();

// Splits a line into words (quotes and escapes as above). Throws CommandError.
Args splitLine(const std::string& line);

// Runs every line of the script; returns the number of failed commands.
int runScript(Session& session, const CommandTable& table, std::istream& in, std::ostream& out);

}  // namespace kalvoret
