// What the probe found out about one file, and the two ways of printing it.
#pragma once

#include <cstdio>
#include <string>

#include "SongAnalyser.h"
#include "sonalyx/Sonalyx.h"

namespace probe {

struct FileReport {
  std::string file;       // as given (the file system's bytes)
  std::string hash;       // empty when the file has none
  std::string hashNote;   // why there is none (empty when there is one)
  sonalyx::Analysis analysis;
  float features[SONALYX_FEATURE_COUNT] = {};
};

// Why the file has no sample hash, for a user: its name has no hash kind, it is empty, or
// it cannot be read. Throws only std::bad_alloc.
std::string noHashReason(const std::string& file);

// Why the analysis failed, naming each decoder's status ("Tolvane: status 0x80004005,
// 0 samples; ..."); empty text when it succeeded. Throws only std::bad_alloc.
std::string failureReason(const sonalyx::Analysis& analysis);

// The text form: "file:", "md5:", "decoder:", "samples:", "media seconds:" lines, then
// "f300: ..." .. "f371: ..." or "features: (analysis failed)", and an empty line.
void printText(std::FILE* out, const FileReport& report);

// One JSON object (no trailing newline): file, md5 (null when none) and md5Note, decoder,
// samples, mediaSeconds, analysed, error, and features as an object of the 72 feature
// names in position order, each with its value (null when not analysed).
void printJson(std::FILE* out, const FileReport& report);

}  // namespace probe
