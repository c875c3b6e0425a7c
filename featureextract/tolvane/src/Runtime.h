// Start and stop of the FFmpeg runtime as seen by Tolvane's engine entry points.
#pragma once

namespace tolvane {

// True when the FFmpeg libraries loaded at run time have the major versions Tolvane was built
// against (a mismatch means structure layouts differ and decoding is unsafe). Never throws.
bool runtimeUsable();

// Lowers FFmpeg's process-wide log level so that damaged files do not flood standard error,
// and returns the previous level for restoreLogLevel(). Never throws.
int quietLogging();
void restoreLogLevel(int level);

}  // namespace tolvane
