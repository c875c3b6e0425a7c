// The library's C entry points. The extractor is shared by every caller in the process and
// reference counted: each constructMarSystems() pairs with one destroyMarSystems(), and the
// last tear-down frees it, so two analysis workers never pull it from under each other.
// One mutex serialises set-up, tear-down and computation. No exception leaves this file.
#include "bextract/bextractRaw.h"

#include <cstddef>
#include <memory>
#include <mutex>

#include "extractor.h"
#include "zarvell/status.h"

namespace {

struct Library {
  std::mutex mutex;
  std::unique_ptr<bextract::Extractor> extractor;
  int users = 0;
};

Library& library() {
  static Library instance;
  return instance;
}

}  // namespace

extern "C" ZARVELL_EXPORT int constructMarSystems(void) {
  try {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (!lib.extractor) lib.extractor = std::make_unique<bextract::Extractor>();
    ++lib.users;
    return 1;
  } catch (...) {
    return 0;
  }
}

extern "C" ZARVELL_EXPORT int bextractRaw(const int16_t* samples, int sampleCount, float* output,
                                          int outputCapacity, int* produced) {
  if (produced != nullptr) *produced = 0;
  if (output == nullptr || produced == nullptr || sampleCount < 0 ||
      (samples == nullptr && sampleCount > 0) || outputCapacity < BEXTRACT_FEATURE_COUNT) {
    return 0;
  }
  try {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (!lib.extractor) return 0;
    float values[BEXTRACT_FEATURE_COUNT];
    lib.extractor->compute(samples, static_cast<std::size_t>(sampleCount), values);
    for (int i = 0; i < BEXTRACT_FEATURE_COUNT; ++i) output[i] = values[i];
    *produced = BEXTRACT_FEATURE_COUNT;
    return 1;
  } catch (...) {
    return 0;
  }
}

extern "C" ZARVELL_EXPORT int destroyMarSystems(void) {
  try {
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (lib.users > 0 && --lib.users == 0) lib.extractor.reset();
    return 1;
  } catch (...) {
    return 0;
  }
}
