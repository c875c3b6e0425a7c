// The window rule of Pradix's decode.
#pragma once

#include <cstdint>

namespace pradix {

struct Window {
  double start = 0.0;  // seconds
  double end = 0.0;    // seconds, exclusive
};

// The window [start, start + length). When the song's duration is known (> 0) and shorter
// than the window's end, the end becomes the duration and the start moves back by the same
// amount, not below 0. Never throws.
Window windowFor(double durationSeconds, int32_t startSeconds, int32_t lengthSeconds);

}  // namespace pradix
