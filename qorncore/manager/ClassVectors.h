// Class vectors (CVs): a song's mood profile, one value per HLC model (a libsvm model over
// some of the 72 normalised features), and the HLC model list "hlcinfo" that names them.
//
// The list is a text file in the models folder. Each line that begins with "model" is split
// at spaces and commas: the second token names the model file (in the same folder), the
// following tokens are the 1-based feature indexes (1 to 72; other numbers are ignored) the
// model reads; a line without indexes reads all 72.
//
// CVs live for one inference run, keyed by song md5. After normalising, an entry of 0.5 or
// more has become its square root and a smaller one its square, so a CV without any entry of
// 0.5 or more says nothing about the song and compares as "unknown".
//
// Single-threaded. Nothing here throws except std::bad_alloc; failures are log lines
// (source "qorncore/manager/qornManagerSVM") and empty results.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qorn {

struct HlcEntry {
  std::string path;          // the model file
  std::vector<int> indexes;  // 1-based feature indexes, in the order the model reads them
  std::string line;          // the list line it came from
};

// The models folder of a model path: everything up to and including its last "/"; "" (the
// current folder) for a path without one.
std::string modelsFolder(const std::string& modelPath);

// Reads the HLC list "hlcinfo" in `folder` (which ends in "/" or is empty); nothing when the
// file cannot be read. Logs each model found (INFO) and its index choice (WARN).
std::optional<std::vector<HlcEntry>> readHlcInfo(const std::string& folder);

using ClassVector = std::vector<float>;

class ClassVectorStore {
 public:
  // The CV of an md5, or nullptr.
  const ClassVector* find(std::string_view md5) const;
  ClassVector& entry(const std::string& md5) { return byMd5_[md5]; }
  std::size_t size() const { return byMd5_.size(); }
  bool empty() const { return byMd5_.empty(); }
  void clear() { byMd5_.clear(); }

  // Square root of every entry of 0.5 or more, square of every smaller one; logs the number
  // of CVs without an entry of 0.5 or more. Returns that number.
  std::size_t normalise();

  // 1 for CVs of different lengths (logged) or CVs that both lack an entry of 0.5 or more;
  // otherwise 1 - e^(-D), D their Euclidean distance.
  static float distance(const ClassVector& a, const ClassVector& b);
  // 1 - distance when both songs have a non-empty CV, else 0.
  float similarity(std::string_view md5A, std::string_view md5B) const;

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, ClassVector, Hash, std::equal_to<>> byMd5_;
};

}  // namespace qorn
