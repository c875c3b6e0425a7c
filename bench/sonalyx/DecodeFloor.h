// The decode floor of the benchmark: demux and decode a window of a song with libavformat
// and libavcodec alone (no resampling, no down-mixing), the least any FFmpeg-based decoder
// of that window can cost.
#pragma once

#include <cstdint>
#include <string>

namespace sonalyx::bench {

// Decodes [startSeconds, startSeconds + lengthSeconds) of the file's best audio stream and
// returns the number of decoded samples per channel (0 on failure). Never throws.
std::int64_t decodeWindow(const std::string& path, double startSeconds, double lengthSeconds);

}  // namespace sonalyx::bench
