#include "qorncore/manager/features/Normaliser.h"

#include <cmath>
#include <ostream>
#include <map>

#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/manager/features/FeatureSet.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/featureset";

// Targets of the seven quantiles: the standard normal quantiles of 0.125 ... 0.875 divided
// by the magnitude of the 0.125 quantile.
constexpr float kTargets[7] = {-1.0f, -0.58633f, -0.27699f, 0.0f, 0.27699f, 0.58633f, 1.0f};
// Steps between consecutive targets.
constexpr float kSteps[6] = {0.41367f, 0.30934f, 0.27699f, 0.27699f, 0.30934f, 0.41367f};

float clampUnit(float y) {
  if (y >= 1.0f) return 1.0f;
  if (y <= -1.0f) return -1.0f;
  return y;
}

float scaled(float v, float p0, float p1) {
  if (p1 == 0.0f) return v - p0;
  return (v - p0) * 0.8f / p1;
}

}  // namespace

const std::array<const char*, Normaliser::kStatCount>& Normaliser::statNames() {
  static const std::array<const char*, kStatCount> names = {
      "mean", "stddev", "q0_125", "q0_25", "q0_375", "median", "q0_625", "q0_75", "q0_875"};
  return names;
}

const char* Normaliser::typeName(NormaliserType type) {
  switch (type) {
    case NormaliserType::Normal:
      return "normal";
    case NormaliserType::Lognormal:
      return "lognormal";
    case NormaliserType::Quantile:
      break;
  }
  return "unknown";
}

Normaliser::Normaliser(std::string featureName, NormaliserType type,
                       const std::array<float, kStatCount>& stats)
    : stats_(stats), type_(type), featureName_(std::move(featureName)) {
  prepare();
}

Normaliser Normaliser::fromAttributes(const AttributeList& attributes) {
  std::map<std::string, std::string> byName;
  for (const auto& [name, value] : attributes) byName.emplace(name, value);
  if (attributes.size() < 10) {
    QORN_LOG(Error, kSource, "ERROR: incomplete normaliser info in features file!");
  }
  Normaliser n;
  if (auto it = byName.find("name"); it != byName.end()) n.featureName_ = it->second;
  if (auto it = byName.find("type"); it != byName.end()) {
    if (it->second == "normal")
      n.type_ = NormaliserType::Normal;
    else if (it->second == "lognormal")
      n.type_ = NormaliserType::Lognormal;
  }
  for (int s = 0; s < kStatCount; ++s) {
    auto it = byName.find(statNames()[static_cast<std::size_t>(s)]);
    n.stats_[static_cast<std::size_t>(s)] = it == byName.end() ? 0.0f : floatFromText(it->second);
  }
  n.prepare();
  return n;
}

void Normaliser::prepare() {
  params_.fill(0.0f);
  switch (type_) {
    case NormaliserType::Normal:
      params_[0] = stats_[kMean];
      params_[1] = stats_[kStddev];
      break;
    case NormaliserType::Lognormal: {
      double m = stats_[kMean];
      double s = stats_[kStddev];
      if (m > 0.0 && s > 0.0) {
        params_[0] = static_cast<float>(std::log(m * m / std::sqrt(s * s + m * m)));
        params_[1] = static_cast<float>(std::sqrt(std::log(s * s / (m * m) + 1.0)));
      } else {
        engineConsole() << "Error: illegal values for lognormal normaliser!" << std::endl;
        QORN_LOG(Error, kSource, "illegal values in lognormal normaliser!");
      }
      break;
    }
    case NormaliserType::Quantile:
      break;  // the seven quantiles are used as they are
  }
}

AttributeList Normaliser::attributes() const {
  AttributeList list;
  list.reserve(1 + kStatCount);
  list.emplace_back("type", typeName(type_));
  for (int s = 0; s < kStatCount; ++s) {
    list.emplace_back(statNames()[static_cast<std::size_t>(s)],
                      floatText(stats_[static_cast<std::size_t>(s)]));
  }
  return list;
}

std::string Normaliser::attributesText() const {
  std::string text;
  for (const auto& [name, value] : attributes()) {
    if (!text.empty()) text += ' ';
    text += name;
    text += "=\"";
    text += value;
    text += '"';
  }
  return text;
}

float Normaliser::normalise(float v) const {
  if (std::isnan(v)) return v;
  switch (type_) {
    case NormaliserType::Normal:
      return clampUnit(scaled(v, params_[0], params_[1]));
    case NormaliserType::Lognormal:
      if (v > 0.0f) v = std::log(v);
      return clampUnit(scaled(v, params_[0], params_[1]));
    case NormaliserType::Quantile:
      break;
  }
  const float* q = &stats_[kQ0125];  // the seven quantiles in order
  if (v < q[0]) return -1.0f;
  // A value on the top quantile or above it maps to the top target.
  if (v >= q[6]) return 1.0f;
  for (int k = 1; k < 7; ++k) {
    if (v < q[k]) {
      float span = q[k] - q[k - 1];
      if (span == 0.0f) return clampUnit(kTargets[k]);
      return clampUnit(kTargets[k] - (q[k] - v) * kSteps[k - 1] / span);
    }
  }
  // Only an undefined quantile gets here.
  QORN_LOG(Error, kSource, "error in normalisation ");
  return 0.0f;
}

}  // namespace qorn
