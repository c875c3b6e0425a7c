#include "qorncore/manager/features/FeatureXmlReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "qorncore/datatypes/EngineLog.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/datatypes/NumberText.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/NormaliserScramble.h"
#include "qorncore/manager/features/NormaliserTable.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/manager/featurexmlparser";

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool isMd5(std::string_view text) {
  if (text.size() != FeatureManager::kMd5Size) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// "0".."71" as a position, or -1.
int positionFromText(std::string_view text) {
  std::size_t used = 0;
  const std::optional<long long> value = readInteger(text, &used);
  if (!value || used != text.size()) return -1;
  return *value >= 0 && *value < kFeatureCount ? static_cast<int>(*value) : -1;
}

AttributeList toList(const XmlAttributes& attributes) {
  AttributeList list;
  const std::size_t n = attributes.size();
  list.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    list.emplace_back(std::string(attributes.name(i)), std::string(attributes.value(i)));
  }
  return list;
}

}  // namespace

FeatureXmlReader::FeatureXmlReader(FeatureManager* store, NormaliserTable* table)
    : store_(store), table_(table), parser_(*this) {}

void FeatureXmlReader::setLookup(std::string md5) {
  lookup_ = lowerAscii(md5);
}

bool FeatureXmlReader::parseFile(const std::string& path) {
  openFailed_ = false;
  parser_.reset();
  XmlStatus status = parser_.parseFile(path);
  if (status == XmlStatus::OpenFailed) {
    openFailed_ = true;
    QORN_LOG(Error, kSource, "can't open " + path);
    return false;
  }
  return finish(status, path);
}

bool FeatureXmlReader::parseBuffer(std::string_view document, const std::string& name) {
  openFailed_ = false;
  parser_.reset();
  return finish(parser_.feed(document.data(), document.size(), true), name);
}

bool FeatureXmlReader::finish(XmlStatus status, const std::string& name) {
  switch (status) {
    case XmlStatus::Done:
    case XmlStatus::Stopped:
      return true;
    case XmlStatus::ParseError:
      QORN_LOG(Error, kSource,
               "Parse in error " + name + " at line " + std::to_string(parser_.line()) + " pos " +
                   std::to_string(parser_.column()) + " " + parser_.errorText());
      break;
    case XmlStatus::OpenFailed:
    case XmlStatus::ReadFailed:
    case XmlStatus::BufferFailed:
    case XmlStatus::HandlerFailed:
      QORN_LOG(Error, kSource, "can't read " + name);
      break;
  }
  reportError(kErrorFeaturesParse);
  return false;
}

void FeatureXmlReader::startElement(std::string_view name, const XmlAttributes& attributes) {
  if (name == "features") {
    startFeatures(attributes);
  } else if (name == "normalisation") {
    startNormalisation(attributes);
  } else if (name == "normf") {
    addNormaliser(attributes);
  } else if (name == "songs") {
    sFlag_ = attributes.get("s") == "1";
  } else if (name == "song") {
    startSong(attributes);
  } else if (name == "segment") {
    readSegment(attributes);
  } else if (name == "feature") {
    readFeature(attributes);
  }
}

void FeatureXmlReader::endElement(std::string_view name) {
  if (name == "normalisation") {
    inNormalisation_ = false;
  } else if (name == "song") {
    endSong();
  }
}

void FeatureXmlReader::startFeatures(const XmlAttributes& attributes) {
  version_ = std::string(attributes.get("version", "1.0"));
  if (version_.empty() || version_[0] != '1') {
    QORN_LOG(Error, kSource, "can't parse features.xml with version new than" + version_);
    ignored_ = true;
    parser_.stop();
  }
}

void FeatureXmlReader::startNormalisation(const XmlAttributes& attributes) {
  inNormalisation_ = true;
  sFlag_ = attributes.get("s") == "1";
  normfOrder_ = 0;
  if (table_ != nullptr && !lookup_) {
    table_->setVersion(std::string(attributes.get("version", "1.0")));
    table_->setScrambled(sFlag_);
  }
}

void FeatureXmlReader::addNormaliser(const XmlAttributes& attributes) {
  if (!inNormalisation_ || table_ == nullptr || lookup_) return;
  AttributeList list = toList(attributes);
  const int order = normfOrder_++;
  if (!sFlag_) {
    if (table_->add(Normaliser::fromAttributes(list))) ++normalisersRead_;
    return;
  }
  if (order >= kFeatureCount || list.empty()) {
    QORN_LOG(Error, kSource, "ignoring scrambled normaliser " + std::to_string(order));
    return;
  }
  AttributeList plain = unscrambleAttributes(list, order);
  const char* feature = getFeatureName(order);
  if (plain.front().second != feature) {
    QORN_LOG(Error, kSource,
             "scrambled normaliser " + std::to_string(order) + " does not belong to " + feature);
    return;
  }
  Normaliser n = Normaliser::fromAttributes(plain);
  n.setFeatureName(feature);
  if (table_->add(std::move(n))) ++normalisersRead_;
}

void FeatureXmlReader::startSong(const XmlAttributes& attributes) {
  inSong_ = true;
  songMd5_ = lowerAscii(attributes.get("md5"));
  skipSong_ = lookup_ && songMd5_ != *lookup_;
  song_ = FeatureSet();
  song_.setUploaded(attributes.get("ul") == "1");
}

void FeatureXmlReader::readSegment(const XmlAttributes& attributes) {
  if (!inSong_ || skipSong_) return;
  std::string_view end = attributes.get("end", "end");
  song_.setSegmentEnd(end == "end" ? -1 : intFromText(end));
  song_.setTempo(intFromText(attributes.get("tempo", "-1")));
}

void FeatureXmlReader::readFeature(const XmlAttributes& attributes) {
  if (!inSong_ || skipSong_) return;
  std::string_view name = attributes.get("name");
  int position = -1;
  if (sFlag_) {
    position = positionFromText(name);
    if (position < 0) QORN_LOG(Warn, kSource, "ignoring feature " + std::string(name));
  } else {
    position = featureNameIndex(name) - 1;
  }
  if (position >= 0) song_.setValue(position, floatFromText(attributes.get("val")));
}

void FeatureXmlReader::endSong() {
  if (!inSong_) return;
  inSong_ = false;
  if (skipSong_) return;
  ++songsRead_;
  song_.deriveTempo();
  if (lookup_) {
    found_ = std::move(song_);
    parser_.stop();
    return;
  }
  if (store_ == nullptr) return;
  if (!isMd5(songMd5_)) {
    QORN_LOG(Warn, kSource, "ignoring song with malformed md5 '" + songMd5_ + "'");
    return;
  }
  if (!song_.complete()) {
    QORN_LOG(Warn, kSource, "ignoring incomplete feature set of " + songMd5_);
    return;
  }
  // An infinity (a value such as "inf" or "1e39") is no feature a song can have.
  if (!std::all_of(song_.values().begin(), song_.values().end(),
                   [](float v) { return std::isfinite(v); })) {
    QORN_LOG(Warn, kSource,
             "ignoring damaged feature set of " + songMd5_ + ": a value is not a finite number");
    return;
  }
  if (store_->featureSet(songMd5_) != nullptr) return;
  if (store_->append(songMd5_, song_) == FeatureManager::kOk) ++songsAdded_;
}

std::optional<FeatureSet> findSongInFeaturesXml(const std::string& path, std::string_view md5) {
  FeatureXmlReader reader(nullptr, nullptr);
  reader.setLookup(std::string(md5));
  reader.parseFile(path);
  return reader.found();
}

bool FeatureManager::loadXml(const std::string& path) {
  FeatureXmlReader reader(this, &normaliserTable());
  bool ok = reader.parseFile(path);
  if (!reader.version().empty() && !reader.ignoredNewerVersion()) xmlVersion_ = reader.version();
  return ok;
}

bool loadNormaliserTable(const std::string& path) {
  NormaliserTable fresh;
  FeatureXmlReader reader(nullptr, &fresh);
  bool ok = reader.parseFile(path);
  if (reader.openFailed()) {
    reportError(kErrorNormfMissing);
    return false;
  }
  if (!ok) return false;
  if (!fresh.complete()) {
    QORN_LOG(Warn, kSource,
             path + " holds " + std::to_string(fresh.size()) + " of " +
                 std::to_string(kFeatureCount) + " normalisers");
  }
  normaliserTable() = std::move(fresh);
  return true;
}

}  // namespace qorn
