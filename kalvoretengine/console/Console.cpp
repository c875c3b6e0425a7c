#include "Console.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
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

Session::Session(IQornManager& manager, const std::string& startFolder)
    : manager_(manager), startFolder_(startFolder) {
  if (startFolder_.empty()) {
    std::error_code error;
    startFolder_ = std::filesystem::current_path(error).string();
  }
}

std::string Session::path(const std::string& word) const {
  if (word.empty()) throw CommandError("empty path");
  std::filesystem::path p(word);
  if (p.is_relative()) p = std::filesystem::path(startFolder_) / p;
  return p.lexically_normal().string();
}

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

namespace {

std::string lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// `help` alone: every usage line, in name order, joined into one result line.
std::string helpResult(const CommandTable& table, const Args& a) {
  if (a.empty()) {
    std::string out;
    for (const auto& [name, info] : table) {
      if (!out.empty()) out += "; ";
      out += info.usage;
    }
    return out;
  }
  auto it = table.find(a[0]);
  if (it == table.end()) throw CommandError(unknownCommand(table, a[0]));
  return it->second.usage;
}

}  // namespace

std::string closestCommand(const CommandTable& table, const std::string& word) {
  const std::string typed = lower(word);
  // A typo changes a few letters; a word that shares little with every name gets none,
  // unless it is part of a name ("play" in "onPlay", "pickNext" in "pickNextNode").
  const std::size_t allowed = std::max<std::size_t>(2, typed.size() / 3);
  std::string best;
  std::size_t bestDistance = 0;
  for (const auto& entry : table) {
    const std::string& name = entry.first;
    const std::string folded = lower(name);
    const std::size_t d = editDistance(typed, folded);
    const bool part = typed.size() >= 3 && folded.find(typed) != std::string::npos;
    if (d > allowed && !part) continue;
    if (best.empty() || d < bestDistance || (d == bestDistance && name.size() < best.size())) {
      best = name;
      bestDistance = d;
    }
  }
  return best;
}

std::string unknownCommand(const CommandTable& table, const std::string& word) {
  std::string text = "unknown command '" + word + "'";
  const std::string close = closestCommand(table, word);
  if (!close.empty()) text += "; did you mean '" + close + "'?";
  return text;
}

CommandTable allCommands() {
  CommandTable table;
  registerNetworkBuildCommands(table);
  registerNodeCommands(table);
  registerEngineCommands(table);
  registerFileCommands(table);
  registerImportCommands(table);
  registerInferenceCommands(table);
  // The table is complete before help captures it: help lists every command, itself too.
  table["help"] = {"help [COMMAND]", 0, 1, nullptr};
  table["help"].run = [listing = table](Session&, const Args& a) { return helpResult(listing, a); };
  return table;
}

namespace {

std::string runLine(Session& session, const CommandTable& table, const Args& words,
                    bool& failed) {
  failed = false;
  auto it = table.find(words[0]);
  try {
    if (it == table.end()) throw CommandError(unknownCommand(table, words[0]));
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
