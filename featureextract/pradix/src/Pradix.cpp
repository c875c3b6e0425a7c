// The exported entry point of Pradix.so. It catches everything and returns its status; no
// exception leaves the module.
#include "pradix/Pradix.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "DecodePipeline.h"
#include "zarvell/text.h"

namespace {

// Protected (DRM) files are never decoded.
bool isProtected(std::string_view utf8Path) {
  std::string upper(utf8Path);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  });
  return upper.find(".M4P") != std::string::npos;
}

// Only regular files are handed to the pipeline: a FIFO or device would block the source
// inside a state change, beyond the reach of the time-out.
bool isRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int32_t extract(const char16_t* path, int16_t* buffer, int32_t capacity, int32_t startSeconds,
                int32_t lengthSeconds, int32_t timeoutMs, int32_t* sampleCount,
                int32_t* mediaSeconds) {
  if (path == nullptr) return ZARVELL_E_FAIL;
  const std::string utf8 = zarvell::utf16ToUtf8(std::u16string_view(path));
  if (isProtected(utf8)) return ZARVELL_E_FAIL;
  if (buffer == nullptr || capacity <= 0 || startSeconds < 0 || lengthSeconds <= 0 ||
      timeoutMs < 0) {
    return ZARVELL_E_INVALIDARG;
  }
  if (utf8.empty() || !isRegularFile(utf8)) return ZARVELL_E_FAIL;

  pradix::DecodeRequest req;
  req.path = utf8;
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
