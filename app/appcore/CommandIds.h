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

inline constexpr int kSystemMenu = 1042;
inline constexpr int kDivider = 1045;
inline constexpr int kTabManager = 1057;

}  // namespace zarvell::app::command

// The items of the main window's four menus (opened under "&File", "&Edit", "&View" and
// "&Help"). Each QAction's objectName is "menu_" followed by its identifier.
namespace zarvell::app::menu {

inline constexpr int kOpenNetwork = 32771;
inline constexpr int kSaveNetwork = 32772;
inline constexpr int kImportFolder = 32773;
inline constexpr int kImportITunes = 32774;
inline constexpr int kExportM3u = 32775;
inline constexpr int kCopyMedia = 32776;
inline constexpr int kExit = 32777;
inline constexpr int kCopy = 32780;
inline constexpr int kPaste = 32781;
inline constexpr int kCut = 32782;
inline constexpr int kUntaboo = 32783;
inline constexpr int kTaboo = 32784;
inline constexpr int kBlock = 32785;
inline constexpr int kUnblock = 32786;
inline constexpr int kEnqueue = 32787;
inline constexpr int kAddKeytracks = 32788;
inline constexpr int kPreferences = 32789;
inline constexpr int kViewSongs = 32790;
inline constexpr int kViewAlbums = 32791;
inline constexpr int kViewArtists = 32792;
inline constexpr int kHelpContents = 32795;
inline constexpr int kKeyboardShortcuts = 32796;
inline constexpr int kHomepage = 32797;
inline constexpr int kAbout = 32798;
inline constexpr int kSurvey = 32799;

}  // namespace zarvell::app::menu
