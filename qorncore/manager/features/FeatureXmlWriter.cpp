// The features XML writer: a full dump of the stored feature sets with the normaliser
// section, written after each extraction run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/datatypes/XmlText.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserTable.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/FeatureManager";

bool isHexMd5(std::string_view text) {
  if (text.size() != FeatureManager::kMd5Size) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// The normaliser section copied from the normaliser file, line by line (an XML declaration
// there would be out of place in the middle of this file and is left out).
void copyNormaliserFile(const std::string& path, std::string& out) {
  std::ifstream in(path);
  if (!in) {
    QORN_LOG(Error, kSource, "can't open " + path);
    reportError(kErrorNormfMissing);
    return;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("<?xml", 0) == 0) continue;
    out += line;
    out += '\n';
  }
}

void appendSong(std::string& out, std::string_view md5, const FeatureSet& set) {
  out += " <song md5=\"";
  out += md5;
  out += "\" ";
  out += set.uploaded() ? " ul=\"1\" " : " ul=\"0\" ";
  out += " >\n";
  out += "  <segment seqid=\"1\"  start=\"0\" end=\"";
  out += set.segmentEnd() < 1 ? std::string("end") : std::to_string(set.segmentEnd());
  out += "\" tempo=\"" + std::to_string(set.tempo()) + "\">\n";
  const auto& values = set.values();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += '\n';
    out += "   <feature name=\"" + std::to_string(i) + "\" val=\"" + floatText(values[i]) + "\" " +
           " />";
  }
  out += "\n  </segment>\n</song>\n";
}

}  // namespace

std::string FeatureManager::xmlText() {
  ensureRead();
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<features version=\"" + xmlAttributeText(xmlVersion_) + "\" " + " >\n";

  const NormaliserTable& table = normaliserTable();
  if (table.complete()) {
    out += table.sectionText(table.scrambled());
  } else {
    copyNormaliserFile(normaliserFile_.empty() ? normaliserFilePath() : normaliserFile_, out);
    QORN_LOG(Error, kSource, "Warning inconsistent normaliser info!");
  }

  out += "<songs s=\"1\" >\n";
  // Songs in md5 order, each once (the last record under its md5).
  std::vector<std::pair<std::string_view, uint32_t>> songs;
  songs.reserve(distinct_);
  for (uint32_t index = 0; index < md5s_.size(); ++index) {
    if (held_[index] != Held::Bad && isIndexed(index)) {
      songs.emplace_back(std::string_view(md5s_[index].data(), kMd5Size), index);
    }
  }
  std::sort(songs.begin(), songs.end());
  out.reserve(out.size() + songs.size() * 2600);
  for (const auto& [md5, index] : songs) {
    if (!isHexMd5(md5)) {
      QORN_LOG(Warn, kSource, "not writing record " + std::to_string(index) + ": malformed md5");
      continue;
    }
    if (held_[index] == Held::InBytes) {
      // A set only for the writing: the store's bytes stay the one copy in memory.
      FeatureVector values;
      if (!rawValues(index, values)) continue;
      FeatureSet set(std::vector<float>(values.begin(), values.end()));
      set.deriveTempo();
      appendSong(out, md5, set);
    } else if (const FeatureSet* set = loadRecord(index)) {
      appendSong(out, md5, *set);
    }
  }
  out += "</songs>\n</features>\n";
  return out;
}

int FeatureManager::saveXml(const std::string& path) {
  const std::string text = xmlText();
  // Write beside the file and rename over it, so a crash never leaves half a file.
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  bool ok = file != nullptr;
  if (ok) {
    ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = (std::fclose(file) == 0) && ok;
  }
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(temporary, path, ec);
    ok = !ec;
  }
  if (!ok) {
    std::filesystem::remove(temporary, ec);
    QORN_LOG(Error, kSource, "can't write " + path);
    reportError(kErrorSaveFeatures);
    return 0;
  }
  return 1;
}

}  // namespace qorn
