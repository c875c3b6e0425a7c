// Analysing one song: decode its 30-second window, compute its 72 features.
#pragma once

#include <cstdint>
#include <vector>

#include "DecoderSet.h"
#include "FeatureLibrary.h"
#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// Why an analysis failed.
enum class AnalysisFailure {
  None,
  NoDecoder,     // no decoder module is loaded
  Undecodable,   // every decoder failed or gave no samples (see decode.attempts)
  TooShort,      // decoded, but less than one second
  Computation,   // the feature library failed
};

struct Analysis {
  std::int32_t status = ZARVELL_E_FAIL;  // decoder's status on success, else E_FAIL
  std::int32_t mediaSeconds = 0;         // 0 unless the analysis succeeded
  std::int32_t samples = 0;              // samples decoded (also on a failed computation)
  Decoder decoder = Decoder::None;
  AnalysisFailure failure = AnalysisFailure::NoDecoder;
  DecodeResult decode;  // what the decoders answered
  bool ok() const { return status >= 0; }
};

// Owns what one analysis worker needs: the decoder set, the feature library's state and
// the one sample buffer (661,500 samples) reused for every song. Used on one thread; the
// decoders are loaded by loadDecoders() on that thread and released by release() (or the
// destructor). Never throws except std::bad_alloc from the constructor.
class SongAnalyser {
 public:
  // The shortest window that is analysed: one second at the decoders' output rate. A
  // shorter one fails like an undecodable song.
  static constexpr std::int32_t kMinimumSamples = SONALYX_SAMPLE_RATE;

  SongAnalyser();
  SongAnalyser(const SongAnalyser&) = delete;
  SongAnalyser& operator=(const SongAnalyser&) = delete;

  std::int32_t loadDecoders() { return decoders_.load(); }
  // Unloads the decoders, then tears the feature library down if it was set up.
  void release();

  // features receives kFeatureCount floats; it is zeroed first and holds valid values only
  // when the result is ok(). Fails (E_FAIL) when no decoder gives at least kMinimumSamples
  // samples.
  Analysis analyse(const char16_t* path, float* features);

  const DecoderSet& decoders() const { return decoders_; }
  const std::vector<std::int16_t>& samples() const { return buffer_; }

 private:
  DecoderSet decoders_;
  FeatureLibrary library_;
  std::vector<std::int16_t> buffer_;
};

}  // namespace sonalyx
