// The library-wide normaliser table: one normaliser per feature, keyed by feature name,
// filled at engine start from the normaliser file "networks/normf.xml" (or from the
// normaliser section of a features XML file). Complete when it holds all 72.
//
// Only the 72 known feature names are accepted; entries are held by feature position so
// normalising a set needs no name look-ups. Single-threaded (the engine's thread); nothing
// here throws except std::bad_alloc.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "qorncore/manager/features/FeatureSet.h"
#include "qorncore/manager/features/Normaliser.h"

namespace qorn {

class NormaliserTable {
 public:
  // Adds or replaces the normaliser of its feature. A name that is not one of the 72
  // features writes the console warning of the name index and is refused (false).
  bool add(Normaliser normaliser);
  const Normaliser* find(std::string_view featureName) const;
  // The normaliser of feature position 0..71, or nullptr.
  const Normaliser* at(int position) const;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool complete() const { return count_ == static_cast<std::size_t>(kFeatureCount); }
  void clear();

  // The version and scrambling of the section the normalisers came from ("1.0", plain by
  // default); a features XML file written later keeps them.
  const std::string& version() const { return version_; }
  void setVersion(std::string version) { version_ = std::move(version); }
  bool scrambled() const { return scrambled_; }
  void setScrambled(bool scrambled) { scrambled_ = scrambled; }

  // The normaliser section in feature order:
  //   <normalisation version="V" s="0" >\n
  //   <normf name="..." type="..." mean="..." ... q0_875="..." />\n   (one per normaliser)
  //   </normalisation>\n
  // Scrambled (s="1"), the name attribute is hidden among the scrambled attributes and the
  // element order gives the feature (NormaliserScramble.h). `letter` draws the prefix
  // letters of scrambled names (C rand() by default). An incomplete table is always written
  // plain, since its element order could not name the features.
  std::string sectionText(bool scrambled, const std::function<char()>& letter = {}) const;

 private:
  std::array<std::optional<Normaliser>, kFeatureCount> byPosition_;
  std::size_t count_ = 0;
  std::string version_ = "1.0";
  bool scrambled_ = false;
};

// The one table of the engine library.
NormaliserTable& normaliserTable();

// Engine start: fills the library-wide table from the normaliser file at `path` (replacing
// what it held). A file that cannot be read reports error 2 ("File normf.xml is missing.");
// a parse error reports error 4. True when the file was read; the table may still be
// incomplete (check normaliserTable().complete()).
bool loadNormaliserTable(const std::string& path);
// The same for the shipped file: "networks/normf.xml" in the data folder when present
// there, else in the program folder.
bool loadNormaliserTable();
// That location.
std::string normaliserFilePath();

}  // namespace qorn
