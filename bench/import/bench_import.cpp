// Import benchmark program. Two modes, each run as its own process by
// scripts/bench-import.sh so that each has its own peak memory:
//
//   bench_import parts DIR MODEL   the parts of an import measured alone, over every audio
//                                  file of DIR: the tag read (ExtractMetaData per file),
//                                  the analysis (one GetFeatures call over all songs, on a
//                                  fresh context with nothing known) and the link inference
//                                  (inferLinksFull over the analysed songs in an empty
//                                  network); prints seconds per song of each and their sum.
//   bench_import import DIR MODEL  the whole import (importFileList of the same files into
//                                  an empty network with an empty feature store); prints
//                                  seconds per song, the result and the peak memory.
//
// Both work in a fresh scratch data folder under the current directory and remove it.
// The community server should be out of reach (the script points it at 127.0.0.1:1).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kalvoretengine/IQornManager.h"
#include "qorncore/datatypes/EngineLog.h"
#include "orsank/Orsank.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/qornManager.h"
#include "sonalyx/Sonalyx.h"
#include "zarvell/FolderScan.h"
#include "zarvell/module.h"
#include "zarvell/text.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class Scratch {
 public:
  Scratch() : path_(fs::absolute("bench-import-scratch-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_ / "networks");
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string base() const { return path_.string() + "/"; }

 private:
  fs::path path_;
};

double tagReadSeconds(const std::vector<std::string>& files) {
  const zarvell::Module orsank = zarvell::Module::load("Orsank");
  const auto extract = orsank.entry<ExtractMetaDataFn>("ExtractMetaData");
  if (!extract) {
    std::fprintf(stderr, "bench_import: Orsank.so is missing\n");
    std::exit(2);
  }
  std::vector<char> buffers(4 * kOrsankTextBufferSize);
  const auto start = Clock::now();
  for (const std::string& file : files) {
    char* b = buffers.data();
    std::memset(b, 0, buffers.size());
    int32_t year = 0, duration = 0;
    extract(file.c_str(), b, b + kOrsankTextBufferSize, b + 2 * kOrsankTextBufferSize,
            b + 3 * kOrsankTextBufferSize, &year, &duration);
  }
  return secondsSince(start);
}

int32_t unknown(void*, void*, FeatureResult*) { return ZARVELL_E_FAIL; }
int32_t goOn(void*, void*, ProgressRecord*) { return 0; }
int32_t ignore(void*, void*, FeatureResult*) { return 0; }

double analysisSeconds(const std::vector<std::string>& files, std::vector<FeatureResult>& results) {
  const zarvell::Module sonalyx = zarvell::Module::load(SONALYX_MODULE_NAME);
  const auto init = sonalyx.entry<SonalyxInitFn>(SONALYX_INIT_NAME);
  const auto get = sonalyx.entry<SonalyxGetFeaturesFn>(SONALYX_GETFEATURES_NAME);
  const auto destroy = sonalyx.entry<SonalyxDestroyFn>(SONALYX_DESTROY_NAME);
  if (!init || !get || !destroy) {
    std::fprintf(stderr, "bench_import: Sonalyx.so is missing\n");
    std::exit(2);
  }
  std::vector<std::u16string> paths;
  for (const std::string& file : files) paths.push_back(zarvell::pathToUtf16(file));
  std::vector<FESyncItem> items(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::memset(&items[i], 0, sizeof(FESyncItem));
    items[i].path = paths[i].c_str();
  }
  results.assign(files.size(), FeatureResult{});
  const auto start = Clock::now();
  void* handle = nullptr;
  init(&handle, goOn, nullptr, unknown, ignore, nullptr);
  get(handle, items.data(), static_cast<int32_t>(items.size()), results.data(),
      SONALYX_FLAG_DOWNLOAD | SONALYX_FLAG_UPLOAD);
  destroy(handle);
  return secondsSince(start);
}

double inferenceSeconds(const std::vector<FeatureResult>& results, const std::string& model,
                        int& outcome) {
  Scratch scratch;
  qorn::qornManager engine(scratch.base(), model, nullptr);
  std::vector<Node*> songs;
  int32_t id = 1;
  for (const FeatureResult& r : results) {
    auto* song = new qorn::SongNode(id++);
    song->md5 = std::string(r.md5, ::strnlen(r.md5, sizeof r.md5));
    song->name = "song " + std::to_string(song->id);
    song->location = "/bench/" + std::to_string(song->id);
    if (r.hasFeatures && engine.featureStore().indexOf(song->md5) < 0)
      engine.featureStore().append(
          song->md5, qorn::FeatureSet(std::vector<float>(r.features, r.features + SONALYX_FEATURE_COUNT)));
    engine.addNode(song);
    songs.push_back(song);
  }
  const auto start = Clock::now();
  outcome = engine.inferLinksFull(songs, 1.0f);
  return secondsSince(start);
}

int parts(const std::vector<std::string>& files, const std::string& model) {
  const double n = static_cast<double>(files.size());
  const double tags = tagReadSeconds(files);
  std::vector<FeatureResult> results;
  const double analysis = analysisSeconds(files, results);
  int outcome = 0;
  const double inference = inferenceSeconds(results, model, outcome);
  std::printf("songs %zu\n", files.size());
  std::printf("tag read seconds/song %.6f\n", tags / n);
  std::printf("GetFeatures seconds/song %.6f\n", analysis / n);
  std::printf("inference seconds/song %.6f (result %d)\n", inference / n, outcome);
  std::printf("parts seconds/song %.6f\n", (tags + analysis + inference) / n);
  return 0;
}

int import(const std::vector<std::string>& files, const std::string& model) {
  Scratch scratch;
  int result = 0;
  double seconds = 0;
  std::size_t songs = 0;
  {
    qorn::qornManager engine(scratch.base(), model, nullptr);
    std::vector<const char*> paths;
    for (const std::string& file : files) paths.push_back(file.c_str());
    const auto start = Clock::now();
    result = engine.importFileList(paths.data(), static_cast<int>(paths.size()), 1.0f);
    seconds = secondsSince(start);
    for (const auto& entry : engine.nodes().byId()) songs += entry.second->asSong() != nullptr;
  }
  std::printf("songs %zu imported %zu result %d\n", files.size(), songs, result);
  std::printf("import seconds/song %.6f\n", seconds / static_cast<double>(files.size()));
  std::printf("import peak memory KiB %ld\n", peakKilobytes());
  return result == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "parts") != 0 && std::strcmp(argv[1], "import") != 0)) {
    std::fprintf(stderr, "usage: bench_import parts|import DIR MODEL\n");
    return 2;
  }
  // The engine logs as in the player, into a file of its own here.
  qorn::configureEngineLogging("bench-import-" + std::string(argv[1]) + ".log");
  const auto scan = zarvell::scanMediaFolder(argv[2]);
  if (scan.files.empty()) {
    std::fprintf(stderr, "bench_import: no audio files in %s\n", argv[2]);
    return 2;
  }
  return std::strcmp(argv[1], "parts") == 0 ? parts(scan.files, argv[3]) : import(scan.files, argv[3]);
}
