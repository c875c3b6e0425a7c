#include "Window.h"

#include <algorithm>

namespace tolvane {

int32_t windowStart(int32_t mediaSeconds, int32_t startSeconds, int32_t lengthSeconds) {
  const int64_t end = int64_t{startSeconds} + lengthSeconds;
  if (mediaSeconds > 0 && mediaSeconds < end) {
    return static_cast<int32_t>(std::max<int64_t>(0, int64_t{mediaSeconds} - lengthSeconds));
  }
  return startSeconds;
}

}  // namespace tolvane
