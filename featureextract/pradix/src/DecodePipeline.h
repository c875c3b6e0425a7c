// Decodes one window of a song through the GStreamer pipeline
// filesrc ! decodebin ! audioconvert ! audioresample ! capsfilter ! appsink.
#pragma once

#include <cstdint>
#include <string>

namespace pradix {

struct DecodeRequest {
  std::string path;  // a readable regular file, as the file system names it
  int16_t* buffer = nullptr;
  int32_t capacity = 0;  // samples, > 0
  int32_t startSeconds = 0;
  int32_t lengthSeconds = 0;  // > 0
  int32_t timeoutMs = 0;      // >= 0, bounds the whole decode
};

struct DecodeOutcome {
  int32_t status = 0;        // a zarvell status code
  int32_t samples = 0;       // written into the buffer
  int32_t mediaSeconds = 0;  // duration truncated to whole seconds, 0 when unknown
};

// Runs the pipeline: prerolls it to learn the duration, applies the window rule, seeks
// accurately to the window and plays it (as fast as it decodes) into the buffer until the
// window ends, the buffer is full, the song ends, an error occurs or the time-out passes.
// A stream that fails or ends after the seek with nothing captured is decoded once more
// from its start, the samples before the window dropped.
// The pipeline is stopped before returning, so nothing writes into the buffer afterwards.
// Status: 0; ZARVELL_E_FAIL (cannot open/decode, no audio); ZARVELL_E_ABORT (time-out);
// ZARVELL_E_UNEXPECTED (GStreamer or an element missing). Throws only std::bad_alloc.
DecodeOutcome decodeWithPipeline(const DecodeRequest& req);

}  // namespace pradix
