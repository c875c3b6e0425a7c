// The module's three entry points. Each catches everything and answers with a status.
#include <new>

#include "AnalysisContext.h"
#include "Pipeline.h"
#include "sonalyx/Sonalyx.h"

extern "C" {

ZARVELL_EXPORT int32_t Init(void** outHandle, SonalyxProgressFn progress, void* progressContext,
                            SonalyxLookupFn lookup, SonalyxStoreFn store,
                            void* callbackContext) {
  if (!outHandle) return ZARVELL_E_INVALIDARG;  // nowhere to hand the context to
  *outHandle = nullptr;
  auto* context = new (std::nothrow) sonalyx::AnalysisContext;
  if (context) {
    context->progress = progress;
    context->progressContext = progressContext;
    context->lookup = lookup;
    context->store = store;
    context->callbackContext = callbackContext;
  }
  *outHandle = context;
  return 0;
}

ZARVELL_EXPORT int32_t GetFeatures(void* handle, FESyncItem* items, int32_t count,
                                   FeatureResult* results, int32_t flags) {
  if (!handle) return ZARVELL_E_HANDLE;
  if (count < 0 || (count > 0 && (!items || !results))) return ZARVELL_E_INVALIDARG;
  try {
    return sonalyx::getFeatures(*static_cast<sonalyx::AnalysisContext*>(handle), items, count,
                                results, flags);
  } catch (...) {
    return ZARVELL_E_FAIL;
  }
}

ZARVELL_EXPORT int32_t Destroy(void* handle) {
  if (!handle) return ZARVELL_E_FAIL;
  auto* context = static_cast<sonalyx::AnalysisContext*>(handle);
  try {
    context->progress = nullptr;
    context->community.close();
  } catch (...) {
  }
  delete context;
  return 0;
}

}  // extern "C"
