#include "app/appcore/AppConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "zarvell/text.h"

namespace zarvell {
namespace {

namespace L = AppConfigLayout;

// Closes a POSIX descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (a late write error shows here).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int fd_;
};

// The record being written: zeroes until a field is put at its offset.
class RecordWriter {
 public:
  RecordWriter() : bytes_(L::kRecordSize, '\0') {}
  void putU32(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  void putI32(std::size_t at, std::int32_t value) { putU32(at, static_cast<std::uint32_t>(value)); }
  void putFloat(std::size_t at, float value) { putU32(at, std::bit_cast<std::uint32_t>(value)); }
  void putBool(std::size_t at, bool value) { bytes_[at] = value ? 1 : 0; }
  // Up to the text's first NUL, at most 511 bytes cut at a character boundary, terminated.
  void putText(std::size_t at, const std::string& text) {
    const std::string_view upToNul(text.c_str());
    copyToBuffer(upToNul, bytes_.data() + at, L::kTextField);
  }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// The bytes of a record as read: a field is taken only when it lies wholly inside them.
class RecordReader {
 public:
  explicit RecordReader(std::string_view bytes) : bytes_(bytes) {}
  bool has(std::size_t at, std::size_t size) const { return at + size <= bytes_.size(); }
  std::uint32_t u32(std::size_t at) const {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at + i])) << (8 * i);
    return value;
  }
  void getI32(std::size_t at, std::int32_t& field) const {
    if (has(at, 4)) field = static_cast<std::int32_t>(u32(at));
  }
  void getFloat(std::size_t at, float& field) const {
    if (!has(at, 4)) return;
    const float value = std::bit_cast<float>(u32(at));
    if (std::isfinite(value)) field = value;
  }
  void getBool(std::size_t at, bool& field) const {
    if (has(at, 1)) field = bytes_[at] != 0;
  }
  void getIndex(std::size_t at, std::int32_t& field) const {
    std::int32_t value = field;
    getI32(at, value);
    if (value >= 0 && value <= 9) field = value;
  }
  void getText(std::size_t at, std::string& field) const {
    if (!has(at, L::kTextField)) return;
    std::string_view text = bytes_.substr(at, L::kTextField);
    text = text.substr(0, text.find('\0'));  // the whole field when unterminated
    field = std::string(cutAtCharBoundary(text, AppConfig::kMaxTextBytes));
  }

 private:
  std::string_view bytes_;
};

// Reads up to `limit` bytes, fewer only at the end of the file. False on a read error.
bool readUpTo(int fd, std::size_t limit, std::string& out) {
  out.assign(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = ::read(fd, out.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return true;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The file a write replaces: the target of a symbolic link (so a linked configuration
// stays linked), else the path itself.
std::string replacedFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Flushes a folder's entries to disk. File systems that cannot sync a folder count as done.
bool syncFolder(const std::string& folder) {
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return false;
  if (::fsync(dir.get()) != 0 && errno != EINVAL && errno != ENOTSUP) return false;
  return true;
}

}  // namespace

std::string AppConfig::record() const {
  RecordWriter w;
  w.putU32(L::kVersionAt, L::kVersion);
  w.putU32(L::kMagicAt, L::kMagic);
  w.putU32(L::kSizeAt, static_cast<std::uint32_t>(L::kRecordSize));
  w.putText(L::kPlayerPluginAt, playerPlugin);
  w.putText(L::kUserNameAt, userName);
  w.putText(L::kPasswordAt, password);
  w.putI32(L::kSongInhibitIndexAt, songInhibitIndex);
  w.putI32(L::kOtherInhibitIndexAt, otherInhibitIndex);
  w.putI32(L::kRandomnessAt, randomness);
  w.putI32(L::kRouterPortAt, routerPort);
  w.putI32(L::kScreenWidthAt, screenWidth);
  w.putI32(L::kScreenHeightAt, screenHeight);
  w.putI32(L::kMainLeftAt, mainLeft);
  w.putI32(L::kMainLeftAt + 4, mainTop);
  w.putI32(L::kMainLeftAt + 8, mainWidth);
  w.putI32(L::kMainLeftAt + 12, mainHeight);
  w.putI32(L::kDialogLeftAt, dialogLeft);
  w.putI32(L::kDialogLeftAt + 4, dialogTop);
  w.putI32(L::kDialogLeftAt + 8, dialogWidth);
  w.putI32(L::kDialogLeftAt + 12, dialogHeight);
  w.putFloat(L::kBoostStrengthAt, boostStrength);
  w.putFloat(L::kBookmarkBoostStrengthAt, bookmarkBoostStrength);
  w.putFloat(L::kLinkInferenceAccuracyAt, linkInferenceAccuracy);
  w.putBool(L::kCheckUpdatesOnStartAt, checkUpdatesOnStart);
  w.putBool(L::kClearQueueOnDoubleClickAt, clearQueueOnDoubleClick);
  w.putBool(L::kAutoLoginAt, autoLogin);
  w.putBool(L::kFreezeLinksAt, freezeLinks);
  w.putBool(L::kShowToolTipsAt, showToolTips);
  w.putBool(L::kPropagateToMetaAt, propagateToMeta);
  w.putI32(L::kVolumeAt, volume);
  return w.take();
}

AppConfigRead AppConfig::readFile(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return AppConfigRead::kMissing;
  std::string bytes;
  if (!readUpTo(fd.get(), L::kRecordSize, bytes)) return AppConfigRead::kMissing;
  const RecordReader r(bytes);
  if (!r.has(0, L::kHeaderSize) || r.u32(L::kVersionAt) != L::kVersion ||
      r.u32(L::kMagicAt) != L::kMagic || r.u32(L::kSizeAt) != L::kRecordSize)
    return AppConfigRead::kForeign;

  r.getText(L::kPlayerPluginAt, playerPlugin);
  r.getText(L::kUserNameAt, userName);
  r.getText(L::kPasswordAt, password);
  r.getIndex(L::kSongInhibitIndexAt, songInhibitIndex);
  r.getIndex(L::kOtherInhibitIndexAt, otherInhibitIndex);
  r.getI32(L::kRandomnessAt, randomness);
  r.getI32(L::kRouterPortAt, routerPort);
  r.getI32(L::kScreenWidthAt, screenWidth);
  r.getI32(L::kScreenHeightAt, screenHeight);
  r.getI32(L::kMainLeftAt, mainLeft);
  r.getI32(L::kMainLeftAt + 4, mainTop);
  r.getI32(L::kMainLeftAt + 8, mainWidth);
  r.getI32(L::kMainLeftAt + 12, mainHeight);
  r.getI32(L::kDialogLeftAt, dialogLeft);
  r.getI32(L::kDialogLeftAt + 4, dialogTop);
  r.getI32(L::kDialogLeftAt + 8, dialogWidth);
  r.getI32(L::kDialogLeftAt + 12, dialogHeight);
  r.getFloat(L::kBoostStrengthAt, boostStrength);
  r.getFloat(L::kBookmarkBoostStrengthAt, bookmarkBoostStrength);
  r.getFloat(L::kLinkInferenceAccuracyAt, linkInferenceAccuracy);
  r.getBool(L::kCheckUpdatesOnStartAt, checkUpdatesOnStart);
  r.getBool(L::kClearQueueOnDoubleClickAt, clearQueueOnDoubleClick);
  r.getBool(L::kAutoLoginAt, autoLogin);
  r.getBool(L::kFreezeLinksAt, freezeLinks);
  r.getBool(L::kShowToolTipsAt, showToolTips);
  r.getBool(L::kPropagateToMetaAt, propagateToMeta);
  r.getI32(L::kVolumeAt, volume);
  volume = std::clamp(volume, 0, 10000);
  return r.has(0, L::kRecordSize) ? AppConfigRead::kRead : AppConfigRead::kShortBody;
}

bool AppConfig::writeFile(const std::string& path) const {
  const std::string target = replacedFile(path);
  const std::string folder = folderOf(target);
  const std::size_t slash = target.rfind('/');
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temporary = (folder == "/" ? "" : folder) + "/." + name + ".new-XXXXXX";

  // mkstemp creates the file with mode 0600 already; fchmod makes sure whatever the umask.
  FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  const bool written = ::fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 && writeAll(fd.get(), record()) &&
                       ::fsync(fd.get()) == 0 && fd.close();
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return syncFolder(folder);
}

}  // namespace zarvell
