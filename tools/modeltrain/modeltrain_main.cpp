// zarvell-train: builds the shipped link-inference data from the reference collection.
//   zarvell-train ARFF OUTFOLDER [--settings FILE] [--pairs N] [--hlc-c C] [--hlc-gamma G]
//                 [--pair-c C] [--pair-gamma G] [--skip-pairwise] [--verbose]
//   zarvell-train --search ARFF SETTINGS_OUT [--folds K] [--repeats R] [--spreads S,S,...]
//                 [--verbose]
//   zarvell-train --score ARFF SETTINGS [--folds K] [--repeats R] [--pools P]
// The first trains the files into OUTFOLDER with the settings of FILE (default: six label
// models); the second chooses those settings by cross-validation inside the training part
// and writes them, printing the table of scored combinations; the third prints the
// cross-fitted score of a settings file (CrossFitScore.h).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "CrossFitScore.h"
#include "ModelSearch.h"
#include "ModelTrainer.h"
#include "qorncore/datatypes/EngineLog.h"

namespace {

constexpr const char* kUsage =
    "usage: zarvell-train ARFF OUTFOLDER [--settings FILE] [--pairs N] [--hlc-c C] [--hlc-gamma G]"
    " [--pair-c C] [--pair-gamma G] [--skip-pairwise] [--verbose]\n"
    "       zarvell-train --search ARFF SETTINGS_OUT [--folds K] [--repeats R] [--spreads S,S,...]"
    " [--verbose]\n"
    "       zarvell-train --score ARFF SETTINGS [--folds K] [--repeats R] [--pools P]\n";

// A positive number, or nothing.
bool positiveNumber(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && out > 0;
}

// A comma-separated list of spreads (each at least 1), or nothing.
bool spreadList(const std::string& text, std::vector<double>& out) {
  out.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    double v = 0;
    if (!positiveNumber(text.substr(start, comma - start).c_str(), v) || v < 1) return false;
    out.push_back(v);
    start = comma + 1;
  }
  return !out.empty();
}

// Parses the arguments into `o` (training) or `s` (search); false on a usage error.
bool parse(int argc, char** argv, bool& search, qorn::training::Options& o,
           qorn::training::SearchOptions& s) {
  std::string positional[2];
  int count = 0;
  search = argc > 1 && std::string(argv[1]) == "--search";
  for (int i = search ? 2 : 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    double v = 0;
    if (a == "--verbose") {
      o.verbose = s.verbose = true;
    } else if (!search && a == "--skip-pairwise") {
      o.skipPairwise = true;
    } else if (search && a == "--spreads" && hasValue) {
      if (!spreadList(argv[++i], s.spreads)) return false;
    } else if (!search && a == "--settings" && hasValue) {
      o.settingsPath = argv[++i];
    } else if (hasValue &&
               (a == "--hlc-c" || a == "--hlc-gamma" || a == "--pair-c" || a == "--pair-gamma" ||
                a == "--pairs" || a == "--folds" || a == "--repeats")) {
      if (!positiveNumber(argv[++i], v)) return false;
      const bool whole = v == static_cast<double>(static_cast<long>(v));
      if (search && a == "--folds" && whole && v >= 2)
        s.folds = static_cast<int>(v);
      else if (search && a == "--repeats" && whole)
        s.repeats = static_cast<int>(v);
      else if (!search && a == "--pairs" && whole)
        o.pairsPerClass = static_cast<std::size_t>(v);
      else if (!search && a == "--hlc-c")
        o.hlcC = v;
      else if (!search && a == "--hlc-gamma")
        o.hlcGamma = v;
      else if (!search && a == "--pair-c")
        o.pairC = v;
      else if (!search && a == "--pair-gamma")
        o.pairGamma = v;
      else
        return false;
    } else if (!a.empty() && a[0] != '-' && count < 2) {
      positional[count++] = a;
    } else {
      return false;
    }
  }
  if (count != 2) return false;
  o.arffPath = s.arffPath = positional[0];
  o.outFolder = s.outPath = positional[1];
  return true;
}

// Parses the --score arguments into `o`; false on a usage error.
bool parseScore(int argc, char** argv, qorn::training::ScoreOptions& o) {
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    double v = 0;
    if ((a == "--folds" || a == "--repeats" || a == "--pools") && i + 1 < argc) {
      if (!positiveNumber(argv[++i], v) || v != static_cast<double>(static_cast<int>(v)))
        return false;
      (a == "--folds" ? o.folds : a == "--repeats" ? o.repeats : o.pools) = static_cast<int>(v);
    } else if (!a.empty() && a[0] != '-') {
      positional.push_back(a);
    } else {
      return false;
    }
  }
  if (positional.size() != 2 || o.folds < 2) return false;
  o.arffPath = positional[0];
  o.settingsPath = positional[1];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qorn::training::Options o;
  qorn::training::SearchOptions s;
  qorn::training::ScoreOptions score;
  bool search = false;
  const bool scoring = argc > 1 && std::string(argv[1]) == "--score";
  if (scoring ? !parseScore(argc, argv, score) : !parse(argc, argv, search, o, s)) {
    std::cerr << kUsage;
    return 2;
  }
  enum class Mode { Train, Search, Score };
  const Mode mode = scoring ? Mode::Score : search ? Mode::Search : Mode::Train;
  // The engine code it runs logs (normaliser reading, CV building); those lines go to a file
  // of their own.
  std::error_code ec;
  const std::filesystem::path log = std::filesystem::temp_directory_path(ec) / "zarvell-train.log";
  qorn::configureEngineLogging(log.string());
  std::string error;
  bool ok = false;
  switch (mode) {
    case Mode::Train:
      ok = qorn::training::trainAll(o, error);
      break;
    case Mode::Search:
      ok = qorn::training::runSearch(s, std::cout, error);
      break;
    case Mode::Score:
      ok = qorn::training::runScore(score, std::cout, error);
      break;
  }
  qorn::shutdownEngineLogging();
  if (!ok) {
    std::cerr << "zarvell-train: " << error << "\n";
    return 1;
  }
  return 0;
}
