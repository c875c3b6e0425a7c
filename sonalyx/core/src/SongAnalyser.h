// Analysing one song: decode its 30-second window, compute its 72 features.
#pragma once

#include <cstdint>
#include <vector>

#include "DecoderSet.h"
#include "FeatureLibrary.h"

namespace sonalyx {

struct Analysis {
  std::int32_t status = ZARVELL_E_FAIL;  // decoder's status on success, else E_FAIL
  std::int32_t mediaSeconds = 0;         // 0 unless the analysis succeeded
  std::int32_t samples = 0;              // samples decoded (also on a failed computation)
  Decoder decoder = Decoder::None;
  bool ok() const { return status >= 0; }
};

// Owns what one analysis worker needs: the decoder set, the feature library's state and
// the one sample buffer (661,500 samples) reused for every song. Used on one thread; the
// decoders are loaded by loadDecoders() on that thread and released by release() (or the
// destructor). Never throws except std::bad_alloc from the constructor.
class SongAnalyser {
 public:
  SongAnalyser();
  SongAnalyser(const SongAnalyser&) = delete;
  SongAnalyser& operator=(const SongAnalyser&) = delete;

  std::int32_t loadDecoders() { return decoders_.load(); }
  // Unloads the decoders, then tears the feature library down if it was set up.
  void release();

  // features receives kFeatureCount floats; it is zeroed first and holds valid values only
  // when the result is ok().
  Analysis analyse(const char16_t* path, float* features);

  const DecoderSet& decoders() const { return decoders_; }
  const std::vector<std::int16_t>& samples() const { return buffer_; }

 private:
  DecoderSet decoders_;
  FeatureLibrary library_;
  std::vector<std::int16_t> buffer_;
};

}  // namespace sonalyx
