// The settings record "Zarvell.cfg": its bytes, reading whole, foreign and cut files, values
// that cannot be used, and the atomic owner-only replacement of the file.
#include "app/appcore/AppConfig.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace L = zarvell::AppConfigLayout;
using zarvell::AppConfig;
using zarvell::AppConfigRead;

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "zarvell-appconfig-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }
  // Names in the folder (to see that no temporary file is left behind).
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(path_))
      out.push_back(entry.path().filename().string());
    return out;
  }

 private:
  fs::path path_;
};

// Runs `body` where file permissions hold: directly for an ordinary user; for root in a
// child process that first becomes the unprivileged user 65534 and owns `dir`. The child's
// failures fail the test through its exit status.
template <typename Body>
void withoutPrivilege(const ScratchDir& dir, Body body) {
  if (::geteuid() != 0) {
    body();
    return;
  }
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (::chown(dir.path().c_str(), kNobody, kNobody) != 0 || ::setgroups(0, nullptr) != 0 ||
        ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      std::fprintf(stderr, "cannot become user %u\n", kNobody);
      std::_Exit(2);
    }
    body();
    std::cout.flush();
    std::_Exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the unprivileged part failed (status " << status << ")";
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

unsigned modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// The record of the defaults, made once by hand from the field table (not by this code):
//   def text(s): return s.encode().ljust(512, b'\0')
//   rec = struct.pack('<IIi', 266, 0xABBEFEBE, 1628)
//   rec += text('internal.so') + text('') + text('')
//   rec += struct.pack('<4i', 5, 5, 10, 20000) + struct.pack('<10i', *([-32768] * 10))
//   rec += struct.pack('<3f', 1.0, 1.0, 1.0) + bytes([1, 0, 1, 0, 1, 0, 1, 0])
//   rec += struct.pack('<i', 7000)
//   open('defaults.cfg', 'wb').write(rec)   # Python 3, 1628 bytes
std::string defaultsFixture() {
  return readBytes(std::string(ZARVELL_SOURCE_DIR) + "/tests/app/appcore/data/defaults.cfg");
}

// Every field away from its default and distinct from its neighbours, so a field written to
// or read from the wrong place shows. userName fills its field exactly (511 bytes).
AppConfig everyFieldChanged() {
  AppConfig c;
  c.playerPlugin = "gst-alsa.so";
  c.userName = std::string(510, 'u') + "!";
  c.password = "p\xC3\xA4ss w\xC3\xB6rd";  // UTF-8 as typed
  c.songInhibitIndex = 0;
  c.otherInhibitIndex = 9;
  c.randomness = 37;
  c.routerPort = 31337;
  c.screenWidth = 2560;
  c.screenHeight = 1440;
  c.mainLeft = -20;
  c.mainTop = 31;
  c.mainWidth = 1024;
  c.mainHeight = 700;
  c.dialogLeft = 5;
  c.dialogTop = 6;
  c.dialogWidth = 300;
  c.dialogHeight = 400;
  c.boostStrength = 0.25f;
  c.bookmarkBoostStrength = 2.5f;
  c.linkInferenceAccuracy = 0.75f;
  c.checkUpdatesOnStart = false;
  c.clearQueueOnDoubleClick = true;
  c.autoLogin = false;
  c.freezeLinks = true;
  c.showToolTips = false;
  c.propagateToMeta = false;
  c.volume = 1234;
  return c;
}

TEST(AppConfigRecord, DefaultsAreWrittenByteForByte) {
  ScratchDir dir;
  const std::string expected = defaultsFixture();
  ASSERT_EQ(expected.size(), L::kRecordSize);
  EXPECT_EQ(AppConfig().record(), expected);
  ASSERT_TRUE(AppConfig().writeFile(dir / "Zarvell.cfg"));
  EXPECT_EQ(readBytes(dir / "Zarvell.cfg"), expected);

  AppConfig read = everyFieldChanged();
  EXPECT_EQ(read.readFile(dir / "Zarvell.cfg"), AppConfigRead::kRead);
  EXPECT_EQ(read, AppConfig());
}

// Each changed field lands at its own offset, in little-endian order.
TEST(AppConfigRecord, ChangedFieldsSitAtTheirOffsets) {
  const std::string r = everyFieldChanged().record();
  ASSERT_EQ(r.size(), L::kRecordSize);
  const struct {
    std::size_t at;
    std::uint32_t value;
  } words[] = {
      {0, 266},
      {4, 0xABBEFEBE},
      {8, 1628},
      {1548, 0},
      {1552, 9},
      {1556, 37},
      {1560, 31337},
      {1564, 2560},
      {1568, 1440},
      {1572, std::uint32_t(-20)},
      {1576, 31},
      {1580, 1024},
      {1584, 700},
      {1588, 5},
      {1592, 6},
      {1596, 300},
      {1600, 400},
      {1604, std::bit_cast<std::uint32_t>(0.25f)},
      {1608, std::bit_cast<std::uint32_t>(2.5f)},
      {1612, std::bit_cast<std::uint32_t>(0.75f)},
      {1624, 1234},
  };
  for (const auto& w : words) EXPECT_EQ(u32At(r, w.at), w.value) << "at offset " << w.at;
  EXPECT_EQ(r.substr(1616, 8), std::string("\0\1\0\1\0\0\0\0", 8));
  EXPECT_EQ(r.substr(12, 12), std::string("gst-alsa.so\0", 12));
  EXPECT_EQ(r.substr(524, 512), std::string(510, 'u') + "!" + '\0');
  EXPECT_EQ(r.substr(1036, 13), std::string("p\xC3\xA4ss w\xC3\xB6rd\0", 13));
}

TEST(AppConfigRecord, EveryFieldRoundTrips) {
  ScratchDir dir;
  const AppConfig written = everyFieldChanged();
  ASSERT_TRUE(written.writeFile(dir / "Zarvell.cfg"));
  AppConfig read;
  EXPECT_EQ(read.readFile(dir / "Zarvell.cfg"), AppConfigRead::kRead);
  EXPECT_EQ(read, written);
  EXPECT_EQ(read.userName.size(), AppConfig::kMaxTextBytes);
}

// Texts longer than a field are cut to 511 bytes, never inside a UTF-8 character, and the
// field stays terminated; a text with an embedded NUL ends there.
TEST(AppConfigRecord, LongTextsAreCutAtACharacterBoundary) {
  const struct {
    std::string text;
    std::string kept;
  } cases[] = {
      {std::string(600, 'a'), std::string(511, 'a')},
      // "ä" would take bytes 510 and 511: the cut falls before it.
      {std::string(510, 'b') + "\xC3\xA4" + "tail", std::string(510, 'b')},
      // a 4-byte character ending exactly at byte 511 is kept.
      {std::string(507, 'c') + "\xF0\x9F\x8E\xB5" + "x",
       std::string(507, 'c') + "\xF0\x9F\x8E\xB5"},
      {std::string("abc\0def", 7), "abc"},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    AppConfig config;
    config.password = c.text;
    const std::string r = config.record();
    EXPECT_EQ(r.substr(1036, c.kept.size()), c.kept);
    EXPECT_EQ(r[1036 + c.kept.size()], '\0');
    ASSERT_TRUE(config.writeFile(dir / "Zarvell.cfg"));
    AppConfig read;
    ASSERT_EQ(read.readFile(dir / "Zarvell.cfg"), AppConfigRead::kRead);
    EXPECT_EQ(read.password, c.kept);
    EXPECT_EQ(read.playerPlugin, "internal.so");  // the neighbouring field is untouched
  }
}

// A missing, short-headed or foreign file leaves every default; the next write puts a
// record of this version in its place.
TEST(AppConfigRead, ForeignOrMissingFilesKeepEveryDefault) {
  const std::string good = everyFieldChanged().record();
  auto withWord = [&](std::size_t at, std::uint32_t value) {
    std::string bytes = good;
    putU32(bytes, at, value);
    return bytes;
  };
  const struct {
    const char* what;
    std::string bytes;
    AppConfigRead expected;
  } cases[] = {
      {"older version", withWord(0, 265), AppConfigRead::kForeign},
      {"newer version", withWord(0, 267), AppConfigRead::kForeign},
      {"other magic", withWord(4, 0xABBEFEBF), AppConfigRead::kForeign},
      {"other size", withWord(8, 1632), AppConfigRead::kForeign},
      {"big-endian header", withWord(0, 0x0A010000), AppConfigRead::kForeign},
      {"empty", "", AppConfigRead::kForeign},
      {"11 bytes of header", good.substr(0, 11), AppConfigRead::kForeign},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    writeBytes(dir / "Zarvell.cfg", c.bytes);
    AppConfig config;
    EXPECT_EQ(config.readFile(dir / "Zarvell.cfg"), c.expected) << c.what;
    EXPECT_EQ(config, AppConfig()) << c.what;
    ASSERT_TRUE(config.writeFile(dir / "Zarvell.cfg")) << c.what;
    EXPECT_EQ(readBytes(dir / "Zarvell.cfg"), defaultsFixture()) << c.what;
  }
  ScratchDir dir;
  AppConfig config;
  EXPECT_EQ(config.readFile(dir / "Zarvell.cfg"), AppConfigRead::kMissing);
  EXPECT_EQ(config, AppConfig());
}

// A right header with the body cut short takes the fields that arrived whole and keeps the
// defaults of the rest, including a field cut in its middle.
TEST(AppConfigRead, ShortBodyKeepsDefaultsOfFieldsNotFullyRead) {
  const AppConfig full = everyFieldChanged();
  const std::string record = full.record();
  auto upTo = [&](int fieldsTaken) {
    // The fields in file order, each copied from `full` onto the defaults.
    AppConfig c;
    void (*const copy[])(AppConfig&, const AppConfig&) = {
        [](AppConfig& d, const AppConfig& s) { d.playerPlugin = s.playerPlugin; },
        [](AppConfig& d, const AppConfig& s) { d.userName = s.userName; },
        [](AppConfig& d, const AppConfig& s) { d.password = s.password; },
        [](AppConfig& d, const AppConfig& s) { d.songInhibitIndex = s.songInhibitIndex; },
        [](AppConfig& d, const AppConfig& s) { d.otherInhibitIndex = s.otherInhibitIndex; },
        [](AppConfig& d, const AppConfig& s) { d.randomness = s.randomness; },
        [](AppConfig& d, const AppConfig& s) { d.routerPort = s.routerPort; },
        [](AppConfig& d, const AppConfig& s) { d.screenWidth = s.screenWidth; },
        [](AppConfig& d, const AppConfig& s) { d.screenHeight = s.screenHeight; },
        [](AppConfig& d, const AppConfig& s) { d.mainLeft = s.mainLeft; },
        [](AppConfig& d, const AppConfig& s) { d.mainTop = s.mainTop; },
        [](AppConfig& d, const AppConfig& s) { d.mainWidth = s.mainWidth; },
        [](AppConfig& d, const AppConfig& s) { d.mainHeight = s.mainHeight; },
        [](AppConfig& d, const AppConfig& s) { d.dialogLeft = s.dialogLeft; },
        [](AppConfig& d, const AppConfig& s) { d.dialogTop = s.dialogTop; },
        [](AppConfig& d, const AppConfig& s) { d.dialogWidth = s.dialogWidth; },
        [](AppConfig& d, const AppConfig& s) { d.dialogHeight = s.dialogHeight; },
        [](AppConfig& d, const AppConfig& s) { d.boostStrength = s.boostStrength; },
        [](AppConfig& d, const AppConfig& s) { d.bookmarkBoostStrength = s.bookmarkBoostStrength; },
        [](AppConfig& d, const AppConfig& s) { d.linkInferenceAccuracy = s.linkInferenceAccuracy; },
        [](AppConfig& d, const AppConfig& s) { d.checkUpdatesOnStart = s.checkUpdatesOnStart; },
        [](AppConfig& d, const AppConfig& s) {
          d.clearQueueOnDoubleClick = s.clearQueueOnDoubleClick;
        },
        [](AppConfig& d, const AppConfig& s) { d.autoLogin = s.autoLogin; },
        [](AppConfig& d, const AppConfig& s) { d.freezeLinks = s.freezeLinks; },
        [](AppConfig& d, const AppConfig& s) { d.showToolTips = s.showToolTips; },
        [](AppConfig& d, const AppConfig& s) { d.propagateToMeta = s.propagateToMeta; },
    };
    for (int i = 0; i < fieldsTaken; ++i) copy[i](c, full);
    return c;
  };
  const struct {
    std::size_t length;
    int fieldsTaken;
  } cases[] = {
      {12, 0},     // header only
      {300, 0},    // inside playerPlugin
      {600, 1},    // inside userName (its text is long, so half of it arrived)
      {1036, 2},   // exactly after userName
      {1550, 3},   // inside songInhibitIndex
      {1582, 11},  // inside mainWidth: left and top taken, width and height not
      {1606, 17},  // inside boostStrength
      {1621, 25},  // after showToolTips, before propagateToMeta
      {1626, 26},  // inside volume
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    writeBytes(dir / "Zarvell.cfg", record.substr(0, c.length));
    AppConfig read;
    EXPECT_EQ(read.readFile(dir / "Zarvell.cfg"), AppConfigRead::kShortBody) << c.length;
    EXPECT_EQ(read, upTo(c.fieldsTaken)) << "cut after " << c.length << " bytes";
  }
}

// Values in a file that could not be used safely keep their defaults; bytes past a
// terminator and texts without one never reach the field.
TEST(AppConfigRead, UnusableValuesKeepTheirDefaults) {
  std::string r = AppConfig().record();
  putU32(r, L::kSongInhibitIndexAt, 10);
  putU32(r, L::kOtherInhibitIndexAt, std::uint32_t(-1));
  putU32(r, L::kBoostStrengthAt,
         std::bit_cast<std::uint32_t>(std::numeric_limits<float>::quiet_NaN()));
  putU32(r, L::kBookmarkBoostStrengthAt,
         std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity()));
  putU32(r, L::kVolumeAt, 20000);
  r.replace(L::kPlayerPluginAt, 512, std::string(512, 'x'));           // no terminator
  r.replace(L::kUserNameAt, 8, std::string("nina\0zzz", 8));           // junk after it
  r.replace(L::kPasswordAt, 512, std::string(510, 'p') + "\xC3\xA4");  // cut character
  r[L::kAutoLoginAt] = 0;
  r[L::kFreezeLinksAt] = 7;  // any non-zero byte is true
  ScratchDir dir;
  writeBytes(dir / "Zarvell.cfg", r);
  AppConfig read;
  ASSERT_EQ(read.readFile(dir / "Zarvell.cfg"), AppConfigRead::kRead);
  EXPECT_EQ(read.songInhibitIndex, 5);
  EXPECT_EQ(read.otherInhibitIndex, 5);
  EXPECT_EQ(read.boostStrength, 1.0f);
  EXPECT_EQ(read.bookmarkBoostStrength, 1.0f);
  EXPECT_EQ(read.volume, 10000);
  EXPECT_EQ(read.playerPlugin, std::string(511, 'x'));
  EXPECT_EQ(read.userName, "nina");
  EXPECT_EQ(read.password, std::string(510, 'p'));
  EXPECT_FALSE(read.autoLogin);
  EXPECT_TRUE(read.freezeLinks);

  putU32(r, L::kVolumeAt, std::uint32_t(-5));
  writeBytes(dir / "Zarvell.cfg", r);
  ASSERT_EQ(read.readFile(dir / "Zarvell.cfg"), AppConfigRead::kRead);
  EXPECT_EQ(read.volume, 0);
}

// The file holds the password: it is the owner's alone, also when it replaces an older
// file that others could read, and whatever the process's umask. No temporary file stays.
TEST(AppConfigWrite, FileIsOwnerOnly) {
  ScratchDir dir;
  const std::string path = dir / "Zarvell.cfg";
  const mode_t oldMask = ::umask(0);
  ASSERT_TRUE(everyFieldChanged().writeFile(path));
  EXPECT_EQ(modeOf(path), 0600u);
  ::umask(oldMask);

  writeBytes(path, "older");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_TRUE(everyFieldChanged().writeFile(path));
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(readBytes(path), everyFieldChanged().record());
  EXPECT_EQ(dir.names(), std::vector<std::string>{"Zarvell.cfg"});
}

// A configuration reached through a symbolic link stays linked: the file it points at is
// replaced, the link is kept.
TEST(AppConfigWrite, SymbolicLinkIsKept) {
  ScratchDir dir;
  fs::create_directory(dir.path() / "dotfiles");
  const std::string target = dir / "dotfiles/Zarvell.cfg";
  writeBytes(target, "older");
  fs::create_symlink(target, dir.path() / "Zarvell.cfg");
  ASSERT_TRUE(AppConfig().writeFile(dir / "Zarvell.cfg"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "Zarvell.cfg"));
  EXPECT_EQ(readBytes(target), defaultsFixture());
  EXPECT_EQ(modeOf(target), 0600u);
}

// When the file cannot be replaced the old one stays as it was, the failure is reported and
// nothing is left behind.
TEST(AppConfigWrite, FailureLeavesTheOldFileIntact) {
  ScratchDir dir;
  const std::string path = dir / "Zarvell.cfg";
  const std::string old = everyFieldChanged().record();
  writeBytes(path, old);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  withoutPrivilege(dir, [&] {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);  // folder no longer writable
    EXPECT_FALSE(AppConfig().writeFile(path));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  });
  EXPECT_EQ(readBytes(path), old);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"Zarvell.cfg"});

  EXPECT_FALSE(AppConfig().writeFile(dir / "no-such-folder/Zarvell.cfg"));
}

// A write that fails half-way (here the file size limit stops it after 1000 bytes, as a
// full disk would) never touches the old file: the record goes to a temporary file first,
// which is removed again.
TEST(AppConfigWrite, FailureHalfWayLeavesTheOldFileIntact) {
  ScratchDir dir;
  const std::string path = dir / "Zarvell.cfg";
  const std::string old = everyFieldChanged().record();
  writeBytes(path, old);
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
    const rlimit limit{1000, 1000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(2);
    std::_Exit(AppConfig().writeFile(path) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the write did not report its failure (status " << status << ")";
  EXPECT_EQ(readBytes(path), old);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"Zarvell.cfg"});
}

}  // namespace
