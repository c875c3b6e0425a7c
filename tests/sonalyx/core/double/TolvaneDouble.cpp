// A stand-in for Tolvane.so for the two answers the real module cannot be made to give on
// demand. The mode comes from $SONALYX_TOLVANE_DOUBLE_MODE:
//   "init-fails"    InitEngine answers E_FAIL
//   "zero-samples"  InitEngine succeeds; ConvertToWave answers 0 with no samples
// Every call is appended as one line ("init", "convert", "close") to the file named by
// $SONALYX_TOLVANE_DOUBLE_LOG, so a test can see which entry points were used.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tolvane/Tolvane.h"

namespace {

void note(const char* what) {
  const char* log = std::getenv("SONALYX_TOLVANE_DOUBLE_LOG");
  if (!log) return;
  if (std::FILE* f = std::fopen(log, "a")) {
    std::fprintf(f, "%s\n", what);
    std::fclose(f);
  }
}

bool mode(const char* name) {
  const char* m = std::getenv("SONALYX_TOLVANE_DOUBLE_MODE");
  return m && std::strcmp(m, name) == 0;
}

}  // namespace

extern "C" {

ZARVELL_EXPORT int32_t InitEngine() {
  note("init");
  return mode("init-fails") ? ZARVELL_E_FAIL : 0;
}

ZARVELL_EXPORT int32_t CloseEngine() {
  note("close");
  return 0;
}

ZARVELL_EXPORT int32_t ConvertToWave(const char16_t*, int16_t*, int32_t, int32_t, int32_t,
                                     int32_t* sampleCount, int32_t* mediaSeconds) {
  note("convert");
  if (sampleCount) *sampleCount = 0;
  if (mediaSeconds) *mediaSeconds = 999;  // must not survive into the result
  return mode("zero-samples") ? 0 : ZARVELL_E_FAIL;
}

}  // extern "C"
