#include "Worker.h"

#include <pthread.h>

#include <future>
#include <memory>

namespace internalplayer {
namespace {

// One queued task and the promise its caller waits on. Deleted by GLib when its idle source
// goes, run or not; an unrun task leaves a broken promise, which wakes the caller.
struct Queued {
  std::function<void()> task;
  std::promise<void> done;
};

gboolean runQueued(gpointer data) {
  auto* queued = static_cast<Queued*>(data);
  try {
    queued->task();
    queued->done.set_value();
  } catch (...) {
    queued->done.set_exception(std::current_exception());
  }
  return G_SOURCE_REMOVE;
}

void dropQueued(gpointer data) {
  delete static_cast<Queued*>(data);
}

gboolean quitLoop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_REMOVE;
}

}  // namespace

Worker::Worker() : context_(g_main_context_new()), loop_(g_main_loop_new(context_.get(), FALSE)) {
  thread_ = std::thread([this] { loop(); });
}

Worker::~Worker() {
  // Quit from inside the loop: a g_main_loop_quit before the loop has started would be
  // forgotten when it starts.
  post(quitLoop, loop_.get(), nullptr);
  if (thread_.joinable()) thread_.join();
}

void Worker::loop() {
  pthread_setname_np(pthread_self(), "zarvell-player");
  g_main_context_push_thread_default(context_.get());
  g_main_loop_run(loop_.get());
  g_main_context_pop_thread_default(context_.get());
}

bool Worker::onWorkerThread() const {
  return thread_.get_id() == std::this_thread::get_id();
}

void Worker::run(std::function<void()> task) {
  if (onWorkerThread()) {
    task();
    return;
  }
  auto queued = std::make_unique<Queued>();
  queued->task = std::move(task);
  std::future<void> done = queued->done.get_future();
  post(runQueued, queued.release(), dropQueued);
  done.get();
}

void Worker::post(GSourceFunc function, gpointer data, GDestroyNotify drop) {
  // An idle source of our own rather than g_main_context_invoke, which would run the
  // function on the calling thread whenever that can acquire the context (before the loop
  // has started, for instance). The context keeps the source until it has run; only the
  // creation reference is dropped here.
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, function, data, drop);
  g_source_attach(source, context_.get());
  g_source_unref(source);
}

}  // namespace internalplayer
