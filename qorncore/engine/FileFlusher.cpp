#include "FileFlusher.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace qorn {

bool writeAllBytes(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

FileFlusher::FileFlusher(int fd) : fd_(fd), thread_([this] { run(); }) {}

FileFlusher::~FileFlusher() {
  finish();
}

bool FileFlusher::hand(std::string& piece) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return pending_.size() < kPending || error_ != 0; });
  if (error_ != 0 || stopping_) {
    piece.clear();
    return false;
  }
  pending_.push_back(std::move(piece));
  piece = std::string();
  if (!spare_.empty()) {
    piece = std::move(spare_.back());
    spare_.pop_back();
  }
  changed_.notify_all();
  return true;
}

int FileFlusher::finish() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return error_;
}

void FileFlusher::run() {
  off_t offset = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !pending_.empty() || stopping_; });
    if (pending_.empty()) return;  // stopping with nothing left
    std::string piece = std::move(pending_.front());
    pending_.pop_front();
    const bool skip = error_ != 0;
    lock.unlock();
    int failure = 0;
    if (!skip) {
      if (writeAllBytes(fd_, piece.data(), piece.size())) {
        // Start the write-back now; it is only a hint, so its errors are not failures
        // (the fsync at the end reports real ones).
        ::sync_file_range(fd_, offset, static_cast<off_t>(piece.size()), SYNC_FILE_RANGE_WRITE);
        offset += static_cast<off_t>(piece.size());
      } else {
        failure = errno != 0 ? errno : EIO;
      }
    }
    piece.clear();
    lock.lock();
    if (failure != 0 && error_ == 0) error_ = failure;
    spare_.push_back(std::move(piece));
    changed_.notify_all();
  }
}

}  // namespace qorn
