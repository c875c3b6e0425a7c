#include "FeatureLibrary.h"

#include "bextract/bextractRaw.h"

namespace sonalyx {

bool FeatureLibrary::compute(const std::int16_t* samples, std::int32_t count, float* output) {
  // A failed set-up owes no tear-down; the next song tries again (and fails the same way
  // while the library cannot be set up, since bextractRaw then refuses).
  if (!setUp_) setUp_ = constructMarSystems() != 0;
  int produced = 0;
  const int ok = bextractRaw(samples, count, output, kFeatureCount, &produced);
  return ok != 0 && produced == kFeatureCount;
}

void FeatureLibrary::tearDown() {
  if (!setUp_) return;
  setUp_ = false;
  destroyMarSystems();
}

}  // namespace sonalyx
