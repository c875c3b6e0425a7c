// kalvoret-netgen: builds a synthetic network in the engine and reports its shape, the
// time it took and the memory it holds; with --out it also saves the network as a network
// file. Usage:
//   kalvoret-netgen [--songs N] [--albums N] [--artists N] [--links N] [--seed N]
//                   [--no-keywords] [--out FILE]
// The report goes to standard output, the engine's own lines to standard error. Exit
// status: 0 done, 1 the save failed, 2 bad arguments.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "NetworkGenerator.h"
#include "qorncore/datatypes/EngineConsole.h"
#include "qorncore/manager/qornManagerNetworkFile.h"

namespace {

constexpr const char* kUsage =
    "usage: kalvoret-netgen [--songs N] [--albums N] [--artists N] [--links N] [--seed N]\n"
    "                       [--no-keywords] [--out FILE]\n";

}  // namespace

int main(int argc, char** argv) {
  netgen::Options options;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> long {
      if (i + 1 >= argc) {
        std::cerr << "kalvoret-netgen: " << arg << " needs a value\n";
        std::exit(2);
      }
      char* end = nullptr;
      const long v = std::strtol(argv[++i], &end, 10);
      if (!end || *end || v < 0) {
        std::cerr << "kalvoret-netgen: bad value for " << arg << "\n";
        std::exit(2);
      }
      return v;
    };
    if (arg == "--songs") options.songs = static_cast<int>(value());
    else if (arg == "--albums") options.albums = static_cast<int>(value());
    else if (arg == "--artists") options.artists = static_cast<int>(value());
    else if (arg == "--links") options.links = value();
    else if (arg == "--seed") options.seed = static_cast<uint64_t>(value());
    else if (arg == "--no-keywords") options.keywords = false;
    else if (arg == "--out" && i + 1 < argc && argv[i + 1][0] != '\0') out = argv[++i];
    else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "kalvoret-netgen: bad argument " << arg << "\n" << kUsage;
      return 2;
    }
  }
  if (options.songs < options.albums || options.albums < 1 || options.artists < 1) {
    std::cerr << "kalvoret-netgen: needs at least one artist, one album and a song per album\n";
    return 2;
  }
  qorn::ScopedEngineConsole console(std::cerr);
  const long before = netgen::residentBytes();
  qorn::qornManager engine("", "", nullptr);
  const netgen::Stats s = netgen::generate(engine, options);
  const long after = netgen::residentBytes();
  std::cout << "nodes " << s.nodes << "\nlinks " << s.links << "\nsong-song links "
            << s.songSongLinks << "\nlargest song degree " << s.maxSongDegree
            << "\nlargest artist degree " << s.maxArtistDegree << "\nseconds " << s.seconds
            << "\nresident MB " << after / 1048576.0 << " (network " << (after - before) / 1048576.0
            << ")\n";
  if (out.empty()) return 0;
  if (qorn::saveNetworkFile(engine, out.c_str(), std::cerr) != 1) {
    std::cerr << "kalvoret-netgen: cannot save the network to " << out << "\n";
    return 1;
  }
  std::cout << "saved " << out << "\n";
  return 0;
}
