// A per-feature normaliser: maps one raw feature value into [-1, 1].
//
// Three kinds, fitted to a reference collection and shipped in the normaliser file:
// normal (z-score scaled by 0.8), lognormal (the same on ln v) and quantile (piecewise
// linear through seven quantiles onto the standard normal quantiles). Value type; nothing
// here throws except std::bad_alloc. Failures are log and console lines.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qorn {

enum class NormaliserType : int { Quantile = 0, Normal = 1, Lognormal = 2 };

// Attribute name/value pairs of one "normf" element, in document order.
using AttributeList = std::vector<std::pair<std::string, std::string>>;

class Normaliser {
 public:
  // The nine statistics, in file order.
  enum Stat { kMean, kStddev, kQ0125, kQ025, kQ0375, kMedian, kQ0625, kQ075, kQ0875 };
  static constexpr int kStatCount = 9;
  static const std::array<const char*, kStatCount>& statNames();

  Normaliser() = default;
  Normaliser(std::string featureName, NormaliserType type,
             const std::array<float, kStatCount>& stats);

  // From the attributes of one "normf" element: "name" (feature name), "type" ("normal",
  // "lognormal", anything else quantile) and the nine statistics by name (a missing one
  // reads as 0). Fewer than ten attributes log ERROR. Parameters are prepared.
  static Normaliser fromAttributes(const AttributeList& attributes);

  // The attributes after the feature name: type="..." and the nine statistics, separated
  // by single spaces, e.g. type="normal" mean="10" stddev="2" q0_125="0" ...
  std::string attributesText() const;
  // The same pairs, unformatted (for the scrambled writer).
  AttributeList attributes() const;

  // The value mapped into [-1, 1]; an undefined (NaN) value stays undefined.
  float normalise(float value) const;

  const std::string& featureName() const { return featureName_; }
  void setFeatureName(std::string name) { featureName_ = std::move(name); }
  NormaliserType type() const { return type_; }
  static const char* typeName(NormaliserType type);
  float stat(Stat s) const { return stats_[s]; }
  float parameter(int i) const { return params_[static_cast<std::size_t>(i)]; }

 private:
  // Derives the parameters from the statistics (logs illegal lognormal statistics).
  void prepare();

  std::array<float, 6> params_{};
  std::array<float, kStatCount> stats_{};
  NormaliserType type_ = NormaliserType::Quantile;
  std::string featureName_;
};

}  // namespace qorn
