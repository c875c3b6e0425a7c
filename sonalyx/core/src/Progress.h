// Progress reports of one GetFeatures call, made on the caller's thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// The counters every report but the first carries.
struct StageCounts {
  int hashed = 0;
  int skipped = 0;
  int analysed = 0;
  int pending = 0;
};

// Fills a zeroed ProgressRecord and hands it to the progress callback. Never throws.
class ProgressReporter {
 public:
  ProgressReporter(SonalyxProgressFn fn, void* handle, void* context)
      : fn_(fn), handle_(handle), context_(context) {}

  bool enabled() const { return fn_ != nullptr; }
  // The callback's answer (negative asks to cancel); 0 without a callback.
  std::int32_t report(int current, int total, std::u16string_view text,
                      const StageCounts& counts = StageCounts{}) const;

 private:
  SonalyxProgressFn fn_;
  void* handle_;
  void* context_;
};

// The progress texts.
std::u16string scanningText();
std::u16string scanningPercentText(int percent);
std::u16string completeText();
// File name and extension of a path (the text after the last "/"); empty for null.
std::u16string fileNameOf(const char16_t* path);

}  // namespace sonalyx
