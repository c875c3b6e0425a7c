#include "Window.h"

#include <algorithm>

namespace pradix {

Window windowFor(double durationSeconds, int32_t startSeconds, int32_t lengthSeconds) {
  Window w;
  w.start = startSeconds;
  w.end = static_cast<double>(startSeconds) + lengthSeconds;
  if (durationSeconds > 0.0 && durationSeconds < w.end) {
    w.start -= w.end - durationSeconds;
    w.end = durationSeconds;
  }
  w.start = std::max(0.0, w.start);
  return w;
}

}  // namespace pradix
