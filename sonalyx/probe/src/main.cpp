// sonalyx-probe [--json] [--quiet] FILE|FOLDER...
//
// For each file prints its sample hash, the decoder plug-in that read it, the media seconds
// and the 72 features (as the community attributes f300..f371, or by name with --json),
// using the decoder modules of the program folder. Folders are scanned recursively for
// audio files. Reasons for files that give no result go to standard error, as does the
// progress of a run over several files. Exit status: 0 when every file was analysed, 1
// when one was missing or failed, 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "Inputs.h"
#include "Report.h"
#include "SampleHash.h"
#include "SongAnalyser.h"
#include "zarvell/text.h"

#ifndef SONALYX_PROBE_VERSION
#define SONALYX_PROBE_VERSION "0"
#endif

namespace {

constexpr const char* kUsage =
    "usage: sonalyx-probe [--json] [--quiet] FILE|FOLDER...\n"
    "\n"
    "Analyses songs as the player's library import does: for each file its sample hash\n"
    "(the song's identity), the decoder that read it, its length and its 72 audio\n"
    "features. Folders are scanned recursively for audio files (.mp3 .m4a .m4p .wav .wma\n"
    ".flac .ogg .oga .opus).\n"
    "\n"
    "  --json      one JSON array of objects on standard output, features by name\n"
    "  --quiet     no progress lines on standard error\n"
    "  --help, -h  this text\n"
    "  --version   the version\n"
    "\n"
    "Reasons for files without a result, and progress over several files, go to standard\n"
    "error. Exit status: 0 when every file was analysed, 1 when one was missing or could\n"
    "not be analysed, 2 on a usage error.\n";

struct Options {
  bool json = false;
  bool quiet = false;
  std::vector<std::string> arguments;
};

// Parses the command line; returns the exit status to stop with, or -1 to go on.
int parse(int argc, char** argv, Options& options) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options.arguments.push_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("sonalyx-probe (Zarvell) %s\n", SONALYX_PROBE_VERSION);
      return 0;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else {
      std::fprintf(stderr, "sonalyx-probe: unknown option '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (options.arguments.empty()) {
    std::fprintf(stderr, "sonalyx-probe: no file or folder given\n%s", kUsage);
    return 2;
  }
  return -1;
}

probe::FileReport probeFile(sonalyx::SongAnalyser& analyser, const std::string& file) {
  probe::FileReport report;
  report.file = file;
  const std::u16string path = zarvell::pathToUtf16(file);
  report.hash = sonalyx::sampleHash(path.c_str());
  if (report.hash.empty()) report.hashNote = probe::noHashReason(file);
  report.analysis = analyser.analyse(path.c_str(), report.features);
  return report;
}

int run(const Options& options) {
  const probe::Inputs inputs = probe::expand(options.arguments);
  for (const std::string& error : inputs.errors) std::fprintf(stderr, "sonalyx-probe: %s\n", error.c_str());
  bool allOk = inputs.errors.empty();
  sonalyx::SongAnalyser analyser;
  if (!inputs.files.empty() && analyser.loadDecoders() < 0)
    std::fprintf(stderr, "sonalyx-probe: no decoder module (Pradix.so) could be loaded\n");
  const std::size_t total = inputs.files.size();
  if (options.json) std::fputs("[", stdout);
  for (std::size_t i = 0; i < total; ++i) {
    const std::string& file = inputs.files[i];
    if (total > 1 && !options.quiet) {
      std::fprintf(stderr, "sonalyx-probe: [%zu/%zu] %s\n", i + 1, total, file.c_str());
    }
    const probe::FileReport report = probeFile(analyser, file);
    if (!report.analysis.ok()) {
      allOk = false;
      std::fprintf(stderr, "sonalyx-probe: %s: cannot be analysed: %s\n", file.c_str(),
                   probe::failureReason(report.analysis).c_str());
    }
    if (report.hash.empty()) {
      std::fprintf(stderr, "sonalyx-probe: %s: no sample hash: %s\n", file.c_str(),
                   report.hashNote.c_str());
    }
    if (options.json) {
      std::fputs(i == 0 ? "\n" : ",\n", stdout);
      probe::printJson(stdout, report);
    } else {
      probe::printText(stdout, report);
    }
    std::fflush(stdout);
  }
  if (options.json) std::fputs(total == 0 ? "]\n" : "\n]\n", stdout);
  analyser.release();
  return allOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Options options;
    const int stop = parse(argc, argv, options);
    if (stop >= 0) return stop;
    return run(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sonalyx-probe: %s\n", e.what());
    return 1;
  }
}
