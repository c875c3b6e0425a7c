// The exported entry point of Pradix.so. It catches everything and returns its status; no
// exception leaves the module.
#include "pradix/Pradix.h"

#include <string>

#include "DecodePipeline.h"
#include "decodercommon/SongFile.h"

namespace {

int32_t extract(const char16_t* path, int16_t* buffer, int32_t capacity, int32_t startSeconds,
                int32_t lengthSeconds, int32_t timeoutMs, int32_t* sampleCount,
                int32_t* mediaSeconds) {
  if (path == nullptr) return ZARVELL_E_FAIL;
  const std::string file = decodercommon::songPath(path);
  if (decodercommon::isProtected(file)) return ZARVELL_E_FAIL;
  if (buffer == nullptr || capacity <= 0 || startSeconds < 0 || lengthSeconds <= 0 ||
      timeoutMs < 0) {
    return ZARVELL_E_INVALIDARG;
  }
  // Only regular files are handed to the pipeline: a FIFO or device would block the source
  // inside a state change, beyond the reach of the time-out.
  if (!decodercommon::SongFile::open(file)) return ZARVELL_E_FAIL;

  pradix::DecodeRequest req;
  req.path = file;
  req.buffer = buffer;
  req.capacity = capacity;
  req.startSeconds = startSeconds;
  req.lengthSeconds = lengthSeconds;
  req.timeoutMs = timeoutMs;
  const pradix::DecodeOutcome out = pradix::decodeWithPipeline(req);
  if (sampleCount != nullptr) *sampleCount = out.samples;
  if (mediaSeconds != nullptr) *mediaSeconds = out.mediaSeconds;
  return out.status;
}

}  // namespace

extern "C" ZARVELL_EXPORT int32_t ExtractAudioDS(const char16_t* path, int16_t* buffer,
                                                 int32_t capacity, int32_t startSeconds,
                                                 int32_t lengthSeconds, int32_t timeoutMs,
                                                 int32_t* sampleCount, int32_t* mediaSeconds) {
  if (sampleCount != nullptr) *sampleCount = 0;
  if (mediaSeconds != nullptr) *mediaSeconds = 0;
  try {
    return extract(path, buffer, capacity, startSeconds, lengthSeconds, timeoutMs, sampleCount,
                   mediaSeconds);
  } catch (...) {
    return ZARVELL_E_FAIL;
  }
}
