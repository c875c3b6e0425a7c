// The player's own thread: a GLib main loop on a private main context. Everything that
// touches a player's pipeline runs there, so state changes, bus messages and the end event
// are handled in one order without locks.
#pragma once

#include <functional>
#include <thread>
#include <type_traits>
#include <utility>

#include "gsthandles/GstHandles.h"

namespace internalplayer {

class Worker {
 public:
  // Starts the thread (named "zarvell-player"). Throws std::system_error when no thread can
  // be started, std::bad_alloc.
  Worker();
  // Stops the loop and joins the thread. Tasks still queued are dropped (their callers get a
  // std::future_error). Must not run on the worker thread itself.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // The context the worker's loop runs; sources attached to it dispatch on the worker.
  GMainContext* context() const { return context_.get(); }

  // True on the worker thread (also inside a callback it dispatches).
  bool onWorkerThread() const;

  // Runs task on the worker thread and waits for it: directly when called on the worker
  // thread (so a callback may call back in), otherwise queued behind earlier tasks and bus
  // messages. Rethrows what the task throws; std::future_error when the worker stopped
  // before the task could run.
  void run(std::function<void()> task);

  // run() for a task with a result.
  template <typename F>
  auto call(F&& task) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
      run(std::forward<F>(task));
    } else {
      R result{};
      run([&] { result = task(); });
      return result;
    }
  }

 private:
  void loop();
  // Queues function(data) on the worker's context; drop(data) runs once the source goes.
  void post(GSourceFunc function, gpointer data, GDestroyNotify drop);

  gsthandles::ContextRef context_;
  gsthandles::LoopRef loop_;
  std::thread thread_;
};

}  // namespace internalplayer
