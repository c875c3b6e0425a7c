// The tool tips of the main window's controls, by control identifier. They are shown only
// while the showToolTips setting is on.
#pragma once

#include <QString>
#include <utility>

#include "app/appcore/CommandIds.h"

namespace zarvell::app {

inline constexpr std::pair<int, const char*> kMainToolTips[] = {
    {command::kPrev, "Play previous song"},
    {command::kNext, "Play next song"},
    {command::kPlay, "Play song"},
    {command::kPause, "Pause song"},
    {command::kStop, "Stop current song"},
    {command::kVolumeSlider, "Adjust the audio volume"},
    {command::kPositionSlider, "Adjust the playback position"},
    {command::kTimeField, "Click to toggle current/remaining song time"},
    {command::kFirstTextLine, "Track name"},
    {command::kSecondTextLine, "Album name / Artist name"},
    {command::kClose, "Exit Zarvell"},
    {command::kMaximize, "Maximize Zarvell window"},
    {command::kMinimize, "Minimize Zarvell to the taskbar"},
    {command::kRestore, "Restore Zarvell window"},
    {command::kLogo, "Visit Zarvell on the web"},
};

// The header's tip (the double click toggles maximised and restored).
inline constexpr const char* kHeaderToolTip =
    "Double click me to maximize/restore the Zarvell window.";

}  // namespace zarvell::app
