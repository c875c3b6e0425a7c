#include "ClassVectors.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/manager/features/FeatureSet.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManagerSVM";

std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> out;
  std::string current;
  for (char c : line) {
    if (c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n') {
      if (!current.empty()) out.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) out.push_back(std::move(current));
  return out;
}

// A whole-number token in 1..72, else nothing.
std::optional<int> featureIndex(const std::string& token) {
  if (token.empty() || token.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kFeatureCount) return std::nullopt;
  return value;
}

float largest(const ClassVector& v) {
  return v.empty() ? 0.0f : *std::max_element(v.begin(), v.end());
}

}  // namespace

std::string modelsFolder(const std::string& modelPath) {
  const std::size_t slash = modelPath.rfind('/');
  return slash == std::string::npos ? std::string() : modelPath.substr(0, slash + 1);
}

std::optional<std::vector<HlcEntry>> readHlcInfo(const std::string& folder) {
  std::ifstream in(folder + "hlcinfo");
  if (!in) return std::nullopt;
  std::vector<HlcEntry> out;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("model", 0) != 0) continue;
    const std::vector<std::string> t = tokens(line);
    if (t.size() < 2) continue;
    HlcEntry e;
    e.path = folder + t[1];
    e.line = line;
    for (std::size_t i = 2; i < t.size(); ++i)
      if (auto index = featureIndex(t[i])) e.indexes.push_back(*index);
    if (e.indexes.empty()) {
      QORN_LOG(Warn, kSource, "no indexes specified, using all indexes");
      for (int i = 1; i <= kFeatureCount; ++i) e.indexes.push_back(i);
    } else {
      QORN_LOG(Warn, kSource, " using " + std::to_string(e.indexes.size()) + " indexes");
    }
    QORN_LOG(Info, kSource, "found HLC model " + e.path + " " + line);
    out.push_back(std::move(e));
  }
  return out;
}

const ClassVector* ClassVectorStore::find(std::string_view md5) const {
  auto it = byMd5_.find(md5);
  return it == byMd5_.end() ? nullptr : &it->second;
}

std::size_t ClassVectorStore::normalise() {
  QORN_LOG(Info, kSource, "normalising CVs");
  std::size_t insufficient = 0;
  for (auto& [md5, cv] : byMd5_) {
    bool any = false;
    for (float& v : cv) {
      if (v >= 0.5f) {
        v = std::sqrt(v);
        any = true;
      } else {
        v = v * v;
      }
    }
    insufficient += any ? 0 : 1;
  }
  QORN_LOG(Debug, kSource, std::to_string(insufficient) + " insufficient cv entries");
  return insufficient;
}

float ClassVectorStore::distance(const ClassVector& a, const ClassVector& b) {
  if (a.size() != b.size()) {
    QORN_LOG(Error, kSource,
             "incosistent CV sizes: " + std::to_string(a.size()) + ":" + std::to_string(b.size()));
    return 1.0f;
  }
  if (largest(a) < 0.5f && largest(b) < 0.5f) return 1.0f;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  return static_cast<float>(1.0 - std::exp(-std::sqrt(sum)));
}

float ClassVectorStore::similarity(std::string_view md5A, std::string_view md5B) const {
  const ClassVector* a = find(md5A);
  const ClassVector* b = find(md5B);
  if (a == nullptr || b == nullptr || a->empty() || b->empty()) return 0.0f;
  return 1.0f - distance(*a, *b);
}

}  // namespace qorn
