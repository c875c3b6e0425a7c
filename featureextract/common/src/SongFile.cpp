#include "decodercommon/SongFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "zarvell/text.h"

namespace decodercommon {

std::string songPath(const char16_t* path) {
  if (path == nullptr) return std::string();
  return zarvell::utf16ToPath(std::u16string_view(path));
}

bool isProtected(std::string_view path) {
  constexpr std::string_view kProtected = ".M4P";
  if (path.size() < kProtected.size()) return false;
  for (std::size_t i = 0; i + kProtected.size() <= path.size(); ++i) {
    std::size_t k = 0;
    while (k < kProtected.size()) {
      char c = path[i + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != kProtected[k]) break;
      ++k;
    }
    if (k == kProtected.size()) return true;
  }
  return false;
}

SongFile::~SongFile() {
  if (fd_ >= 0) ::close(fd_);
}

SongFile::SongFile(SongFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

SongFile& SongFile::operator=(SongFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

SongFile SongFile::open(const std::string& path) {
  SongFile file;
  if (path.empty()) {
    errno = ENOENT;
    return file;
  }
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return file;
  file.fd_ = fd;
  struct stat info {};
  if (::fstat(fd, &info) != 0) return SongFile();
  if (!S_ISREG(info.st_mode)) {
    const int why = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    file = SongFile();  // closes it
    errno = why;
    return file;
  }
  // Reads of a regular file never block anyway; clear the flag so they behave plainly.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file.size_ = static_cast<long long>(info.st_size);
  return file;
}

std::string SongFile::reopenName() const {
  return "/proc/self/fd/" + std::to_string(fd_);
}

}  // namespace decodercommon
