// Move-only owner of one AVIOContext that reads an already opened file descriptor, so that
// FFmpeg reads exactly the song file it was given and never opens a file or URL itself.
#pragma once

struct AVIOContext;

namespace tolvane {

class FileIo {
 public:
  FileIo() = default;
  ~FileIo();
  FileIo(FileIo&& other) noexcept;
  FileIo& operator=(FileIo&& other) noexcept;
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  // Reads and seeks `fd` (a regular file, owned by the caller, which must outlive this
  // object). Throws std::bad_alloc when FFmpeg cannot allocate the context.
  static FileIo over(int fd);

  AVIOContext* get() const { return io_; }

 private:
  AVIOContext* io_ = nullptr;
};

}  // namespace tolvane
