// The decode floors of the benchmark: what any FFmpeg-based decoder of a song's window must
// at least spend. Both open and seek the file as Tolvane does (the first packet settles a
// WAV file's probe; a fast seek a quarter of a second before the window), so that the
// comparison measures Tolvane's own work, not a different way of reaching the window.
#pragma once

#include <cstdint>
#include <string>

namespace sonalyx::bench {

// Demuxes and decodes [startSeconds, startSeconds + lengthSeconds) of the file's best audio
// stream with libavformat and libavcodec alone (no resampling, no down-mixing) and returns
// the number of decoded samples per channel in the window (0 on failure). Never throws.
std::int64_t decodeWindow(const std::string& path, double startSeconds, double lengthSeconds);

// The same, with every decoded frame also converted by libswresample to what the analysis
// needs (signed 16-bit, mono, 22,050 Hz). Returns the converted samples (0 on failure).
// Never throws.
std::int64_t decodeResampleWindow(const std::string& path, double startSeconds,
                                  double lengthSeconds);

}  // namespace sonalyx::bench
