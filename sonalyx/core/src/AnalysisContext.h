// What an Init handle points to: one extraction run's callbacks and lasting state.
#pragma once

#include <atomic>

#include "CommunityConnection.h"
#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// Lives from Init to Destroy and may serve several GetFeatures calls (one at a time). The
// stop flag, once set by a cancelled report, is never cleared: later calls on the same
// context return E_ABORT.
struct AnalysisContext {
  SonalyxProgressFn progress = nullptr;
  void* progressContext = nullptr;
  SonalyxLookupFn lookup = nullptr;
  SonalyxStoreFn store = nullptr;  // kept for the engine, never called
  void* callbackContext = nullptr;
  CommunityConnection community;
  std::atomic<bool> stop{false};
};

}  // namespace sonalyx
