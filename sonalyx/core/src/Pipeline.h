// One GetFeatures call: hash stage, distribution, analysis stage, uploads.
#pragma once

#include <cstdint>

#include "AnalysisContext.h"

namespace sonalyx {

// Runs the three-stage pipeline over count songs and writes every result. Returns E_ABORT
// when cancelled (now or by an earlier call on the context), otherwise the status of the
// last community exchange, or -1 when none was made. Throws std::bad_alloc or
// std::system_error when memory or threads run out; the workers are stopped and joined
// before the exception leaves.
std::int32_t getFeatures(AnalysisContext& context, FESyncItem* items, int count,
                         FeatureResult* results, std::int32_t flags);

}  // namespace sonalyx
