// The reference: TagLib's own reading loop over TagLib::FileRef, reading the same tags and
// audio properties Orsank hands out. Prints nanoseconds per file of the fastest of PASSES
// passes over the files.  Usage: taglib_loop PASSES FILE...
#include <taglib/fileref.h>

#include "BenchTiming.h"

int main(int argc, char** argv) {
  return orsank::bench::timePasses(argc, argv, "taglib", [](const char* path) {
    std::size_t sink = 0;
    const TagLib::FileRef file(path);
    if (!file.isNull() && file.tag()) {
      const TagLib::Tag* tag = file.tag();
      sink += tag->title().to8Bit(true).size() + tag->album().to8Bit(true).size() +
              tag->artist().to8Bit(true).size() + tag->genre().to8Bit(true).size() + tag->year();
    }
    if (!file.isNull() && file.audioProperties()) sink += file.audioProperties()->lengthInSeconds();
    return sink;
  });
}
