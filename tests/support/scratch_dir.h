// A fresh folder for one test's files, under the system temp folder, removed with
// everything in it when the object goes. Tests run as parallel processes, so every
// scratch file lives in a folder of its own rather than under a name made up by the test.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace zarvelltest {

class ScratchDir {
 public:
  // `prefix` starts the folder's name; path() is empty when the folder could not be made.
  explicit ScratchDir(const std::string& prefix = "zarvell-test") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace zarvelltest
