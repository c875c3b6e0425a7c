// File-name cutting, keyword texts and progress reports of the import.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kalvoretengine/IQornManager.h"
#include "qorncore/engine/Node.h"
#include "qorncore/manager/qornManagerImport.h"

namespace qorn {
namespace {

// Audio extensions a file name is cut at, in this order.
constexpr std::array<std::string_view, 9> kAudioExtensions = {
    ".mp3", ".wma", ".m4a", ".wav", ".m4p", ".flac", ".ogg", ".oga", ".opus"};

constexpr std::string_view kKeywordSeparators = " _-/[]()\\.";

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::string cutFileName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
  for (std::string_view extension : kAudioExtensions) {
    const std::size_t at = lowerAscii(name).rfind(extension);
    if (at != std::string::npos) name.resize(at);
  }
  return name;
}

std::string keywordText(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(kKeywordSeparators, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) {
      if (!out.empty()) out += ", ";
      out += text.substr(start, end - start);
    }
    start = end + 1;
  }
  return out;
}

bool ImportProgress::report(int32_t current, int32_t total, const char* caption,
                            const std::string& detail, const char* detail2) const {
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
  return callback_->progress(&info);
}

void ImportBatch::restoreGrownLists() {
  // Latest first, so a list grown twice ends at its first recorded size.
  for (auto it = grownLists.rbegin(); it != grownLists.rend(); ++it) {
    SongListNode* list = it->first;
    if (list->tracks.size() > it->second) list->tracks.resize(it->second);
  }
  grownLists.clear();
}

void ImportBatch::releaseAll() {
  for (Node* node : nodes) node->release();
  nodes.clear();
}

}  // namespace qorn
