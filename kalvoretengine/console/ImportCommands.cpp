// Console commands that build a network from audio files, as the player's import does:
// importFiles PATH... (the files as listed) and importFolder DIR (every supported audio
// file below the folder, links followed). Progress goes to standard error through the
// manager's callback (ProgressPrinter); the result line shows the import's result and the
// number of files handed to the engine.
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "Console.h"
#include "zarvell/FolderScan.h"

namespace kalvoret {
namespace {

// The import's result, or an error naming the cause the engine wrote into its log output.
std::string runImport(Session& s, const std::vector<std::string>& files) {
  std::vector<const char*> paths;
  paths.reserve(files.size());
  for (const std::string& file : files) paths.push_back(file.c_str());
  const float linkParam = 1.0f;
  const int result = s.manager().importFileList(paths.data(), static_cast<int>(paths.size()),
                                                linkParam);
  const char* log = s.manager().getLogOutput();
  std::string report = log ? log : "";
  while (!report.empty() && (report.back() == '\n' || report.back() == '\r')) report.pop_back();
  for (std::size_t at; (at = report.find("\r\n")) != std::string::npos;) report.replace(at, 2, "; ");
  const std::string counts = " files=" + std::to_string(files.size());
  if (result == 1) return "1" + counts + (report.empty() ? "" : " report=" + Session::quote(report));
  std::string why = result < 0 ? "import cancelled" : "import failed";
  if (!report.empty()) why += ": " + report;
  throw CommandError(why + " (result " + std::to_string(result) + counts + ")");
}

// A listed file as the folder scan would name it (canonical when it exists).
std::string filePath(const Session& s, const std::string& word) {
  const std::string path = s.path(word);
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(path, error);
  return error ? path : real.string();
}

}  // namespace

bool ProgressPrinter::progress(ProgressInfo* info) {
  if (!info || !out_) return true;
  *out_ << "progress " << info->stage << "/" << info->stages << " " << info->current << "/"
        << info->total << " " << (info->caption ? info->caption : "");
  if (info->detail && *info->detail) *out_ << ": " << info->detail;
  *out_ << "\n";
  return true;
}

void registerImportCommands(CommandTable& table) {
  table["importFiles"] = {"importFiles PATH...", 1, static_cast<std::size_t>(INT32_MAX),
                          [](Session& s, const Args& a) {
                            std::vector<std::string> files;
                            for (const std::string& word : a) files.push_back(filePath(s, word));
                            return runImport(s, files);
                          }};
  table["importFolder"] = {"importFolder DIR", 1, 1, [](Session& s, const Args& a) {
                             const std::string folder = s.path(a[0]);
                             const zarvell::FolderScanResult scan = zarvell::scanMediaFolder(folder);
                             if (!scan.skipped.empty() && scan.skipped.front() == folder)
                               throw CommandError("not a readable folder: " + Session::quote(folder));
                             return runImport(s, scan.files);
                           }};
}

}  // namespace kalvoret
