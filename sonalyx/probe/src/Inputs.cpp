#include "Inputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace probe {
namespace fs = std::filesystem;

bool isAudioName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  for (const char* known : {"mp3", "m4a", "m4p", "wav", "wma", "flac", "ogg", "oga", "opus"}) {
    if (ext == known) return true;
  }
  return false;
}

namespace {

void scanFolder(const std::string& folder, Inputs& inputs) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && isAudioName(it->path().filename().string())) {
      found.push_back(it->path().string());
    }
  }
  if (ec) {
    inputs.errors.push_back(folder + ": cannot read the folder (" + ec.message() + ")");
    return;
  }
  if (found.empty()) {
    inputs.errors.push_back(folder + ": no audio files in this folder or below it");
    return;
  }
  std::sort(found.begin(), found.end());
  inputs.files.insert(inputs.files.end(), found.begin(), found.end());
}

}  // namespace

Inputs expand(const std::vector<std::string>& arguments) {
  Inputs inputs;
  for (const std::string& argument : arguments) {
    struct stat info {};
    if (::stat(argument.c_str(), &info) != 0) {
      inputs.errors.push_back(argument + ": " + std::strerror(errno));
    } else if (S_ISDIR(info.st_mode)) {
      scanFolder(argument, inputs);
    } else {
      inputs.files.push_back(argument);
    }
  }
  return inputs;
}

}  // namespace probe
