#include "qorncore/manager/features/FeatureSet.h"

#include <cmath>
#include <cstring>
#include <ostream>
#include <limits>
#include <string>
#include <unordered_map>

#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/NumberText.h"
#include "qorncore/manager/features/NormaliserTable.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/featureset";
constexpr float kUndefined = std::numeric_limits<float>::quiet_NaN();

// The sixteen per-frame descriptors of each timbre block, long and short.
constexpr const char* kBlockLong[16] = {
    "Centroid", "Rolloff", "Flux",   "MFCC_0", "MFCC_1", "MFCC_2",  "MFCC_3",  "MFCC_4",
    "MFCC_5",   "MFCC_6",  "MFCC_7", "MFCC_8", "MFCC_9", "MFCC_10", "MFCC_11", "MFCC_12"};
constexpr const char* kBlockShort[16] = {
    "C",      "R",      "F",      "MFCC_0", "MFCC_1", "MFCC_2",  "MFCC_3",  "MFCC_4",
    "MFCC_5", "MFCC_6", "MFCC_7", "MFCC_8", "MFCC_9", "MFCC_10", "MFCC_11", "MFCC_12"};
constexpr const char* kPrefixLong[4] = {"Mean_Acc1298_Mean_Mem40_", "Mean_Acc1298_Std_Mem40_",
                                        "Std_Acc1298_Mean_Mem40_", "Std_Acc1298_Std_Mem40_"};
constexpr const char* kPrefixShort[4] = {"M_M_", "M_S_", "S_M_", "S_S_"};
constexpr const char* kBeatLong[8] = {"BH_LowPeakAmp",  "BH_LowPeakBPM",   "BH_HighPeakAmp",
                                      "BH_HighPeakBPM", "BH_HighLowRatio", "BHSUM1",
                                      "BHSUM2",         "BHSUM3"};
constexpr const char* kBeatShort[8] = {"LowAmp",  "LowBPM", "HighAmp", "HighBPM",
                                       "HLRatio", "BS1",    "BS2",     "BS3"};

// The long and short name of every position, built once.
struct NameTable {
  std::array<std::string, kFeatureCount> longNames;
  std::array<std::string, kFeatureCount> shortNames;
  NameTable() {
    for (int block = 0; block < 4; ++block) {
      for (int i = 0; i < 16; ++i) {
        longNames[block * 16 + i] = std::string(kPrefixLong[block]) + kBlockLong[i];
        shortNames[block * 16 + i] = std::string(kPrefixShort[block]) + kBlockShort[i];
      }
    }
    for (int i = 0; i < 8; ++i) {
      longNames[64 + i] = kBeatLong[i];
      shortNames[64 + i] = kBeatShort[i];
    }
  }
};

const NameTable& names() {
  static const NameTable table;
  return table;
}

// The feature name index: long name to position + 1.
const std::unordered_map<std::string_view, int>& nameIndex() {
  static const std::unordered_map<std::string_view, int> index = [] {
    QORN_LOG(Debug, kSource, "Initialising FeatureSet::sFeatureNameIdx");
    std::unordered_map<std::string_view, int> map;
    for (int i = 0; i < kFeatureCount; ++i) map.emplace(names().longNames[i], i + 1);
    return map;
  }();
  return index;
}

float readFloatLE(const unsigned char* p) {
  uint32_t bits = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                  (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void appendFloatLE(std::string& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  char bytes[4] = {static_cast<char>(bits & 0xff), static_cast<char>((bits >> 8) & 0xff),
                   static_cast<char>((bits >> 16) & 0xff), static_cast<char>(bits >> 24)};
  out.append(bytes, 4);
}

}  // namespace

const char* getFeatureName(int index) {
  if (index < 0 || index >= kFeatureCount) {
    QORN_LOG(Fatal, kSource, "call to getFeatureName with illegal idx: " + std::to_string(index));
    return "unkown_feature with idx";
  }
  return names().longNames[index].c_str();
}

const char* getShortFeatureName(int index) {
  if (index < 0 || index >= kFeatureCount) return "";
  return names().shortNames[index].c_str();
}

int findFeaturePosition(std::string_view longName) {
  const auto& index = nameIndex();
  auto it = index.find(longName);
  return it == index.end() ? -1 : it->second - 1;
}

int featureNameIndex(std::string_view longName) {
  int position = findFeaturePosition(longName);
  if (position < 0) {
    engineConsole() << "Warning unknown feature name: " << longName << std::endl;
    return 0;
  }
  return position + 1;
}

std::string floatText(float value) {
  return formatFloat(value);
}

float floatFromText(std::string_view text) {
  return leadingFloat(text);
}

int intFromText(std::string_view text) {
  return leadingInt(text);
}

FeatureSet::FeatureSet(std::vector<float> values) {
  setValues(std::move(values));
}

void FeatureSet::setValues(std::vector<float> values) {
  values_ = std::move(values);
  normalised_ = false;
  updateValidity();
}

void FeatureSet::setValue(int position, float value) {
  if (position < 0) return;
  if (static_cast<std::size_t>(position) >= values_.size()) {
    values_.resize(static_cast<std::size_t>(position) + 1, kUndefined);
  }
  values_[static_cast<std::size_t>(position)] = value;
  updateValidity();
}

void FeatureSet::clear() {
  values_.clear();
  normalised_ = false;
  valid_ = false;
}

bool FeatureSet::complete() const {
  if (values_.size() != static_cast<std::size_t>(kFeatureCount)) return false;
  for (float v : values_) {
    if (std::isnan(v)) return false;
  }
  return true;
}

void FeatureSet::updateValidity() {
  valid_ = false;
  for (float v : values_) {
    // An undefined value is not a feature: it does not make the set valid.
    if (v != 0.0f && !std::isnan(v)) {
      valid_ = true;
      return;
    }
  }
}

int FeatureSet::normalise() {
  return normalise(normaliserTable());
}

int FeatureSet::normalise(const NormaliserTable& table) {
  if (normalised_) return 1;
  if (!valid_) {
    QORN_LOG(Warn, kSource, "ignoring normalisation of invalid feature set ");
    return 1;
  }
  if (values_.size() != static_cast<std::size_t>(kFeatureCount)) {
    QORN_LOG(Error, kSource, "Call to FeatureSet::normalise incomplete feature set!");
    return 0;
  }
  if (table.empty()) {
    QORN_LOG(Error, kSource, "gNormaliser is empty!");
    return 0;
  }
  // Check everything before changing anything, so a failure leaves the set as it was.
  bool ok = true;
  for (int i = 0; i < kFeatureCount; ++i) {
    if (table.at(i) == nullptr) {
      QORN_LOG(Error, kSource, std::string("Can't find normaliser for ") + getFeatureName(i));
      ok = false;
    }
    if (std::isnan(values_[static_cast<std::size_t>(i)])) {
      QORN_LOG(Error, kSource, "Call to FeatureSet::normalise incomplete feature set!");
      ok = false;
    }
  }
  if (!ok) return 0;
  for (int i = 0; i < kFeatureCount; ++i) {
    float& v = values_[static_cast<std::size_t>(i)];
    v = table.at(i)->normalise(v);
  }
  normalised_ = true;
  return 1;
}

void FeatureSet::deriveTempo() {
  if (tempo_ >= 0) return;
  static const int high = findFeaturePosition("BH_HighPeakBPM");
  static const int low = findFeaturePosition("BH_LowPeakBPM");
  auto at = [&](int position) {
    return static_cast<std::size_t>(position) < values_.size()
               ? values_[static_cast<std::size_t>(position)]
               : kUndefined;
  };
  float highBpm = at(high);
  float lowBpm = at(low);
  if (highBpm >= 50.0f && highBpm <= 200.0f) {
    tempo_ = static_cast<int32_t>(highBpm);
  } else if (lowBpm > 50.0f && lowBpm < 200.0f) {
    tempo_ = static_cast<int32_t>(lowBpm);
  } else {
    tempo_ = -1;
  }
}

bool FeatureSet::readBinaryBody(const unsigned char* body, std::size_t size) {
  clear();
  if (body == nullptr || size < kBinaryBodySize) return false;
  // body[0] == 1 and body[1] == 0 are not checked: only the window start marks a record.
  if (readFloatLE(body + 2) != 30.0f) return false;
  // body + 6 holds the window end (60.0), which is not used.
  std::vector<float> values(static_cast<std::size_t>(kFeatureCount));
  const unsigned char* p = body + 10;
  for (int i = 0; i < kFeatureCount; ++i, p += 4)
    values[static_cast<std::size_t>(i)] = readFloatLE(p);
  setValues(std::move(values));
  return true;
}

void FeatureSet::writeBinaryBody(std::string& out) const {
  out.push_back('\x01');
  out.push_back('\x00');
  appendFloatLE(out, 30.0f);
  appendFloatLE(out, 60.0f);
  for (float v : values_) appendFloatLE(out, v);
}

}  // namespace qorn
