// The GStreamer runtime of the player module.
#pragma once

namespace internalplayer {

// Initialises GStreamer the first time it is called (the only gst_init of this module; later
// calls only report the first outcome). True when the runtime is usable. Thread-safe; never
// throws.
bool gstreamerReady() noexcept;

}  // namespace internalplayer
