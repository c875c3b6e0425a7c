// TerminationSignals: SIGTERM and SIGINT (a session ending, `kill`, Ctrl+C in a terminal)
// turned into a Qt signal on the interface thread, so that the player closes exactly as its
// Close button does (the network saved once) instead of dying with its changes unsaved.
//
// The C signal handler only writes the signal number, as one byte, into a pipe (write(2) is
// async-signal-safe); a QSocketNotifier on the pipe's other end emits terminationRequested()
// from the event loop of the thread that created the object. A signal arriving while the
// event loop is busy waits in the pipe and is delivered afterwards.
//
// Only one object at a time installs the handlers: a signal handler can reach only
// process-wide state, so the write end of the pipe is the one process-wide value here.
// Another object made while one is installed installs nothing (isInstalled() false). The
// handlers in place before are restored when the installing object is destroyed.
//
// Thread: create, use and destroy on the interface thread. Errors: nothing throws; a failure
// to create the pipe or install a handler is logged with qWarning, and isInstalled() is false.
#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace zarvell::app {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // True when this object's handlers are in place.
  bool isInstalled() const { return installed_; }

 signals:
  // Once per signal received (SIGTERM or SIGINT, in `signalNumber`); signals of one kind
  // that arrive faster than the process can take them may be merged by the system.
  void terminationRequested(int signalNumber);

 private:
  void install();
  void uninstall();
  void drain();

  int pipe_[2] = {-1, -1};  // [0] read by the notifier, [1] written by the handler
  QSocketNotifier* notifier_ = nullptr;
  struct sigaction previousTerm_ {};
  struct sigaction previousInt_ {};
  bool installed_ = false;
};

}  // namespace zarvell::app
