// zarvell-train: builds the shipped link-inference data from the reference collection.
//   zarvell-train ARFF OUTFOLDER [--pairs N] [--hlc-c C] [--hlc-gamma G] [--pair-c C]
//                 [--pair-gamma G] [--skip-pairwise] [--verbose]
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "ModelTrainer.h"
#include "qorncore/datatypes/EngineLog.h"

int main(int argc, char** argv) {
  qorn::training::Options o;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--verbose") {
      o.verbose = true;
    } else if (a == "--hlc-c" && i + 1 < argc) {
      o.hlcC = std::strtod(argv[++i], nullptr);
    } else if (a == "--hlc-gamma" && i + 1 < argc) {
      o.hlcGamma = std::strtod(argv[++i], nullptr);
    } else if (a == "--pair-c" && i + 1 < argc) {
      o.pairC = std::strtod(argv[++i], nullptr);
    } else if (a == "--pair-gamma" && i + 1 < argc) {
      o.pairGamma = std::strtod(argv[++i], nullptr);
    } else if (a == "--skip-pairwise") {
      o.skipPairwise = true;
    } else if (a == "--pairs" && i + 1 < argc) {
      o.pairsPerClass = static_cast<std::size_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (!a.empty() && a[0] != '-' && positional == 0) {
      o.arffPath = a;
      ++positional;
    } else if (!a.empty() && a[0] != '-' && positional == 1) {
      o.outFolder = a;
      ++positional;
    } else {
      positional = -1;
      break;
    }
  }
  if (positional != 2 || o.pairsPerClass == 0) {
    std::cerr << "usage: zarvell-train ARFF OUTFOLDER [--pairs N] [--hlc-c C] [--hlc-gamma G]"
                 " [--pair-c C] [--pair-gamma G] [--skip-pairwise] [--verbose]\n";
    return 2;
  }
  // The engine code it runs logs (normaliser reading); those lines go to a file of their own.
  std::error_code ec;
  const std::filesystem::path log = std::filesystem::temp_directory_path(ec) / "zarvell-train.log";
  qorn::configureEngineLogging(log.string());
  std::string error;
  const bool ok = qorn::training::trainAll(o, error);
  qorn::shutdownEngineLogging();
  if (!ok) {
    std::cerr << "zarvell-train: " << error << "\n";
    return 1;
  }
  return 0;
}
