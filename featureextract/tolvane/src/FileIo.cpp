#include "FileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <utility>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace tolvane {
namespace {

constexpr int kBufferBytes = 32768;

int descriptorOf(void* opaque) {
  return static_cast<int>(reinterpret_cast<intptr_t>(opaque));
}

int readPacket(void* opaque, uint8_t* buffer, int size) {
  for (;;) {
    const ssize_t got = ::read(descriptorOf(opaque), buffer, static_cast<size_t>(size));
    if (got > 0) return static_cast<int>(got);
    if (got == 0) return AVERROR_EOF;
    if (errno != EINTR) return AVERROR(errno);
  }
}

int64_t seekTo(void* opaque, int64_t offset, int whence) {
  const int fd = descriptorOf(opaque);
  if ((whence & AVSEEK_SIZE) != 0) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return AVERROR(errno);
    return static_cast<int64_t>(info.st_size);
  }
  const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

void release(AVIOContext*& io) {
  if (io == nullptr) return;
  av_freep(&io->buffer);
  avio_context_free(&io);
}

}  // namespace

FileIo::~FileIo() { release(io_); }

FileIo::FileIo(FileIo&& other) noexcept : io_(std::exchange(other.io_, nullptr)) {}

FileIo& FileIo::operator=(FileIo&& other) noexcept {
  if (this != &other) {
    release(io_);
    io_ = std::exchange(other.io_, nullptr);
  }
  return *this;
}

FileIo FileIo::over(int fd) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
  if (buffer == nullptr) throw std::bad_alloc();
  FileIo io;
  io.io_ = avio_alloc_context(buffer, kBufferBytes, 0, reinterpret_cast<void*>(intptr_t{fd}),
                              &readPacket, nullptr, &seekTo);
  if (io.io_ == nullptr) {
    av_free(buffer);
    throw std::bad_alloc();
  }
  return io;
}

}  // namespace tolvane
