// Which elements decodebin may plug into a song's pipeline.
#pragma once

#include <gst/gst.h>

namespace pradix {

// A song is one local file: true for elements that would read other files or the network
// on the file's say-so (HLS, DASH and Smooth Streaming demuxers, which fetch what a
// playlist names, and sources of any kind). decodebin is told to skip them, whatever the
// file's content claims to be. Never throws.
bool readsBeyondTheFile(GstElementFactory* factory);

}  // namespace pradix
