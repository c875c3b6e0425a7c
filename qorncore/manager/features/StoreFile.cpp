#include "qorncore/manager/features/StoreFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace qorn {

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

int UniqueFd::release() noexcept {
  return std::exchange(fd_, -1);
}

std::string RegularFile::reason() const {
  if (notRegular) return "not a regular file";
  return std::strerror(error != 0 ? error : EIO);
}

RegularFile openRegularFile(const std::string& path, int flags, unsigned mode) {
  RegularFile file;
  // O_NONBLOCK: opening a FIFO for reading returns at once instead of waiting for a writer
  // (for writing it fails with ENXIO); on a regular file it changes nothing.
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    file.error = errno;
    file.notRegular = file.error == EISDIR || file.error == ENXIO;
    return file;
  }
  UniqueFd owned(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    file.error = errno;
    return file;
  }
  if (!S_ISREG(st.st_mode)) {
    file.notRegular = true;
    return file;
  }
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  file.size = static_cast<std::uint64_t>(st.st_size);
  file.fd = std::move(owned);
  return file;
}

bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t got = ::pread(fd, out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool writeAll(int fd, const void* buffer, std::size_t size) {
  const auto* in = static_cast<const unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t put = ::write(fd, in, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    in += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

FileMapping::~FileMapping() {
  reset();
}

FileMapping::FileMapping(FileMapping&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FileMapping& FileMapping::operator=(FileMapping&& other) noexcept {
  if (this != &other) {
    reset();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

FileMapping FileMapping::map(int fd, std::size_t size) {
  FileMapping mapping;
  if (size == 0) return mapping;
  void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (address == MAP_FAILED) return mapping;
  mapping.data_ = static_cast<const unsigned char*>(address);
  mapping.size_ = size;
  return mapping;
}

void FileMapping::reset() noexcept {
  if (data_ != nullptr) ::munmap(const_cast<unsigned char*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace qorn
