// The decoder plug-ins as the analysis worker sees them: Tolvane first, Pradix after it.
#pragma once

#include <cstdint>

#include "pradix/Pradix.h"
#include "tolvane/Tolvane.h"
#include "zarvell/module.h"

namespace sonalyx {

// Which plug-in produced the samples of a decode.
enum class Decoder { None, Tolvane, Pradix };
const char* decoderName(Decoder decoder);

// What one decoder answered, for reports.
struct DecodeAttempt {
  Decoder decoder = Decoder::None;
  std::int32_t status = 0;
  std::int32_t samples = 0;
};

struct DecodeResult {
  std::int32_t status = ZARVELL_E_FAIL;  // the successful decoder's status, else E_FAIL
  std::int32_t samples = 0;              // samples written into the buffer
  std::int32_t mediaSeconds = 0;         // whole song length as the decoder reported it
  Decoder decoder = Decoder::None;
  // The decoders asked, in order (none when no entry point is loaded).
  DecodeAttempt attempts[2];
  int attemptCount = 0;
  bool ok() const { return status >= 0 && samples > 0; }
};

// Owns the loaded decoder modules of one analysis worker. Loaded and released on that
// worker's thread. Nothing here throws except std::bad_alloc from module loading.
class DecoderSet {
 public:
  // Fixed arguments of every decode.
  static constexpr std::int32_t kCapacity = 661500;
  static constexpr std::int32_t kStartSeconds = 60;
  static constexpr std::int32_t kTolvaneSeconds = 30;
  static constexpr std::int32_t kPradixSeconds = 90;
  static constexpr std::int32_t kPradixTimeoutMs = 15000;

  DecoderSet() = default;
  ~DecoderSet();
  DecoderSet(const DecoderSet&) = delete;
  DecoderSet& operator=(const DecoderSet&) = delete;

  // Loads Pradix (required: without it no decoder is used, Tolvane is not even tried),
  // then Tolvane, whose InitEngine must not fail for ConvertToWave to be used. Returns 0,
  // or E_FAIL when Pradix or its entry point is missing.
  std::int32_t load();
  // CloseEngine for a started Tolvane, then unloads both. Safe to call twice.
  void unload();

  // Decodes the song's window into buffer (kCapacity samples): ConvertToWave, then
  // ExtractAudioDS when that failed or gave no samples. A null path fails.
  DecodeResult decode(const char16_t* path, std::int16_t* buffer) const;

  bool hasTolvane() const { return convertToWave_ != nullptr; }
  bool hasPradix() const { return extractAudio_ != nullptr; }

 private:
  zarvell::Module pradix_;
  PradixExtractAudioDSFn extractAudio_ = nullptr;
  zarvell::Module tolvane_;
  TolvaneConvertToWaveFn convertToWave_ = nullptr;
};

}  // namespace sonalyx
