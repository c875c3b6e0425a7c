// Command and control identifiers of the main window, the suggestions page and the
// bookmarks window. Each control's objectName carries its identifier ("PLAY_1035"), so
// tests and accessibility tools can find it.
#pragma once

namespace zarvell::app::command {

inline constexpr int kRefreshBookmarks = 2;
inline constexpr int kClearBookmarks = 3;
inline constexpr int kClose = 1023;
inline constexpr int kMaximize = 1024;
inline constexpr int kMinimize = 1025;
inline constexpr int kRestore = 1026;
inline constexpr int kFileMenu = 1027;
inline constexpr int kEditMenu = 1028;
inline constexpr int kViewMenu = 1029;
inline constexpr int kPrev = 1034;
inline constexpr int kPlay = 1035;
inline constexpr int kStop = 1036;
inline constexpr int kNext = 1037;
inline constexpr int kMute = 1038;
inline constexpr int kPause = 1039;
inline constexpr int kUnmute = 1040;
inline constexpr int kHelpMenu = 1041;
inline constexpr int kLogo = 1055;
inline constexpr int kBoost = 1091;
inline constexpr int kGo = 1092;
inline constexpr int kBookmarks = 1093;

// Controls that are not commands.
inline constexpr int kVolumeSlider = 1062;
inline constexpr int kPositionSlider = 1063;
inline constexpr int kFirstTextLine = 1096;
inline constexpr int kSecondTextLine = 1097;
inline constexpr int kTimeField = 1098;

// Sources of playFromList: the view a song was picked in.
inline constexpr int kSourceSuggestions = 0;
inline constexpr int kSourceHistory = 2;
inline constexpr int kSourceQueue = 3;

}  // namespace zarvell::app::command
