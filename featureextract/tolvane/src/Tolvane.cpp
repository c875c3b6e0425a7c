// The exported entry points of Tolvane.so. Each catches everything and returns its status;
// no exception leaves the module.
#include "tolvane/Tolvane.h"

#include <mutex>
#include <string>

#include "Runtime.h"
#include "WindowDecoder.h"
#include "decodercommon/SongFile.h"

namespace {

// The engine's process-wide state: how many InitEngine() calls are open, and the log level
// to restore when the last one closes. Guarded by engineMutex.
std::mutex engineMutex;
int engineReferences = 0;
int savedLogLevel = 0;

}  // namespace

extern "C" {

ZARVELL_EXPORT int32_t InitEngine(void) {
  try {
    const std::lock_guard<std::mutex> lock(engineMutex);
    if (engineReferences > 0) {
      ++engineReferences;
      return ZARVELL_S_OK;
    }
    if (!tolvane::runtimeUsable()) return ZARVELL_E_FAIL;
    savedLogLevel = tolvane::quietLogging();
    engineReferences = 1;
    return ZARVELL_S_OK;
  } catch (...) {
    return ZARVELL_E_FAIL;
  }
}

ZARVELL_EXPORT int32_t CloseEngine(void) {
  try {
    const std::lock_guard<std::mutex> lock(engineMutex);
    if (engineReferences > 0 && --engineReferences == 0) tolvane::restoreLogLevel(savedLogLevel);
    return ZARVELL_S_OK;
  } catch (...) {
    return ZARVELL_E_FAIL;
  }
}

ZARVELL_EXPORT int32_t ConvertToWave(const char16_t* path, int16_t* buffer, int32_t capacity,
                                     int32_t startSeconds, int32_t lengthSeconds,
                                     int32_t* sampleCount, int32_t* mediaSeconds) {
  if (sampleCount != nullptr) *sampleCount = 0;
  if (mediaSeconds != nullptr) *mediaSeconds = 0;
  try {
    if (path == nullptr || path[0] == u'\0') return ZARVELL_E_FAIL;
    const std::string file = decodercommon::songPath(path);
    if (decodercommon::isProtected(file)) return ZARVELL_E_FAIL;
    if (buffer == nullptr || capacity <= 0 || startSeconds < 0 || lengthSeconds <= 0) {
      return ZARVELL_E_FAIL;
    }
    tolvane::WindowRequest req;
    req.path = file;
    req.buffer = buffer;
    req.capacity = capacity;
    req.startSeconds = startSeconds;
    req.lengthSeconds = lengthSeconds;
    const tolvane::WindowResult result = tolvane::decodeWindow(req);
    if (mediaSeconds != nullptr) *mediaSeconds = result.mediaSeconds;
    if (!result.ok) return ZARVELL_E_FAIL;
    if (sampleCount != nullptr) *sampleCount = result.samples;
    return ZARVELL_S_OK;
  } catch (...) {
    return ZARVELL_E_FAIL;
  }
}

}  // extern "C"
