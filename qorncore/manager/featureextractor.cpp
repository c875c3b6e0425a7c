#include "qorncore/manager/featureextractor.h"

#include <cstring>
#include <utility>

#include "kalvoretengine/IQornManager.h"
#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"
#include "zarvell/paths.h"
#include "zarvell/text.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/featureextractor";

// The analysis context of one run: Init'ed on creation, destroyed with the object.
class AnalysisContext {
 public:
  AnalysisContext(SonalyxInitFn init, SonalyxDestroyFn destroy, void* self,
                  SonalyxProgressFn progress, SonalyxLookupFn lookup, SonalyxStoreFn store)
      : destroy_(destroy) {
    status_ = init(&handle_, progress, self, lookup, store, self);
  }
  ~AnalysisContext() {
    if (handle_) destroy_(handle_);
  }
  AnalysisContext(const AnalysisContext&) = delete;
  AnalysisContext& operator=(const AnalysisContext&) = delete;
  bool ok() const { return status_ >= 0 && handle_; }
  void* handle() const { return handle_; }

 private:
  SonalyxDestroyFn destroy_;
  void* handle_ = nullptr;
  int32_t status_ = ZARVELL_E_FAIL;
};

std::string pathOf(const FESyncItem* item) {
  const char16_t* path = item ? item->path : nullptr;
  return path ? zarvell::utf16ToPath(path) : std::string();
}

}  // namespace

FeatureExtractor::FeatureExtractor(FeatureManager* store, IQornManagerCallback* callback,
                                   std::string featuresXmlPath)
    : callback_(callback), store_(store), featuresXmlPath_(std::move(featuresXmlPath)) {
  module_ = zarvell::Module::load(SONALYX_MODULE_NAME);
  if (!module_) {
    QORN_LOG(Fatal, kSource, "can't load Sonalyx");
    return;
  }
  init_ = module_.entry<SonalyxInitFn>(SONALYX_INIT_NAME);
  if (!init_) QORN_LOG(Fatal, kSource, "can't get mFeLib::mFeInit");
  destroy_ = module_.entry<SonalyxDestroyFn>(SONALYX_DESTROY_NAME);
  if (!destroy_) QORN_LOG(Fatal, kSource, "can't get mFeLib::feDestroy");
  getFeatures_ = module_.entry<SonalyxGetFeaturesFn>(SONALYX_GETFEATURES_NAME);
  if (!getFeatures_) QORN_LOG(Fatal, kSource, "can't get mFeLib::feGetFeatures");
}

FeatureExtractor::~FeatureExtractor() = default;

bool FeatureExtractor::report(int32_t current, int32_t total, const char* caption,
                              const std::string& detail, const char* detail2) {
  if (!callback_) return true;
  ProgressInfo info{};
  info.stage = stage_;
  info.stages = stages_;
  info.current = current;
  info.total = total;
  info.flag = 0;
  info.caption = caption;
  info.detail = detail.c_str();
  info.detail2 = detail2;
  const bool goOn = callback_->progress(&info);
  if (!goOn) cancelled_ = true;
  return goOn;
}

int FeatureExtractor::run(const std::vector<FESyncItem*>& items, std::vector<std::string>& md5s,
                          int stage, int stages) {
  stage_ = stage;
  stages_ = stages;
  cancelled_ = false;
  md5s.clear();
  if (!store_) return 0;
  if (!report(0, static_cast<int32_t>(items.size()), "Analyzing Media", "Initializing Engine...",
              ""))
    return 0;

  // The data folder of a first import may not have the folder of the store and the
  // features XML file yet.
  for (const std::string& path : {store_->storePath(), featuresXmlPath_}) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) zarvell::makeFolders(path.substr(0, slash));
  }
  if (canAnalyse() && !items.empty()) {
    analyse(items, md5s);
  } else if (!items.empty()) {
    // No analysis module: the songs are still imported, each with an empty md5 (they get
    // no features and no identity for the community, but the user's library is not
    // refused for a missing component). The user is told in the import report.
    reportError(kErrorFeatureExtraction);
  }
  // Every item has its entry, whatever happened above.
  md5s.resize(items.size());

  saveFeaturesXml();
  return 1;
}

void FeatureExtractor::analyse(const std::vector<FESyncItem*>& items,
                               std::vector<std::string>& md5s) {
  AnalysisContext context(init_, destroy_, this, &FeatureExtractor::onProgress,
                          &FeatureExtractor::onLookup, &FeatureExtractor::onStore);
  if (!context.ok()) {
    QORN_LOG(Error, kSource, "can't initialise Sonalyx");
    reportError(kErrorFeatureExtraction);
    return;
  }
  // The module gets copies with the valid flag cleared; it writes only their `sent`.
  std::vector<FESyncItem> copies(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i]) std::memcpy(&copies[i], items[i], sizeof(FESyncItem));
    copies[i].valid = 0;
  }
  std::vector<FeatureResult> results(items.size());
  // Read the store before the hash worker asks it anything: the lookups then only read.
  store_->ensureRead();
  const int32_t status = getFeatures_(context.handle(), copies.data(),
                                      static_cast<int32_t>(copies.size()), results.data(),
                                      kAnalysisFlags);
  storeResults(items, results, status, md5s);
}

void FeatureExtractor::storeResults(const std::vector<FESyncItem*>& items,
                                    const std::vector<FeatureResult>& results, int32_t status,
                                    std::vector<std::string>& md5s) {
  md5s.resize(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const FeatureResult& result = results[i];
    char hash[SONALYX_HASH_CHARS + 1];
    std::memcpy(hash, result.md5, sizeof hash);
    hash[SONALYX_HASH_CHARS] = '\0';
    md5s[i] = hash;
    if (result.hasFeatures) {
      // Two items of one run may be the same song (a copy of the file): store it once.
      if (result.known || md5s[i].empty() || store_->indexOf(md5s[i]) >= 0) continue;
      std::vector<float> values(SONALYX_FEATURE_COUNT);
      std::memcpy(values.data(), result.features, sizeof(float) * SONALYX_FEATURE_COUNT);
      const int stored = store_->append(md5s[i], FeatureSet(std::move(values)));
      if (stored != FeatureManager::kOk)
        QORN_LOG(Error, kSource, "can't store features of " + md5s[i] + ": error " +
                                     std::to_string(stored));
    } else if (status != ZARVELL_E_ABORT) {
      const std::string path = pathOf(items[i]);
      QORN_LOG(Debug, kSource, "Feature extraction failed for " + md5s[i] + " " + path);
      // The import report lists the media that could not be analysed.
      appendLogOutput("Feature extraction failed for " + path);
    }
  }
}

void FeatureExtractor::saveFeaturesXml() {
  store_->saveXml(featuresXmlPath_);
  if (!normaliserTable().complete())
    QORN_LOG(Info, kSource, "feature db has been emptied because of missing normaliser info!");
}

int32_t FeatureExtractor::onProgress(void*, void* context, ProgressRecord* record) {
  auto* self = static_cast<FeatureExtractor*>(context);
  if (!self || !record) return 0;
  char16_t text[512];
  std::memcpy(text, record->text, sizeof text);
  text[511] = u'\0';
  const std::string detail = zarvell::utf16ToUtf8(text);
  return self->report(record->current, record->total, "Feature Extraction", detail,
                      "Feature Extraction Caption")
             ? 0
             : ZARVELL_E_ABORT;
}

int32_t FeatureExtractor::onLookup(void*, void* context, FeatureResult* result) {
  auto* self = static_cast<FeatureExtractor*>(context);
  if (!self || !result) return ZARVELL_E_FAIL;
  char hash[SONALYX_HASH_CHARS + 1];
  std::memcpy(hash, result->md5, sizeof hash);
  hash[SONALYX_HASH_CHARS] = '\0';
  std::lock_guard<std::mutex> lock(self->storeLock_);
  if (!self->store_->featureSet(hash)) return ZARVELL_E_FAIL;
  result->known = 1;
  return 0;
}

int32_t FeatureExtractor::onStore(void*, void*, FeatureResult*) {
  return 0;  // results are stored once the analysis call has returned
}

}  // namespace qorn
