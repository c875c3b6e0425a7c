// The audio sink the player renders into, chosen by the environment.
#pragma once

#include <gst/gst.h>

namespace internalplayer {

// ZARVELL_AUDIO_SINK:
//   unset or empty  null: playbin's default (autoaudiosink, the desktop's sound output)
//   "fake"          a fakesink that keeps time (sync), so songs play in real time without
//                   a sound device: for tests and headless machines
//   any other       the GStreamer sink element of that name ("pulsesink", "alsasink", ...);
//                   a name that is not an installed sink is reported on standard error and
//                   the default is used
// Returns a new floating element, or null for the default. Never throws.
GstElement* audioSinkFromEnvironment() noexcept;

}  // namespace internalplayer
