// sonalyx-probe FILE...
//
// For each file prints its sample hash, the decoder plug-in that read it, the media seconds
// and the 72 features (as the community attributes f300..f371), using the decoder modules
// of the program folder. Exit status: 0 when every file was analysed, 1 when one failed,
// 2 on a usage error.
#include <cstdio>
#include <exception>
#include <string>

#include "SampleHash.h"
#include "SongAnalyser.h"
#include "sonalyx/Sonalyx.h"
#include "zarvell/text.h"

namespace {

bool probe(sonalyx::SongAnalyser& analyser, const char* file) {
  const std::u16string path = zarvell::pathToUtf16(file);
  const std::string hash = sonalyx::sampleHash(path.c_str());
  float features[SONALYX_FEATURE_COUNT] = {};
  const sonalyx::Analysis analysis = analyser.analyse(path.c_str(), features);

  std::printf("file: %s\n", file);
  std::printf("md5: %s\n", hash.empty() ? "(none)" : hash.c_str());
  std::printf("decoder: %s\n", sonalyx::decoderName(analysis.decoder));
  std::printf("samples: %d\n", static_cast<int>(analysis.samples));
  std::printf("media seconds: %d\n", static_cast<int>(analysis.mediaSeconds));
  if (!analysis.ok()) {
    std::printf("features: (analysis failed)\n\n");
    return false;
  }
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k)
    std::printf("f%d: %0.8f\n", 300 + k, static_cast<double>(features[k]));
  std::printf("\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sonalyx-probe FILE...\n");
    return 2;
  }
  try {
    sonalyx::SongAnalyser analyser;
    if (analyser.loadDecoders() < 0)
      std::fprintf(stderr, "sonalyx-probe: no decoder module (Pradix.so) could be loaded\n");
    bool allOk = true;
    for (int i = 1; i < argc; ++i) allOk = probe(analyser, argv[i]) && allOk;
    analyser.release();
    return allOk ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sonalyx-probe: %s\n", e.what());
    return 1;
  }
}
