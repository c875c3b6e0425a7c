// The checks every decoder module makes before it decodes a song, in one place so that
// Tolvane and Pradix refuse the same files for the same reasons.
#pragma once

#include <string>
#include <string_view>

namespace decodercommon {

// The file-system path of a UTF-16 path from the decoder boundary: the exact bytes the
// caller's path stands for (see zarvell::utf16ToPath), so names that are not valid UTF-8
// reach the file system unchanged. A null path gives empty text. Throws only
// std::bad_alloc.
std::string songPath(const char16_t* path);

// Protected (DRM) files are never decoded: true when the path contains ".M4P" in any case.
// Never throws.
bool isProtected(std::string_view path);

// Move-only owner of one file descriptor, opened read-only on a regular file.
class SongFile {
 public:
  SongFile() = default;
  ~SongFile();
  SongFile(SongFile&& other) noexcept;
  SongFile& operator=(SongFile&& other) noexcept;
  SongFile(const SongFile&) = delete;
  SongFile& operator=(const SongFile&) = delete;

  // Opens `path` for reading without ever blocking (a FIFO is not waited on) and keeps it
  // only when it is a regular file; otherwise the result is empty (errno tells why). The
  // path is taken as a plain file name: nothing in it is read as a URL or protocol.
  // Never throws.
  static SongFile open(const std::string& path);

  explicit operator bool() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Size in bytes when opened.
  long long size() const { return size_; }
  // The name under which this very file (not whatever the path names by now) can be opened
  // again: "/proc/self/fd/N". For readers that insist on opening a file by name.
  std::string reopenName() const;

 private:
  int fd_ = -1;
  long long size_ = 0;
};

}  // namespace decodercommon
