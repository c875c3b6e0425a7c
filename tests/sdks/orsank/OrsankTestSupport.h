// Shared helpers of the tag-reader tests: fixture paths, a scratch folder, an environment
// variable set for one scope, and the modules loaded from the program folder.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TagStress.h"
#include "zarvell/module.h"

namespace orsank::test {

namespace fs = std::filesystem;

// Tagged files of make_tag_fixtures.sh and the broken files of make_audio_fixtures.sh.
inline std::string tagFile(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/tags/" + name;
}
inline std::string audioFile(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/audio/" + name;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "orsank-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

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
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// A module and one entry point of it; empty when either is missing.
template <typename Fn>
struct Loaded {
  zarvell::Module module;
  Fn entry = nullptr;
};

template <typename Fn>
Loaded<Fn> loadEntry(const std::string& module, const char* name) {
  Loaded<Fn> loaded{zarvell::Module::load(module)};
  loaded.entry = loaded.module.template entry<Fn>(name);
  return loaded;
}

}  // namespace orsank::test
