#include "GstRuntime.h"

#include <gst/gst.h>

#include <mutex>

namespace internalplayer {

bool gstreamerReady() noexcept {
  // GStreamer cannot be shut down and initialised again, so the outcome holds for the
  // process; gst_init_check itself is safe to call when another module of the process has
  // initialised GStreamer already.
  static std::once_flag once;
  static bool ready = false;
  try {
    std::call_once(once, [] { ready = gst_init_check(nullptr, nullptr, nullptr) != FALSE; });
  } catch (...) {
    return false;
  }
  return ready;
}

}  // namespace internalplayer
