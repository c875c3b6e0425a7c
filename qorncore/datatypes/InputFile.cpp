#include "qorncore/datatypes/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace qorn {

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), error_(std::move(other.error_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    error_ = std::move(other.error_);
  }
  return *this;
}

bool InputFile::open(const std::string& path) {
  close();
  error_.clear();
  // Non-blocking, so that a FIFO without a writer returns at once instead of waiting.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    error_ = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    error_ = std::strerror(EISDIR);
  } else if (!S_ISREG(st.st_mode)) {
    error_ = "not a regular file";
  } else {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) error_ = std::strerror(errno);
  }
  if (!error_.empty()) {
    close();
    return false;
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

long InputFile::read(char* into, std::size_t capacity) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  for (;;) {
    const ssize_t n = ::read(fd_, into, capacity);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

}  // namespace qorn
