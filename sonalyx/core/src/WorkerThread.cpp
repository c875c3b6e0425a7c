#include "WorkerThread.h"

#include <utility>

namespace sonalyx {

void Signal::set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  cv_.notify_all();
}

void Signal::waitAndReset() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return set_; });
  set_ = false;
}

void WorkerThread::wait() {
  if (!finished()) dataReady_.waitAndReset();
}

void WorkerThread::completeInput() {
  inputComplete_.store(true, std::memory_order_release);
  newData_.set();
}

void WorkerThread::finish() {
  completeInput();
  if (thread_.joinable()) {
    while (!finished()) dataReady_.waitAndReset();
    thread_.join();
  }
}

void WorkerThread::halt() {
  stop_.store(true, std::memory_order_release);
  inputComplete_.store(true, std::memory_order_release);
  newData_.set();
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::launch(std::function<void()> body) {
  thread_ = std::thread(std::move(body));
}

void WorkerThread::markFinished() {
  finished_.store(true, std::memory_order_release);
  dataReady_.set();
}

}  // namespace sonalyx
