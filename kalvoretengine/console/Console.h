// The engine console: runs a script of engine commands, one per line, against one engine,
// printing one result line per command. A tool for inspecting and scripting a network
// without the player, and the vehicle of the engine's scenario tests.
//
// Grammar (one command per line; words separated by blanks):
//   # comment            blank lines and lines starting with "#" are skipped
//   "text with blanks"   a quoted word; \" \\ \t \n \xHH escapes inside quotes
//   NODE                 a node id (e.g. 12), or "-" for a null node
//   NODES                comma-separated node ids ("1,2,3"), "-" for a null list, "[]" empty
//   PATH                 a file; a relative one resolves against the folder the console
//                        was started in (not the data folder), and results show it whole
// Every line prints exactly one line "<command> <args...> => <result>" on the output
// stream; an error prints "<command> ... => error: <why>" and the script goes on (the
// exit status becomes 1). The engine's own console lines go elsewhere (the program sends
// them to standard error). Results: a node prints as its id ("#12") or "null"; a node list
// as "[#1 #2]"; a text in double quotes with the same escapes; numbers in C++ stream
// formatting.
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
  // startFolder: where relative paths resolve ("" for the current directory now).
  explicit Session(IQornManager& manager, const std::string& startFolder = "");
  IQornManager& manager() { return manager_; }
  qorn::qornManager& engine();

  // Argument parsing; each throws CommandError with a clear message.
  Node* node(const std::string& word);  // an id of an existing node, or "-" for null
  std::vector<Node*> nodes(const std::string& word);
  static int integer(const std::string& word);
  static float number(const std::string& word);
  static bool boolean(const std::string& word);  // 1/0, true/false, on/off
  // A file path made absolute against the start folder (lexically normalised).
  std::string path(const std::string& word) const;

  // Result formatting.
  static std::string show(const Node* node);
  static std::string show(const std::vector<Node*>& nodes);
  static std::string show(Node** nodes, int count);
  static std::string quote(const std::string& text);

 private:
  IQornManager& manager_;
  std::string startFolder_;
};

using Args = std::vector<std::string>;
// A command returns its result text; it throws CommandError for bad input.
using Command = std::function<std::string(Session&, const Args&)>;

struct CommandInfo {
  std::string usage;  // e.g. "getNodeName NODE"; starts with the command's name
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
void registerImportCommands(CommandTable& table);        // importFiles, importFolder

// The console's import progress: one line per report on its stream ("progress 1/4 2/3
// Scanning meta data: /music/a.mp3"); never cancels. Called on the console's thread.
class ProgressPrinter : public IQornManagerCallback {
 public:
  explicit ProgressPrinter(std::ostream& out) : out_(&out) {}
  bool progress(ProgressInfo* info) override;

 private:
  std::ostream* out_;
};
void registerInferenceCommands(CommandTable& table);     // similarity, inferLinks

// Every command, "help" included.
CommandTable allCommands();

// The command closest to `word` (edit distance, ignoring case; ties go to the shorter
// name), or "" when none is close enough to be a plausible typo.
std::string closestCommand(const CommandTable& table, const std::string& word);
// "unknown command 'WORD'", with "; did you mean 'NAME'?" when one is close.
std::string unknownCommand(const CommandTable& table, const std::string& word);

// Splits a line into words (quotes and escapes as above). Throws CommandError.
Args splitLine(const std::string& line);

// Runs every line of the script; returns the number of failed commands.
int runScript(Session& session, const CommandTable& table, std::istream& in, std::ostream& out);

}  // namespace kalvoret
