// FileFlusher: writes a file's bytes on a thread of its own while its producer goes on
// making the next ones, and starts the disk write-back of each piece at once, so the final
// fsync finds little left to do.
//
// The producer hands over whole buffers (swapped, not copied) and gets an empty one with
// capacity back; at most kPending buffers wait, so memory stays bounded and a slow disk
// slows the producer down instead of piling text up. The first failed write stops the
// flusher: later pieces are dropped and finish() reports the error.
//
// Contract: one producer thread calls hand() and finish(); the file descriptor stays
// owned by the caller and open until finish() has returned. Nothing here throws except
// std::bad_alloc and std::system_error from starting the thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qorn {

// Writes all bytes, retrying short writes and interruptions. False with errno set.
bool writeAllBytes(int fd, const char* data, std::size_t size);

class FileFlusher {
 public:
  static constexpr std::size_t kPending = 2;

  explicit FileFlusher(int fd);
  ~FileFlusher();  // finishes (waits for the pending pieces)
  FileFlusher(const FileFlusher&) = delete;
  FileFlusher& operator=(const FileFlusher&) = delete;

  // Queues `piece` for writing; `piece` comes back empty (a recycled buffer). Blocks while
  // kPending pieces wait. False once a write has failed (the piece is then dropped).
  bool hand(std::string& piece);
  // Waits until every queued piece is written and stops the thread. 0 when everything
  // was written, else the errno of the failed write. Later calls return the same.
  int finish();

 private:
  void run();

  const int fd_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> pending_;
  std::vector<std::string> spare_;
  bool stopping_ = false;
  int error_ = 0;
  std::thread thread_;
};

}  // namespace qorn
