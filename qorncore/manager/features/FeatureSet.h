// One song's 72 audio features, the fixed feature-name tables, and the float text form
// shared by the feature files.
//
// The vector order is the same everywhere (analysis results, the binary store, the XML
// files, link inference): positions 0-63 are timbre statistics, 64-71 the beat histogram.
// An undefined value is held as a quiet NaN. Single-threaded like the rest of the engine;
// nothing here throws except std::bad_alloc.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qorn {

class NormaliserTable;

inline constexpr int kFeatureCount = 72;
using FeatureVector = std::array<float, kFeatureCount>;

// Long name of a position, e.g. "Mean_Acc1298_Mean_Mem40_Centroid" for 0. Any index outside
// 0..71 logs FATAL and yields "unkown_feature with idx".
const char* getFeatureName(int index);
// Short name of a position ("M_M_C" ...), or "" outside 0..71.
const char* getShortFeatureName(int index);
// The feature name index: position + 1 of a long name, 0 (with a console warning) for a
// name that is not one of the 72.
int featureNameIndex(std::string_view longName);
// Like featureNameIndex but silent: position 0..71, or -1.
int findFeaturePosition(std::string_view longName);

// The feature files' number texts, independent of the process locale (NumberText.h):
// floatText is formatFloat (six significant digits, no trailing zeros), floatFromText
// leadingFloat (leading blanks skipped; 0 when there is no number), intFromText leadingInt.
std::string floatText(float value);
float floatFromText(std::string_view text);
int intFromText(std::string_view text);

class FeatureSet {
 public:
  // Bytes of a record body in the binary store: 1, 0, 30.0f, 60.0f, 72 floats.
  static constexpr std::size_t kBinaryBodySize = 2 + 4 + 4 + 4 * kFeatureCount;

  FeatureSet() = default;
  explicit FeatureSet(std::vector<float> values);
  virtual ~FeatureSet() = default;
  FeatureSet(const FeatureSet&) = default;
  FeatureSet& operator=(const FeatureSet&) = default;
  FeatureSet(FeatureSet&&) noexcept = default;
  FeatureSet& operator=(FeatureSet&&) noexcept = default;

  const std::vector<float>& values() const { return values_; }
  // Replaces the values and recomputes validity; the set counts as not normalised.
  void setValues(std::vector<float> values);
  // Sets one position (0..71), growing the vector with undefined values when needed.
  void setValue(int position, float value);
  void clear();

  int tempo() const { return tempo_; }
  void setTempo(int tempo) { tempo_ = tempo; }
  int segmentEnd() const { return segmentEnd_; }
  void setSegmentEnd(int end) { segmentEnd_ = end; }
  bool normalised() const { return normalised_; }
  // At least one value is non-zero; an all-zero vector means "no features".
  bool valid() const { return valid_; }
  // 72 values, all defined.
  bool complete() const;
  // The "ul" flag of the features XML: the features were uploaded to the community.
  bool uploaded() const { return uploaded_; }
  void setUploaded(bool uploaded) { uploaded_ = uploaded; }

  // Normalises every value in place with `table` (the library-wide table by default).
  // 1 when done or when there is nothing to do (already normalised, or an invalid set,
  // which is left unchanged), 0 on failure (incomplete set or table; logged).
  int normalise();
  int normalise(const NormaliserTable& table);

  // When the tempo is below 0, derives it from the beat features: BH_HighPeakBPM when it
  // lies in [50, 200], else BH_LowPeakBPM when it lies in (50, 200), cut to an integer;
  // otherwise -1.
  void deriveTempo();

  // Reads a record body (kBinaryBodySize bytes). A first float other than 30.0 clears the
  // set. Returns true when the set then holds exactly 72 values.
  bool readBinaryBody(const unsigned char* body, std::size_t size);
  // Appends the record body to `out`.
  void writeBinaryBody(std::string& out) const;

 private:
  void updateValidity();

  std::vector<float> values_;
  int32_t tempo_ = -1;
  int32_t segmentEnd_ = -1;
  bool normalised_ = false;
  bool valid_ = false;
  bool uploaded_ = false;
};

}  // namespace qorn
