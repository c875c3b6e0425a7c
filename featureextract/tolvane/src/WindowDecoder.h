// Decodes one window of a song file to signed 16-bit mono samples at 22,050 Hz.
#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

struct WindowRequest {
  std::string path;  // as the file system names it (usually UTF-8)
  int16_t* buffer = nullptr;
  int32_t capacity = 0;  // samples, > 0
  int32_t startSeconds = 0;
  int32_t lengthSeconds = 0;  // > 0
};

struct WindowResult {
  bool ok = false;
  int32_t samples = 0;       // written to the buffer; 0 unless ok
  int32_t mediaSeconds = 0;  // whole seconds of the whole song, 0 when unknown
};

// Decodes the first audio stream of req.path from the window start (see windowStart) for at
// most lengthSeconds and at most capacity samples. The window starts exactly at its start
// time: the input is seeked a little ahead of it (by the container's index or position, or
// for a variable-rate MP3 by reading, never decoding, the frames before it), and decoded
// samples before the start are dropped by their timestamps. Work is bounded
// in time so that damaged files cannot hang the caller. ok is false when the file cannot be
// opened, has no audio, cannot be decoded or gives no sample in the window. Throws only
// std::bad_alloc.
WindowResult decodeWindow(const WindowRequest& req);

}  // namespace tolvane
