// Orsank's side: ExtractMetaData through the loaded module over the same files, timed as
// taglib_loop times TagLib's own loop.  Usage: orsank_loop PASSES FILE...
#include <cstdio>
#include <cstring>

#include "BenchTiming.h"
#include "orsank/Orsank.h"
#include "zarvell/module.h"

int main(int argc, char** argv) {
  const zarvell::Module orsank = zarvell::Module::load("Orsank");
  const auto extract = orsank.entry<ExtractMetaDataFn>("ExtractMetaData");
  if (!extract) {
    std::fprintf(stderr, "orsank_loop: cannot load Orsank: %s\n", orsank.error().c_str());
    return 2;
  }
  return orsank::bench::timePasses(argc, argv, "orsank", [extract](const char* path) {
    char title[kOrsankTextBufferSize], album[kOrsankTextBufferSize];
    char artist[kOrsankTextBufferSize], genre[kOrsankTextBufferSize];
    int32_t year = 0, duration = 0;
    extract(path, title, album, artist, genre, &year, &duration);
    return std::strlen(title) + std::strlen(album) + std::strlen(artist) + std::strlen(genre) +
           static_cast<std::size_t>(year) + static_cast<std::size_t>(duration);
  });
}
