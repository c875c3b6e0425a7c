#include "SongAnalyser.h"

#include <algorithm>

namespace sonalyx {

SongAnalyser::SongAnalyser() : buffer_(DecoderSet::kCapacity) {}

void SongAnalyser::release() {
  decoders_.unload();
  library_.tearDown();
}

Analysis SongAnalyser::analyse(const char16_t* path, float* features) {
  Analysis analysis;
  std::fill(features, features + FeatureLibrary::kFeatureCount, 0.0f);
  const DecodeResult decoded = decoders_.decode(path, buffer_.data());
  analysis.samples = decoded.samples;
  analysis.decoder = decoded.decoder;
  if (!decoded.ok()) return analysis;
  // Less than a second of audio says nothing about a song (one sample of a damaged file
  // would otherwise be stored as its features): such a window counts as undecodable.
  if (decoded.samples < kMinimumSamples) return analysis;
  if (!library_.compute(buffer_.data(), decoded.samples, features)) {
    std::fill(features, features + FeatureLibrary::kFeatureCount, 0.0f);
    return analysis;
  }
  analysis.status = decoded.status;
  analysis.mediaSeconds = decoded.mediaSeconds;
  return analysis;
}

}  // namespace sonalyx
