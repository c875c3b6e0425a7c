#include "FeatureLibrary.h"

#include <mutex>

#include "bextract/bextractRaw.h"

namespace sonalyx {
namespace {

// The library's own state is global; these guard it for the whole process.
std::mutex& libraryMutex() {
  static std::mutex mutex;
  return mutex;
}
int libraryUsers = 0;  // guarded by libraryMutex()

}  // namespace

bool FeatureLibrary::compute(const std::int16_t* samples, std::int32_t count, float* output) {
  std::lock_guard<std::mutex> lock(libraryMutex());
  if (!setUp_) {
    if (libraryUsers++ == 0) constructMarSystems();
    setUp_ = true;
  }
  int produced = 0;
  const int ok = bextractRaw(samples, count, output, kFeatureCount, &produced);
  return ok != 0 && produced == kFeatureCount;
}

void FeatureLibrary::tearDown() {
  std::lock_guard<std::mutex> lock(libraryMutex());
  if (!setUp_) return;
  setUp_ = false;
  if (--libraryUsers == 0) destroyMarSystems();
}

}  // namespace sonalyx
