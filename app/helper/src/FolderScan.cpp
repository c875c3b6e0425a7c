#include "zarvell/FolderScan.h"

#include <sys/stat.h>

#include <array>
#include <deque>
#include <filesystem>
#include <set>
#include <unordered_set>

namespace zarvell {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 8> kMediaExtensions = {
    ".mp3", ".wma", ".m4a", ".wav", ".flac", ".ogg", ".oga", ".opus"};

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// What a path names once links are followed.
enum class Kind { Missing, Folder, File, Other };

Kind kindOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Kind::Missing;
  if (S_ISDIR(info.st_mode)) return Kind::Folder;
  if (S_ISREG(info.st_mode)) return Kind::File;
  return Kind::Other;
}

std::string canonical(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  return error ? std::string() : resolved.string();
}

// One scan: a queue of folders, the folders already visited, the files found.
class Scan {
 public:
  explicit Scan(const FolderScanProgress& progress) : progress_(progress) {}

  void addFolder(const std::string& path) { queue_.push_back(path); }
  void addFile(const std::string& path) {
    if (!isMediaFileName(path)) return;
    if (const std::string real = canonical(path); !real.empty()) files_.insert(real);
  }

  FolderScanResult run() {
    FolderScanResult result;
    while (!queue_.empty() && !result.cancelled) {
      const std::string folder = canonical(queue_.front());
      const std::string given = queue_.front();
      queue_.pop_front();
      if (folder.empty()) {
        result.skipped.push_back(given);
        continue;
      }
      if (!visited_.insert(folder).second) continue;
      if (!enumerate(folder)) result.skipped.push_back(folder);
      ++folders_;
      if (progress_ && !progress_(folders_, files_.size())) result.cancelled = true;
    }
    if (!result.cancelled) result.files.assign(files_.begin(), files_.end());
    return result;
  }

 private:
  // Queues the sub-folders and takes the media files of one folder; false when it cannot
  // be read.
  bool enumerate(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return false;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
      if (error) break;
      const std::string path = it->path().string();
      switch (kindOf(path)) {
        case Kind::Folder:
          queue_.push_back(path);
          break;
        case Kind::File:
          addFile(path);
          break;
        default:
          break;  // a broken link, a device or a socket
      }
    }
    return !error;
  }

  const FolderScanProgress& progress_;
  std::deque<std::string> queue_;
  std::unordered_set<std::string> visited_;
  std::set<std::string> files_;
  std::size_t folders_ = 0;
};

}  // namespace

bool isMediaFileName(std::string_view path) {
  for (std::string_view extension : kMediaExtensions)
    if (endsWithIgnoringCase(path, extension)) return true;
  return false;
}

bool passesMediaTest(const std::string& path) {
  return kindOf(path) == Kind::Folder || isMediaFileName(path);
}

FolderScanResult scanMediaFolder(const std::string& root, const FolderScanProgress& progress) {
  if (kindOf(root) != Kind::Folder) {
    FolderScanResult result;
    result.skipped.push_back(root);
    return result;
  }
  return collectMedia({root}, progress);
}

FolderScanResult collectMedia(const std::vector<std::string>& paths,
                              const FolderScanProgress& progress) {
  Scan scan(progress);
  FolderScanResult result;
  for (const std::string& path : paths) {
    switch (kindOf(path)) {
      case Kind::Folder:
        scan.addFolder(path);
        break;
      case Kind::File:
        scan.addFile(path);
        break;
      default:
        result.skipped.push_back(path);  // names nothing, or no file or folder
        break;
    }
  }
  FolderScanResult scanned = scan.run();
  scanned.skipped.insert(scanned.skipped.begin(), result.skipped.begin(),
                                result.skipped.end());
  return scanned;
}

}  // namespace zarvell
