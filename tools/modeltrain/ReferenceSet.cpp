#include "ReferenceSet.h"

#include <bit>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qorn::reference {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

std::string trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

bool parseNumber(const std::string& text, double& out) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  std::istringstream in(t);
  in.imbue(std::locale::classic());
  in >> out;
  return !in.fail() && in.eof();
}

}  // namespace

bool readArff(const std::string& path, Collection& out, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  out = {};
  std::vector<std::string> numeric;
  std::string line;
  bool data = false;
  std::size_t lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    const std::string t = trim(line);
    if (t.empty() || t[0] == '%') continue;
    if (!data) {
      const std::string l = lower(t);
      if (l.rfind("@attribute", 0) == 0) {
        std::istringstream words(t.substr(10));
        std::string name, kind;
        words >> name >> kind;
        if (lower(kind) == "numeric" || lower(kind) == "real") {
          if (!out.labelNames.empty()) {
            error = "numeric attribute after the labels: " + name;
            return false;
          }
          numeric.push_back(name);
        } else {
          out.labelNames.push_back(name);
        }
      } else if (l.rfind("@data", 0) == 0) {
        data = true;
        if (numeric.size() != static_cast<std::size_t>(kFeatureCount)) {
          error = "expected 72 numeric attributes, found " + std::to_string(numeric.size());
          return false;
        }
        for (int i = 0; i < kFeatureCount; ++i) {
          if (numeric[static_cast<std::size_t>(i)] != getFeatureName(i)) {
            error = "attribute " + std::to_string(i) + " is " + numeric[static_cast<std::size_t>(i)] +
                    ", expected " + getFeatureName(i);
            return false;
          }
        }
        if (out.labelNames.empty() || out.labelNames.size() > 32) {
          error = "expected 1 to 32 label attributes";
          return false;
        }
      }
      continue;
    }
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream row(t);
    while (std::getline(row, cell, ',')) cells.push_back(cell);
    if (cells.size() != static_cast<std::size_t>(kFeatureCount) + out.labelNames.size()) {
      error = "line " + std::to_string(lineNo) + ": " + std::to_string(cells.size()) + " values";
      return false;
    }
    Song s;
    s.row = out.songs.size();
    for (std::size_t i = 0; i < cells.size(); ++i) {
      double v = 0;
      if (!parseNumber(cells[i], v)) {
        error = "line " + std::to_string(lineNo) + ": not a number: " + cells[i];
        return false;
      }
      if (i < static_cast<std::size_t>(kFeatureCount)) {
        s.features[i] = static_cast<float>(v);
      } else if (v == 1.0) {
        s.labels |= 1u << (i - kFeatureCount);
      } else if (v != 0.0) {
        error = "line " + std::to_string(lineNo) + ": label value " + cells[i];
        return false;
      }
    }
    out.songs.push_back(s);
  }
  if (!data || out.songs.empty()) {
    error = "no data in " + path;
    return false;
  }
  return true;
}

std::vector<Song> trainingPart(const Collection& c) {
  std::vector<Song> out;
  for (const Song& s : c.songs)
    if (!isHeldOut(s)) out.push_back(s);
  return out;
}

std::vector<Song> heldOutPart(const Collection& c) {
  std::vector<Song> out;
  for (const Song& s : c.songs)
    if (isHeldOut(s)) out.push_back(s);
  return out;
}

double jaccard(uint32_t a, uint32_t b) {
  const int u = std::popcount(a | b);
  return u == 0 ? 0.0 : static_cast<double>(std::popcount(a & b)) / u;
}

}  // namespace qorn::reference
