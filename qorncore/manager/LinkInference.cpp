#include "LinkInference.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "IQornManager.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "qornManager.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/qornManagerSVM";

std::string gText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

void buildPairVector(const float* a, const float* b, PairVector& out) {
  for (int i = 0; i < kFeatureCount; ++i) {
    const float lo = std::min(a[i], b[i]);
    const float hi = std::max(a[i], b[i]);
    out[static_cast<std::size_t>(i)] = {i + 1, lo};
    out[static_cast<std::size_t>(kFeatureCount + i)] = {kFeatureCount + i + 1, hi};
  }
  out[2 * kFeatureCount] = {-1, 0.0};
}

double similarityOutput(const SvmModel& model, const SvmNode* x) {
  if (model.classCount() != 2) {
    QORN_LOG(Fatal, kSource, "SVM: incorrect  nr of classes");
    return 0.0;
  }
  const SvmType type = model.type();
  const bool regression = type == SvmType::EpsilonSvr || type == SvmType::NuSvr;
  const bool classifier = type == SvmType::CSvc || type == SvmType::NuSvc;
  if (regression) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "Prob. model for test data: target value = predicted value + z,\n"
                  "z: Laplace distribution e^(-|z|/sigma)/(2sigma),sigma=%g\n",
                  model.svrProbability());
    engineConsole() << line;
  } else if (classifier) {
    const std::vector<int> labels = model.labels();
    if (labels.empty() || labels[0] != 1) return 0.0;
  }
  if (!classifier || !model.hasProbability()) {
    const double value = model.predict(x);
    engineConsole() << gText(value) << '\n';
    return value;
  }
  return model.firstClassProbability(x);
}

LinkInference::LinkInference(qornManager& engine) : engine_(engine) {}
LinkInference::~LinkInference() = default;

bool LinkInference::loadPairwiseModel() {
  if (pairwiseUsable_) return true;
  const std::string& path = engine_.modelPath();
  pairwise_ = SvmModel::load(path);
  if (!pairwise_.loaded()) {
    std::fprintf(stderr, "can't open model file %s\n", path.c_str());
    QORN_LOG(Error, kSource, "can't open model file " + path);
    reportError(kErrorLinkInference);
    return false;
  }
  if (!pairwise_.hasProbability()) {
    engineConsole() << "Error: svm model does not support probabiliy estimates" << std::endl;
    QORN_LOG(Error, kSource, "model does not support probabiliy estimates!");
    reportError(kErrorLinkInference);
    pairwise_ = SvmModel();
    return false;
  }
  const std::vector<int> labels = pairwise_.labels();
  if (pairwise_.classCount() != 2 || labels.empty() || labels[0] != 1) {
    // Usable by the rules of similarityOutput, but every similarity would be 0.
    QORN_LOG(Error, kSource,
             "model " + path + " is not a two-class model whose first label is 1 (similar)");
  }
  pairwiseUsable_ = true;
  return true;
}

LinkInference::Side& LinkInference::side(const Node* song) {
  auto [it, fresh] = sides_.try_emplace(song);
  Side& s = it->second;
  if (!fresh || song == nullptr) return s;
  s.cv = cvs_.find(song->md5);
  const FeatureSet* set = engine_.featureStore().featureSet(song->md5);
  s.hasFeatures = set != nullptr && set->valid();
  return s;
}

const float* LinkInference::normalisedOf(const Node* song, Side& s) {
  if (!s.normalisedFetched) {
    s.normalisedFetched = true;
    FeatureManager& store = engine_.featureStore();
    if (store.features(song->md5, true)) s.normalised = store.extraData(song->md5);
  }
  return s.normalised;
}

double LinkInference::pairwiseOutput(const float* a, const float* b) {
  buildPairVector(a, b, pair_);
  return similarityOutput(pairwise_, pair_.data());
}

float LinkInference::compare(const Node* a, Side& sa, const Node* b, Side& sb) {
  if (sa.cv != nullptr && sb.cv != nullptr && !sa.cv->empty() && !sb.cv->empty()) {
    const float s = 1.0f - ClassVectorStore::distance(*sa.cv, *sb.cv);
    if (s > 0.0f) {
      ++cvComparisons_;
      return s;
    }
  }
  if (!sa.hasFeatures || !sb.hasFeatures) return 0.0f;
  ++svmComparisons_;
  const float* na = normalisedOf(a, sa);
  const float* nb = normalisedOf(b, sb);
  if (na == nullptr || nb == nullptr) return 0.0f;
  if (!pairwiseUsable_) return 0.0f;
  const double p = pairwiseOutput(na, nb);
  return static_cast<float>(std::clamp(p, 0.0, 1.0));
}

float LinkInference::similarity(const Node* a, const Node* b) {
  if (a == nullptr || b == nullptr) return 0.0f;
  sides_.clear();  // the features may have changed since the last call
  Side& sa = side(a);
  Side& sb = side(b);
  // The pairwise model is needed only when the CVs cannot tell.
  if (!pairwiseUsable_ && !(sa.cv && sb.cv && !sa.cv->empty() && !sb.cv->empty()) &&
      sa.hasFeatures && sb.hasFeatures && !triedPairwise_) {
    triedPairwise_ = true;
    loadPairwiseModel();
  }
  return compare(a, sa, b, sb);
}

bool LinkInference::hlcOutputs(const HlcEntry& entry, const SvmModel& model,
                               const std::vector<Node*>& songs, std::size_t position,
                               std::vector<char>& warned) {
  std::vector<SvmNode> x(entry.indexes.size() + 1);
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const Node* song = songs[i];
    if (song == nullptr) {
      if (position == 0) QORN_LOG(Error, kSource, "null ptr entry in toVisitNodes!");
      continue;
    }
    const auto features = engine_.featureStore().features(song->md5, true);
    const SongNode* asSong = song->asSong();
    const std::string location = asSong ? asSong->location : std::string();
    if (!features) {
      const bool m4p = location.size() >= 4 && location.compare(location.size() - 4, 4, ".m4p") == 0;
      if (!warned[i] && !m4p)
        QORN_LOG(Warn, kSource, "no valid features for " + song->md5 + " " + location);
      warned[i] = 1;
      continue;
    }
    ClassVector& cv = cvs_.entry(song->md5);
    if (cv.size() != position) {
      QORN_LOG(Warn, kSource, "duplicate song " + song->md5 + " " + location);
      continue;
    }
    for (std::size_t k = 0; k < entry.indexes.size(); ++k)
      x[k] = {static_cast<int>(k + 1), (*features)[static_cast<std::size_t>(entry.indexes[k] - 1)]};
    x.back() = {-1, 0.0};
    cv.push_back(static_cast<float>(similarityOutput(model, x.data())));
  }
  return true;
}

void LinkInference::buildClassVectors(const std::vector<Node*>& songs) {
  cvs_.clear();
  sides_.clear();
  const auto entries = readHlcInfo(modelsFolder(engine_.modelPath()));
  if (!entries || entries->empty()) {
    QORN_LOG(Error, kSource, "no HLC models found");
    return;
  }
  QORN_LOG(Debug, kSource, "creating " + std::to_string(songs.size()) + " CVs");
  std::vector<char> warned(songs.size(), 0);
  std::size_t position = 0;  // models used so far: a missing model leaves no gap in the CVs
  for (const HlcEntry& entry : *entries) {
    std::error_code ec;
    if (!std::filesystem::exists(entry.path, ec)) {
      QORN_LOG(Error, kSource, "model file does not exist '" + entry.path + "'");
      continue;
    }
    SvmModel model = SvmModel::load(entry.path);
    if (!model.loaded()) {
      QORN_LOG(Error, kSource, "can't open model file " + entry.path);
      continue;
    }
    hlcOutputs(entry, model, songs, position, warned);
    ++position;
  }
  cvs_.normalise();
  sides_.clear();
}

bool LinkInference::reportProgress(const char* caption, int current, int total,
                                   const std::string& detail, const char* detail2) {
  IQornManagerCallback* callback = engine_.callback();
  if (callback == nullptr) return true;
  ProgressInfo info{};
  info.stage = 3;
  info.stages = 3;
  info.current = current;
  info.total = total;
  info.flag = 0;
  info.caption = caption;
  info.detail = detail.c_str();
  info.detail2 = detail2;
  return callback->progress(&info);
}

}  // namespace qorn
