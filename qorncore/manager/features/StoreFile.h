// The POSIX file handling of the binary feature store: opening only regular files without
// ever blocking, reading at an offset, and a read-only mapping of the store.
//
// Contract: nothing here throws; failures are results (errno kept where it helps the log
// line). Each wrapper owns one handle and is move-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qorn {

// An open file descriptor, closed when the object goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() noexcept;

 private:
  int fd_ = -1;
};

// The outcome of openRegularFile: an open descriptor and the file's size, or why not.
struct RegularFile {
  UniqueFd fd;
  std::uint64_t size = 0;
  int error = 0;            // errno of a failed open or fstat
  bool notRegular = false;  // the path names a folder, FIFO, device or socket

  explicit operator bool() const { return static_cast<bool>(fd); }
  // "No such file or directory", "not a regular file", ... for log lines.
  std::string reason() const;
};

// Opens `path` with `flags` (O_RDONLY, O_WRONLY | O_APPEND, ...; `mode` for O_CREAT) and
// keeps it only when it is a regular file. The open never waits: a FIFO without a writer,
// a device or a folder is opened non-blocking (or fails to open) and then refused.
RegularFile openRegularFile(const std::string& path, int flags, unsigned mode = 0644);

// Reads exactly `size` bytes at `offset`, retrying short reads and interruptions. False on
// an error or when the file ends first.
bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);
// Writes all `size` bytes at the file's current position. False on an error.
bool writeAll(int fd, const void* buffer, std::size_t size);

// A read-only private mapping of the first `size` bytes of an open file, unmapped when it
// goes. The pages are read from the file when first touched, so mapping a store costs no
// memory until its values are used. The file must not be cut below `size` by another
// program while it is mapped (the engine owns its store).
class FileMapping {
 public:
  FileMapping() = default;
  ~FileMapping();
  FileMapping(FileMapping&& other) noexcept;
  FileMapping& operator=(FileMapping&& other) noexcept;
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // An empty mapping when `size` is 0 or the map fails (errno tells).
  static FileMapping map(int fd, std::size_t size);

  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  explicit operator bool() const { return data_ != nullptr; }
  void reset() noexcept;

 private:
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace qorn
