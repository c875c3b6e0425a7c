// kalvoret-netgen: builds a synthetic network in the engine and reports its shape, the
// time it took and the memory it holds. Usage:
//   kalvoret-netgen [--songs N] [--albums N] [--artists N] [--links N] [--seed N]
//                   [--no-keywords]
// The network stays in memory (saving it is the network file's job).
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "NetworkGenerator.h"

int main(int argc, char** argv) {
  netgen::Options options;
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
    else {
      std::cerr << "usage: kalvoret-netgen [--songs N] [--albums N] [--artists N] [--links N] "
                   "[--seed N] [--no-keywords]\n";
      return 2;
    }
  }
  if (options.songs < options.albums || options.albums < 1 || options.artists < 1) {
    std::cerr << "kalvoret-netgen: needs at least one artist, one album and a song per album\n";
    return 2;
  }
  const long before = netgen::residentBytes();
  qorn::qornManager engine("", "", nullptr);
  const netgen::Stats s = netgen::generate(engine, options);
  const long after = netgen::residentBytes();
  std::cout << "nodes " << s.nodes << "\nlinks " << s.links << "\nsong-song links "
            << s.songSongLinks << "\nlargest song degree " << s.maxSongDegree
            << "\nlargest artist degree " << s.maxArtistDegree << "\nseconds " << s.seconds
            << "\nresident MB " << after / 1048576.0 << " (network " << (after - before) / 1048576.0
            << ")\n";
  return 0;
}
