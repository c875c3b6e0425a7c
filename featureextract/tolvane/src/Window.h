// The window rule shared by Tolvane's decode: which part of a song is decoded.
#pragma once

#include <cstdint>

namespace tolvane {

// Start of the decoded window, in seconds. A song whose known length (mediaSeconds > 0) is
// shorter than start + length has its start moved back to mediaSeconds - length, not below
// 0, so that short songs still give their last `length` seconds. Never throws.
int32_t windowStart(int32_t mediaSeconds, int32_t startSeconds, int32_t lengthSeconds);

}  // namespace tolvane
