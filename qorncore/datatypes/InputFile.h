// InputFile: a regular file opened for reading, the one owner of its descriptor.
//
// open() never blocks and refuses anything but a regular file: a FIFO, a device or a
// directory named where a data file is expected would otherwise hang the reader (a FIFO
// without a writer blocks an ordinary open forever) or feed it endless or meaningless
// bytes. The file is opened non-blocking, checked with fstat, and then switched back to
// blocking reads.
//
// Contract: single-threaded, move-only; nothing here throws except std::bad_alloc from
// building the error text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qorn {

class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { close(); }
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path`. False (errorText() says why) when it does not exist, cannot be read or
  // is not a regular file; the object is then closed.
  bool open(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  // The file's size when it was opened (bytes).
  std::uint64_t size() const { return size_; }
  // Reads up to `capacity` bytes, retrying interruptions: the count, 0 at the end, -1 on a
  // read error (errno set).
  long read(char* into, std::size_t capacity);
  void close();
  const std::string& errorText() const { return error_; }

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::string error_;
};

}  // namespace qorn
