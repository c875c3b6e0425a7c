#include "DecoderSet.h"

#include <algorithm>

namespace sonalyx {

const char* decoderName(Decoder decoder) {
  switch (decoder) {
    case Decoder::Tolvane:
      return "Tolvane";
    case Decoder::Pradix:
      return "Pradix";
    case Decoder::None:
      break;
  }
  return "none";
}

DecoderSet::~DecoderSet() { unload(); }

std::int32_t DecoderSet::load() {
  unload();
  pradix_ = zarvell::Module::load(PRADIX_MODULE_NAME);
  if (!pradix_) return ZARVELL_E_FAIL;
  extractAudio_ = pradix_.entry<PradixExtractAudioDSFn>(PRADIX_EXTRACT_AUDIO_DS);
  if (!extractAudio_) {
    pradix_ = zarvell::Module();
    return ZARVELL_E_FAIL;
  }

  tolvane_ = zarvell::Module::load(TOLVANE_MODULE_NAME);
  if (!tolvane_) return 0;  // Pradix alone
  auto initEngine = tolvane_.entry<TolvaneInitEngineFn>(TOLVANE_INIT_ENGINE);
  convertToWave_ = tolvane_.entry<TolvaneConvertToWaveFn>(TOLVANE_CONVERT_TO_WAVE);
  if (initEngine && initEngine() < 0) {
    // Not started, so no CloseEngine is owed.
    convertToWave_ = nullptr;
    tolvane_ = zarvell::Module();
  }
  return 0;
}

void DecoderSet::unload() {
  extractAudio_ = nullptr;
  pradix_ = zarvell::Module();
  if (tolvane_) {
    if (auto closeEngine = tolvane_.entry<TolvaneCloseEngineFn>(TOLVANE_CLOSE_ENGINE))
      closeEngine();
    tolvane_ = zarvell::Module();
  }
  convertToWave_ = nullptr;
}

DecodeResult DecoderSet::decode(const char16_t* path, std::int16_t* buffer) const {
  DecodeResult result;
  if (!path || !buffer) return result;
  // A decoder that reported more samples than the buffer holds must not make the feature
  // library read past it.
  auto clampCount = [](std::int32_t count) { return std::clamp(count, 0, kCapacity); };

  auto succeed = [&](std::int32_t status, std::int32_t count, std::int32_t seconds,
                     Decoder decoder) {
    result.status = status;
    result.samples = clampCount(count);
    result.mediaSeconds = seconds;
    result.decoder = decoder;
    return result;
  };
  std::int32_t count = 0;
  std::int32_t seconds = 0;
  if (convertToWave_) {
    const std::int32_t status =
        convertToWave_(path, buffer, kCapacity, kStartSeconds, kTolvaneSeconds, &count, &seconds);
    result.attempts[result.attemptCount++] = DecodeAttempt{Decoder::Tolvane, status, count};
    if (status >= 0 && count > 0) return succeed(status, count, seconds, Decoder::Tolvane);
  }
  if (extractAudio_) {
    count = 0;
    seconds = 0;
    const std::int32_t status = extractAudio_(path, buffer, kCapacity, kStartSeconds,
                                              kPradixSeconds, kPradixTimeoutMs, &count, &seconds);
    result.attempts[result.attemptCount++] = DecodeAttempt{Decoder::Pradix, status, count};
    if (status >= 0 && count > 0) return succeed(status, count, seconds, Decoder::Pradix);
  }
  return result;
}

}  // namespace sonalyx
