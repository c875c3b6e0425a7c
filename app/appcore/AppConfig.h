// The player's settings and their file, "Zarvell.cfg": one binary record of exactly 1628
// bytes, little-endian, written field by field at fixed offsets (AppConfigLayout below), so
// the file is the same whatever the compiler does with the struct.
//
// Owned by the application core and used on the interface thread only; nothing here is
// shared between threads. Nothing here throws except std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarvell {

// Offsets and sizes of the fields inside the record.
namespace AppConfigLayout {
inline constexpr std::uint32_t kVersion = 266;
inline constexpr std::uint32_t kMagic = 0xABBEFEBE;
inline constexpr std::size_t kRecordSize = 1628;
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kTextField = 512;  // holds at most 511 bytes and a terminator

inline constexpr std::size_t kVersionAt = 0;
inline constexpr std::size_t kMagicAt = 4;
inline constexpr std::size_t kSizeAt = 8;
inline constexpr std::size_t kPlayerPluginAt = 12;
inline constexpr std::size_t kUserNameAt = 524;
inline constexpr std::size_t kPasswordAt = 1036;
inline constexpr std::size_t kSongInhibitIndexAt = 1548;
inline constexpr std::size_t kOtherInhibitIndexAt = 1552;
inline constexpr std::size_t kRandomnessAt = 1556;
inline constexpr std::size_t kRouterPortAt = 1560;
inline constexpr std::size_t kScreenWidthAt = 1564;
inline constexpr std::size_t kScreenHeightAt = 1568;
inline constexpr std::size_t kMainLeftAt = 1572;    // then top, width, height
inline constexpr std::size_t kDialogLeftAt = 1588;  // then top, width, height
inline constexpr std::size_t kBoostStrengthAt = 1604;
inline constexpr std::size_t kBookmarkBoostStrengthAt = 1608;
inline constexpr std::size_t kLinkInferenceAccuracyAt = 1612;
inline constexpr std::size_t kCheckUpdatesOnStartAt = 1616;
inline constexpr std::size_t kClearQueueOnDoubleClickAt = 1617;
inline constexpr std::size_t kAutoLoginAt = 1618;
inline constexpr std::size_t kFreezeLinksAt = 1619;
inline constexpr std::size_t kShowToolTipsAt = 1620;
inline constexpr std::size_t kPropagateToMetaAt = 1622;  // 1621 and 1623 are reserved, zero
inline constexpr std::size_t kVolumeAt = 1624;

static_assert(kPlayerPluginAt == kHeaderSize);
static_assert(kUserNameAt == kPlayerPluginAt + kTextField);
static_assert(kPasswordAt == kUserNameAt + kTextField);
static_assert(kSongInhibitIndexAt == kPasswordAt + kTextField);
static_assert(kMainLeftAt == kScreenHeightAt + 4 && kDialogLeftAt == kMainLeftAt + 16);
static_assert(kBoostStrengthAt == kDialogLeftAt + 16);
static_assert(kCheckUpdatesOnStartAt == kLinkInferenceAccuracyAt + 4);
static_assert(kVolumeAt + 4 == kRecordSize);
}  // namespace AppConfigLayout

// What readFile found.
enum class AppConfigRead {
  kRead,       // a whole record of this version: every field taken
  kMissing,    // no file, or it could not be opened or read: every field kept
  kForeign,    // shorter than the header, or another version, magic or size: every field kept
  kShortBody,  // right header, body cut short: the fields read in whole taken, the rest kept
};

struct AppConfig {
  // Longest text a text field keeps, in bytes (longer texts are cut at a UTF-8 character
  // boundary when written).
  static constexpr std::size_t kMaxTextBytes = AppConfigLayout::kTextField - 1;
  // Stands for "never saved" in the window geometry fields.
  static constexpr std::int32_t kUnset = -32768;

  std::string playerPlugin = "internal.so";  // file name inside "audioplugins/"
  std::string userName;                      // community user name
  std::string password;                      // community password, stored as typed
  std::int32_t songInhibitIndex = 5;         // 0..9 into the inhibit interval table
  std::int32_t otherInhibitIndex = 5;        // 0..9 into the inhibit interval table
  std::int32_t randomness = 10;              // hundredths
  std::int32_t routerPort = 20000;
  std::int32_t screenWidth = kUnset;  // screen size when the program last closed
  std::int32_t screenHeight = kUnset;
  std::int32_t mainLeft = kUnset;  // main window geometry
  std::int32_t mainTop = kUnset;
  std::int32_t mainWidth = kUnset;
  std::int32_t mainHeight = kUnset;
  std::int32_t dialogLeft = kUnset;  // bookmarks window geometry
  std::int32_t dialogTop = kUnset;
  std::int32_t dialogWidth = kUnset;
  std::int32_t dialogHeight = kUnset;
  float boostStrength = 1.0f;
  float bookmarkBoostStrength = 1.0f;
  float linkInferenceAccuracy = 1.0f;
  bool checkUpdatesOnStart = true;
  bool clearQueueOnDoubleClick = false;
  bool autoLogin = true;
  bool freezeLinks = false;
  bool showToolTips = true;
  bool propagateToMeta = true;
  std::int32_t volume = 7000;  // 0..10000

  bool operator==(const AppConfig&) const = default;

  // Reads the record at `path` into this object. Fields that the file does not hold in
  // whole keep their current values (the defaults for a new object): all of them for a
  // missing or foreign file, those past the end for a body cut short. A text is taken up to
  // its terminator and never past 511 bytes, cut at a character boundary. Values that could
  // not be used safely keep theirs too: an inhibit index outside 0..9, a strength or
  // accuracy that is not a finite number; the volume is clamped to 0..10000.
  // Returns what was found; never throws except std::bad_alloc.
  AppConfigRead readFile(const std::string& path);

  // Replaces the file at `path` with the record of this object, atomically: the record is
  // written to a new file of mode 0600 (it holds the password) in the same folder, flushed
  // to disk and renamed over the old one, and the folder is flushed. Returns false when the
  // file could not be replaced; the old file is then left as it was. Never throws except
  // std::bad_alloc.
  bool writeFile(const std::string& path) const;

  // The 1628 bytes writeFile writes.
  std::string record() const;
};

}  // namespace zarvell
