// Shared helpers of the Sonalyx tests: fixture paths, temporary folders, a test program
// folder holding only some modules, and a loaded Sonalyx module with recording callbacks.
#pragma once

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sonalyx/Sonalyx.h"
#include "zarvell/module.h"
#include "zarvell/text.h"

namespace sonalyx::test {

namespace fs = std::filesystem;

inline std::string dataFile(const std::string& name) {
  return std::string(ZARVELL_SOURCE_DIR) + "/tests/sonalyx/core/data/" + name;
}
inline std::string audioFile(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/audio/" + name;
}

// Output of a shell command (stdout), e.g. an md5sum computed independently of Sonalyx.
inline std::string shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  return out;
}

// MD5 (lower-case hex) of `length` bytes of a file from `offset`, by dd and md5sum.
inline std::string ddMd5(const std::string& path, long long offset, long long length) {
  const std::string out = shell("dd if='" + path + "' iflag=skip_bytes,count_bytes skip=" +
                                std::to_string(offset) + " count=" + std::to_string(length) +
                                " status=none | md5sum");
  return out.substr(0, 32);
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "sonalyx-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Sets an environment variable for the lifetime of the object, restoring the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_.c_str(), old_.c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

// The three entry points of a loaded Sonalyx module.
struct SonalyxModule {
  zarvell::Module module;
  SonalyxInitFn init = nullptr;
  SonalyxGetFeaturesFn getFeatures = nullptr;
  SonalyxDestroyFn destroy = nullptr;

  static SonalyxModule load(const std::string& path) {
    SonalyxModule m;
    m.module = zarvell::Module::load(path);
    m.init = m.module.entry<SonalyxInitFn>(SONALYX_INIT_NAME);
    m.getFeatures = m.module.entry<SonalyxGetFeaturesFn>(SONALYX_GETFEATURES_NAME);
    m.destroy = m.module.entry<SonalyxDestroyFn>(SONALYX_DESTROY_NAME);
    return m;
  }
  bool ok() const { return init && getFeatures && destroy; }
};

// A program folder holding private copies of Sonalyx.so and sonalyx-probe, the feature library and only the
// decoder modules asked for. The copy finds its dependencies beside itself, so a decoder
// left out is really missing. ZARVELL_PROGRAM_DIR points at the folder while it lives.
class TestProgramFolder {
 public:
  // decoders: file name in the folder -> module file to link there ("Tolvane.so" -> path).
  explicit TestProgramFolder(const std::vector<std::pair<std::string, std::string>>& decoders)
      : env_("ZARVELL_PROGRAM_DIR", dir_.path().string()) {
    const fs::path program(ZARVELL_PROGRAM_DIR);
    fs::copy_file(program / "Sonalyx.so", dir_.path() / "Sonalyx.so");
    fs::copy_file(program / "sonalyx-probe", dir_.path() / "sonalyx-probe");
    fs::create_symlink(program / "libbextractRaw.so", dir_.path() / "libbextractRaw.so");
    for (const auto& [name, target] : decoders) fs::create_symlink(target, dir_.path() / name);
  }
  std::string modulePath() const { return dir_.file("Sonalyx.so"); }
  std::string probePath() const { return dir_.file("sonalyx-probe"); }
  std::string path() const { return dir_.path().string(); }
  static std::string realModule(const std::string& name) {
    return std::string(ZARVELL_PROGRAM_DIR) + "/" + name;
  }

 private:
  TempDir dir_;
  ScopedEnv env_;
};

// A list of songs as the engine hands them over: FESyncItem copies with owned path texts.
class SongList {
 public:
  void add(const std::string& utf8Path) {
    paths_.push_back(zarvell::pathToUtf16(utf8Path));
    hasPath_.push_back(true);
  }
  void addNullPath() {
    paths_.emplace_back();
    hasPath_.push_back(false);
  }
  // Records pointing at the stored texts; valid while the list is unchanged.
  std::vector<FESyncItem>& items() {
    items_.assign(paths_.size(), FESyncItem{});
    for (std::size_t i = 0; i < paths_.size(); ++i)
      items_[i].path = hasPath_[i] ? paths_[i].c_str() : nullptr;
    return items_;
  }
  int size() const { return static_cast<int>(paths_.size()); }

 private:
  std::vector<std::u16string> paths_;
  std::vector<bool> hasPath_;
  std::vector<FESyncItem> items_;
};

// The records are packed, so their fields may sit at any address: tests copy them out by
// value instead of binding references to them.
inline std::array<float, SONALYX_FEATURE_COUNT> featuresOf(const FeatureResult& r) {
  std::array<float, SONALYX_FEATURE_COUNT> f{};
  std::memcpy(f.data(), reinterpret_cast<const char*>(&r) + offsetof(FeatureResult, features),
              sizeof f);
  return f;
}
inline int secondsOf(const FeatureResult& r) { return r.mediaSeconds; }

// One progress report as received.
struct Report {
  int current, total, hashed, skipped, analysed, pending;
  std::string text;
};

// Callback state: records every report and lookup, answers lookups from a set of known
// hashes and cancels at a chosen report.
struct Recorder {
  std::vector<Report> reports;
  int cancelAtReport = -1;  // 0-based index of the report answered with E_ABORT
  std::set<std::string> known;
  bool knowAll = false;
  std::mutex lookupMutex;
  std::vector<std::string> lookups;
  std::set<std::thread::id> lookupThreads;
  std::set<std::thread::id> progressThreads;

  static int32_t progress(void*, void* context, ProgressRecord* record) {
    auto* self = static_cast<Recorder*>(context);
    self->progressThreads.insert(std::this_thread::get_id());
    self->reports.push_back(Report{record->current, record->total, record->hashed,
                                   record->skipped, record->analysed, record->pending,
                                   zarvell::utf16ToUtf8(record->text)});
    return static_cast<int>(self->reports.size()) - 1 == self->cancelAtReport ? ZARVELL_E_ABORT
                                                                               : 0;
  }
  static int32_t lookup(void*, void* context, FeatureResult* result) {
    auto* self = static_cast<Recorder*>(context);
    std::lock_guard<std::mutex> lock(self->lookupMutex);
    self->lookups.emplace_back(result->md5);
    self->lookupThreads.insert(std::this_thread::get_id());
    if (self->knowAll || self->known.count(result->md5)) {
      result->known = 1;
      return 0;
    }
    return ZARVELL_E_FAIL;
  }
  static int32_t store(void*, void*, FeatureResult*) {
    std::abort();  // never called by Sonalyx
  }
};

// An Init'ed context on a module with a Recorder as both callback contexts.
class Session {
 public:
  Session(const SonalyxModule& module, Recorder& recorder) : module_(module) {
    module_.init(&handle_, &Recorder::progress, &recorder, &Recorder::lookup, &Recorder::store,
                 &recorder);
  }
  ~Session() {
    if (handle_) module_.destroy(handle_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  void* handle() const { return handle_; }
  int32_t run(SongList& songs, std::vector<FeatureResult>& results, int32_t flags) {
    auto& items = songs.items();
    results.assign(items.size(), FeatureResult{});
    return module_.getFeatures(handle_, items.data(), songs.size(), results.data(), flags);
  }

 private:
  const SonalyxModule& module_;
  void* handle_ = nullptr;
};

}  // namespace sonalyx::test
