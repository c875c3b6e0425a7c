// Reader of the features XML file (root "features") and of the normaliser file (root
// "normalisation"): one expat pass that hands songs to the feature store and normalisers
// to a normaliser table.
//
//   <features version="1.x">            other major versions are ignored (ERROR logged)
//   <normalisation version=".." s="0|1"> each <normf .../> adds a normaliser; s="1":
//                                        scrambled (NormaliserScramble.h)
//   <songs s="0|1">                      s="1": feature names are positions 0..71,
//                                        otherwise long feature names
//   <song md5=".." ul="0|1"> <segment seqid start end tempo> <feature name val/> ...
//
// The reader keeps one "s" flag, set by whichever of "normalisation" and "songs" came
// last. At the end of each song its set goes to the store unless the store already has
// features for that md5. Songs with a malformed md5, an incomplete vector or a value that
// is not a finite number are skipped with a warning. Lookup mode collects only the song of one md5 and stops after it; it
// changes neither the store nor the table.
//
// Single-threaded; nothing here throws except std::bad_alloc (caught by the parser
// wrapper and reported as a failed parse). Log source "qorncore/manager/featurexmlparser".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "qorncore/datatypes/ExpatParser.h"
#include "qorncore/manager/features/FeatureSet.h"

namespace qorn {

class FeatureManager;
class NormaliserTable;

class FeatureXmlReader : public XmlHandler {
 public:
  // `store` receives songs and `table` normalisers; either may be null (that part of the
  // file is then read and dropped).
  FeatureXmlReader(FeatureManager* store, NormaliserTable* table);

  // Lookup mode: collect only the song whose md5 is `md5` (compared lower-cased).
  void setLookup(std::string md5);
  const std::optional<FeatureSet>& found() const { return found_; }

  // Parses a file (in chunks of 8192 bytes). Read, buffer and parse failures report
  // error 4; a parse error is also logged with its line, column and expat's text. A file
  // that cannot be opened is logged only (openFailed() tells). True when the file was read
  // to its end or to a deliberate stop.
  bool parseFile(const std::string& path);
  // Parses a document held in memory; `name` stands for the path in messages.
  bool parseBuffer(std::string_view document, const std::string& name);
  bool openFailed() const { return openFailed_; }

  // The "features" version read ("" when the file had no features element) and whether
  // the file was ignored for being of a newer version.
  const std::string& version() const { return version_; }
  bool ignoredNewerVersion() const { return ignored_; }
  std::size_t songsRead() const { return songsRead_; }
  std::size_t songsAdded() const { return songsAdded_; }
  std::size_t normalisersRead() const { return normalisersRead_; }

  void startElement(std::string_view name, const XmlAttributes& attributes) override;
  void endElement(std::string_view name) override;

 private:
  bool finish(XmlStatus status, const std::string& name);
  void startFeatures(const XmlAttributes& attributes);
  void startNormalisation(const XmlAttributes& attributes);
  void addNormaliser(const XmlAttributes& attributes);
  void startSong(const XmlAttributes& attributes);
  void readSegment(const XmlAttributes& attributes);
  void readFeature(const XmlAttributes& attributes);
  void endSong();

  FeatureManager* store_;
  NormaliserTable* table_;
  ExpatParser parser_;
  std::optional<std::string> lookup_;
  std::optional<FeatureSet> found_;

  bool sFlag_ = false;
  bool inNormalisation_ = false;
  int normfOrder_ = 0;  // element order inside a scrambled section
  bool inSong_ = false;
  bool skipSong_ = false;
  std::string songMd5_;
  FeatureSet song_;

  std::string version_;
  bool ignored_ = false;
  bool openFailed_ = false;
  std::size_t songsRead_ = 0;
  std::size_t songsAdded_ = 0;
  std::size_t normalisersRead_ = 0;
};

// Lookup of one song in a features XML file without touching the store or the table.
std::optional<FeatureSet> findSongInFeaturesXml(const std::string& path, std::string_view md5);

}  // namespace qorn
