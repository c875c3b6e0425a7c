// The signalling shared by the hash and analysis workers.
//
// Each worker has two manual-reset signals: "new data" (producer to worker) and "data
// ready" (worker to consumer). A signal stays set until a waiter consumes it, so a signal
// raised between a waiter's state check and its wait is never lost; every waiter re-checks
// its state after waking.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace sonalyx {

// A manual-reset event. Never throws except std::system_error from the mutex.
class Signal {
 public:
  void set();
  // Blocks until the signal is set, then clears it.
  void waitAndReset();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
};

// Base of both workers: the flags, the two signals and the thread. Derived classes call
// launch() once and must call halt() in their own destructor, before their members go.
class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread() { halt(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Consumer side: when the worker has not finished, wait for "data ready" and consume it.
  void wait();
  // No more input will come; wakes the worker so that it can end once its work is done.
  void completeInput();
  // Marks the input complete, waits until the worker has finished, joins it.
  void finish();
  // Error path: asks the worker to stop early and joins it. Safe to call repeatedly.
  void halt();

  bool finished() const { return finished_.load(std::memory_order_acquire); }
  int processed() const { return processed_.load(std::memory_order_acquire); }

 protected:
  // Starts body on the worker thread. Throws std::system_error when no thread can be made.
  void launch(std::function<void()> body);
  // Worker side, at the end of its body.
  void markFinished();
  void signalDataReady() { dataReady_.set(); }
  void signalNewData() { newData_.set(); }
  void waitForNewData() { newData_.waitAndReset(); }
  bool stopRequested() const { return stop_.load(std::memory_order_acquire); }
  bool inputComplete() const { return inputComplete_.load(std::memory_order_acquire); }
  void countProcessed() { processed_.fetch_add(1, std::memory_order_acq_rel); }

 private:
  std::atomic<int> processed_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> inputComplete_{false};
  Signal newData_;
  Signal dataReady_;
  std::thread thread_;
};

}  // namespace sonalyx
