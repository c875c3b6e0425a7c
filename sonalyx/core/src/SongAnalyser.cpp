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
  analysis.decode = decoded;
  if (!decoded.ok()) {
    analysis.failure =
        decoded.attemptCount == 0 ? AnalysisFailure::NoDecoder : AnalysisFailure::Undecodable;
    return analysis;
  }
  // Less than a second of audio says nothing about a song (one sample of a damaged file
  // would otherwise be stored as its features): such a window counts as undecodable.
  if (decoded.samples < kMinimumSamples) {
    analysis.failure = AnalysisFailure::TooShort;
    return analysis;
  }
  if (!library_.compute(buffer_.data(), decoded.samples, features)) {
    std::fill(features, features + FeatureLibrary::kFeatureCount, 0.0f);
    analysis.failure = AnalysisFailure::Computation;
    return analysis;
  }
  analysis.failure = AnalysisFailure::None;
  analysis.status = decoded.status;
  analysis.mediaSeconds = decoded.mediaSeconds;
  return analysis;
}

}  // namespace sonalyx
