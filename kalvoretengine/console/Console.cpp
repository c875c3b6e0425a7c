#include "Console.h"

#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

#include "IQornManagerAccess.h"

namespace kalvoret {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the escape after a backslash at line[i]; returns the byte and advances i.
char readEscape(const std::string& line, std::size_t& i) {
  if (i + 1 >= line.size()) throw CommandError("backslash at the end of the line");
  const char c = line[++i];
  switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'r': return '\r';
    case '"': return '"';
    case '\\': return '\\';
    case 'x': {
      if (i + 2 >= line.size() || hexDigit(line[i + 1]) < 0 || hexDigit(line[i + 2]) < 0)
        throw CommandError("\\x needs two hexadecimal digits");
      const char byte = static_cast<char>(hexDigit(line[i + 1]) * 16 + hexDigit(line[i + 2]));
      i += 2;
      return byte;
    }
    default: throw CommandError(std::string("unknown escape \\") + c);
  }
}

}  // namespace

Session::Session(IQornManager& manager) : manager_(manager) {}

qorn::qornManager& Session::engine() {
  qorn::qornManager* engine = IQornManagerAccess::engine(manager_);
  if (!engine) throw CommandError("the engine could not be created");
  return *engine;
}

Node* Session::node(const std::string& word) {
  if (word == "-") return nullptr;
  const int id = integer(word);
  Node* found = engine().nodes().find(id);
  if (!found) throw CommandError("no node with id " + word);
  return found;
}

std::vector<Node*> Session::nodes(const std::string& word) {
  std::vector<Node*> list;
  if (word == "[]" || word.empty()) return list;
  std::stringstream in(word);
  std::string part;
  while (std::getline(in, part, ',')) list.push_back(node(part));
  return list;
}

int Session::integer(const std::string& word) {
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(word, &used, 0);
  } catch (...) {
    used = 0;
  }
  if (used == 0 || used != word.size()) throw CommandError("not an integer: " + word);
  return value;
}

float Session::number(const std::string& word) {
  std::size_t used = 0;
  float value = 0;
  try {
    value = std::stof(word, &used);
  } catch (...) {
    used = 0;
  }
  if (used == 0 || used != word.size()) throw CommandError("not a number: " + word);
  return value;
}

bool Session::boolean(const std::string& word) {
  if (word == "1" || word == "true" || word == "on") return true;
  if (word == "0" || word == "false" || word == "off") return false;
  throw CommandError("not a boolean (1/0, true/false, on/off): " + word);
}

std::string Session::show(const Node* node) {
  return node ? "#" + std::to_string(node->id) : "null";
}

std::string Session::show(const std::vector<Node*>& nodes) {
  return show(const_cast<Node**>(nodes.data()), static_cast<int>(nodes.size()));
}

std::string Session::show(Node** nodes, int count) {
  std::string out = "[";
  for (int i = 0; i < count && nodes; ++i) {
    if (i > 0) out += ' ';
    out += show(nodes[i]);
  }
  return out + "]";
}

std::string Session::quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

Args splitLine(const std::string& line) {
  Args words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r'))) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else if (quoted && line[i] == '\\') {
        word += readEscape(line, i);
      } else {
        word += line[i];
      }
      ++i;
    }
    if (quoted) throw CommandError("unterminated quote");
    words.push_back(std::move(word));
  }
  return words;
}

CommandTable allCommands() {
  CommandTable table;
  registerNetworkBuildCommands(table);
  registerNodeCommands(table);
  registerEngineCommands(table);
  registerFileCommands(table);
  table["help"] = {"help", 0, 0, [](Session&, const Args&) -> std::string {
                     return "one command per line; see the README for the grammar";
                   }};
  return table;
}

namespace {

std::string runLine(Session& session, const CommandTable& table, const Args& words,
                    bool& failed) {
  failed = false;
  auto it = table.find(words[0]);
  try {
    if (it == table.end()) throw CommandError("unknown command");
    const std::size_t n = words.size() - 1;
    if (n < it->second.minArgs || n > it->second.maxArgs)
      throw CommandError("usage: " + it->second.usage);
    return it->second.run(session, Args(words.begin() + 1, words.end()));
  } catch (const std::exception& e) {
    failed = true;
    return std::string("error: ") + e.what();
  }
}

}  // namespace

int runScript(Session& session, const CommandTable& table, std::istream& in, std::ostream& out) {
  int failures = 0;
  std::string line;
  while (std::getline(in, line)) {
    Args words;
    std::string result;
    bool failed = false;
    try {
      words = splitLine(line);
    } catch (const CommandError& e) {
      out << line << " => error: " << e.what() << '\n';
      ++failures;
      continue;
    }
    if (words.empty() || words[0].front() == '#') continue;
    result = runLine(session, table, words, failed);
    if (failed) ++failures;
    std::string echo = words[0];
    for (std::size_t i = 1; i < words.size(); ++i) {
      const bool plain = !words[i].empty() && words[i].find_first_of(" \t\"\\") == std::string::npos;
      echo += ' ';
      echo += plain ? words[i] : Session::quote(words[i]);
    }
    out << echo << " => " << result << '\n';
  }
  return failures;
}

}  // namespace kalvoret
