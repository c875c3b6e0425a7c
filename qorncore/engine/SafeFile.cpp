#include "SafeFile.h"

#include "FileFlusher.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>
#include <utility>

namespace qorn {
namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string reason() {
  return std::strerror(errno);
}

bool syncFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  const bool synced = ::fsync(dir) == 0 || errno == EINVAL;  // some file systems refuse
  const int saved = errno;
  ::close(dir);
  errno = saved;
  return synced;
}

// Copies `from` into a new file `to` (the backup where hard links are not supported);
// `exclusive`: fails with EEXIST instead of replacing an existing `to`.
bool copyFile(const std::string& from, const std::string& to, int mode, bool exclusive = false) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out =
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC), mode);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool good = true;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      good = n == 0;
      break;
    }
    if (!writeAllBytes(out, chunk, static_cast<std::size_t>(n))) {
      good = false;
      break;
    }
  }
  good = good && ::fsync(out) == 0;
  const int saved = errno;
  ::close(in);
  good = ::close(out) == 0 && good;
  if (!good) {
    ::unlink(to.c_str());
    errno = saved;
  }
  return good;
}

// Keeps `target` as `backup`: a hard link (a copy where links are not supported) under a
// temporary name, renamed over the old backup, so an interrupted save never leaves a half
// backup. "" when kept, else what failed with the system's reason.
std::string keepBackupOf(const std::string& target, const std::string& partial,
                         const std::string& backup, int mode) {
  ::unlink(partial.c_str());
  if (::link(target.c_str(), partial.c_str()) != 0 && !copyFile(target, partial, mode))
    return "cannot keep " + backup + ": " + reason();
  if (::rename(partial.c_str(), backup.c_str()) != 0) {
    std::string error = "cannot keep " + backup + ": " + reason();
    ::unlink(partial.c_str());
    return error;
  }
  return {};
}

// The process id of a temporary file name "<name>.tmp-<pid>" or "<name>.tmp-<pid>.bak"
// (`entry` a folder entry, `prefix` "<name>.tmp-"), or 0 when it is not one.
pid_t tempFileOwner(std::string_view entry, std::string_view prefix) {
  if (entry.substr(0, prefix.size()) != prefix) return 0;
  std::string_view rest = entry.substr(prefix.size());
  if (rest.size() > 4 && rest.substr(rest.size() - 4) == ".bak") rest.remove_suffix(4);
  if (rest.empty() || rest.size() > 9) return 0;
  pid_t pid = 0;
  for (const char c : rest) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

}  // namespace

void SafeFile::removeStaleTemps(const std::string& target) {
  const std::string folder = folderOf(target);
  const std::size_t slash = target.rfind('/');
  const std::string prefix =
      (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp-";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = tempFileOwner(entry->d_name, prefix);
    // Only a process that no longer exists: a live one (ours, or another user's, which
    // kill() answers with EPERM) may still be writing its file.
    if (pid <= 0 || pid == self || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

std::string SafeFile::keepAsDamaged(const std::string& path, std::string& keptAs) {
  keptAs.clear();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? std::string() : "cannot read " + path + ": " + reason();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char stamp[32] = "";
  if (::localtime_r(&now, &local) != nullptr)
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".damaged-" + stamp;
  for (int n = 0; n < 100; ++n) {  // two in the same second get "-1", "-2", ...
    const std::string name = n == 0 ? base : base + "-" + std::to_string(n);
    if (::link(path.c_str(), name.c_str()) == 0 ||
        (errno != EEXIST && copyFile(path, name, static_cast<int>(st.st_mode & 07777), true))) {
      keptAs = name;
      syncFolder(folderOf(path));
      return {};
    }
    if (errno != EEXIST) return "cannot keep " + path + " as " + name + ": " + reason();
  }
  return "cannot keep " + path + ": too many damaged copies";
}

// The backup step on a thread of its own, started when the save starts: replacing the old
// backup frees its blocks, which for a large file takes about as long as writing the new
// one, so it runs while the new text is being made.
class SafeFile::BackupJob {
 public:
  BackupJob(std::string target, std::string partial, std::string backup, int mode)
      : backup_(std::move(backup)), hadBackup_(::access(backup_.c_str(), F_OK) == 0) {
    try {
      thread_ = std::thread([this, target = std::move(target), partial = std::move(partial), mode] {
        error_ = keepBackupOf(target, partial, backup_, mode);
      });
    } catch (const std::system_error&) {  // no thread: keep it now
      error_ = keepBackupOf(target, partial, backup_, mode);
    }
  }
  ~BackupJob() { wait(); }
  BackupJob(const BackupJob&) = delete;
  BackupJob& operator=(const BackupJob&) = delete;

  // Waits for the step; "" when the backup was kept, else what failed.
  const std::string& wait() {
    if (thread_.joinable()) thread_.join();
    return error_;
  }
  // For a save that failed: a backup this save made where there was none is removed, so
  // the folder is as it was. (An older backup is then replaced by the current file.)
  void undo() {
    if (wait().empty() && !hadBackup_) ::unlink(backup_.c_str());
  }

 private:
  const std::string backup_;
  const bool hadBackup_;
  std::string error_;
  std::thread thread_;
};

SafeFile::SafeFile() = default;

SafeFile::~SafeFile() {
  abandon();
}

SafeFile::SafeFile(SafeFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      folder_(std::move(other.folder_)),
      buffer_(std::move(other.buffer_)),
      flusher_(std::move(other.flusher_)),
      backup_(std::move(other.backup_)),
      error_(std::move(other.error_)),
      mode_(other.mode_) {}

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept {
  if (this != &other) {
    abandon();
    fd_ = std::exchange(other.fd_, -1);
    target_ = std::move(other.target_);
    temp_ = std::move(other.temp_);
    folder_ = std::move(other.folder_);
    buffer_ = std::move(other.buffer_);
    flusher_ = std::move(other.flusher_);
    backup_ = std::move(other.backup_);
    error_ = std::move(other.error_);
    mode_ = other.mode_;
  }
  return *this;
}

std::string SafeFile::tempPathFor(const std::string& target) {
  // One name per process: a save killed half-way leaves at most one such file per pid,
  // and no other process ever writes the same temporary file.
  return target + ".tmp-" + std::to_string(::getpid());
}

bool SafeFile::fail(const std::string& what) {
  if (error_.empty()) error_ = what + ": " + reason();
  return false;
}

bool SafeFile::open(const std::string& target) {
  abandon();
  error_.clear();
  mode_ = -1;
  if (target.empty()) {
    error_ = "empty path";
    return false;
  }
  target_ = target;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target_ = resolved;
  }
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      errno = EISDIR;
      return fail("not a regular file " + target_);
    }
    mode_ = static_cast<int>(st.st_mode & 07777);
  }
  folder_ = folderOf(target_);
  removeStaleTemps(target_);
  temp_ = tempPathFor(target_);
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) {
    temp_.clear();
    return fail("cannot create " + tempPathFor(target_));
  }
  // The new file keeps the permissions of the one it replaces.
  if (mode_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) {
    fail("cannot set the mode of " + temp_);
    abandon();
    return false;
  }
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  try {
    flusher_ = std::make_unique<FileFlusher>(fd_);
    if (mode_ >= 0)  // there is a file to keep
      backup_ = std::make_unique<BackupJob>(target_, temp_ + ".bak", backupPathFor(target_), mode_);
  } catch (const std::system_error& e) {
    errno = e.code().value();
    fail("cannot start writing " + temp_);
    abandon();
    return false;
  }
  return true;
}

bool SafeFile::flushBuffer() {
  if (buffer_.empty()) return true;
  const bool handed = flusher_->hand(buffer_);
  if (buffer_.capacity() < kBufferSize) buffer_.reserve(kBufferSize);
  return handed || writeFailed();
}

bool SafeFile::writeFailed() {
  const int error = flusher_ ? flusher_->finish() : 0;
  errno = error != 0 ? error : EIO;
  return fail("cannot write " + temp_);
}

bool SafeFile::write(std::string_view bytes) {
  if (!ok()) return false;
  buffer_.append(bytes);
  return buffer_.size() < kBufferSize || flushBuffer();
}

bool SafeFile::take(std::string& bytes) {
  if (!ok()) return false;
  if (!buffer_.empty() || bytes.size() < kBufferSize) {
    const bool good = write(bytes);
    bytes.clear();
    return good;
  }
  return flusher_->hand(bytes) || writeFailed();
}

bool SafeFile::commit() {
  if (!ok()) {
    abandon();
    return false;
  }
  bool good = flushBuffer();
  if (good) {
    const int error = flusher_->finish();
    if (error != 0) good = writeFailed();
  }
  flusher_.reset();
  if (good && ::fsync(fd_) != 0) good = fail("cannot sync " + temp_);
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && good) good = fail("cannot close " + temp_);
  if (good && backup_ && !backup_->wait().empty()) {
    if (error_.empty()) error_ = backup_->wait();
    good = false;
  }
  if (good && ::rename(temp_.c_str(), target_.c_str()) != 0)
    good = fail("cannot replace " + target_);
  if (!good) {
    if (backup_) backup_->undo();
    backup_.reset();
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  backup_.reset();
  temp_.clear();
  // The rename is only durable once the folder entry is on disk.
  if (!syncFolder(folder_)) return fail("cannot sync the folder " + folder_);
  return true;
}

void SafeFile::abandon() {
  flusher_.reset();  // waits for the writes in flight: the descriptor is still in use
  if (backup_) backup_->undo();
  backup_.reset();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  buffer_.clear();
}

}  // namespace qorn
