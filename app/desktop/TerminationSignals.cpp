#include "app/desktop/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QPointer>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zarvell::app {

namespace {

// The write end of the installed object's pipe, -1 when none is installed. A signal handler
// can reach nothing else; a lock-free atomic is safe to read inside one.
std::atomic<int> gWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onTerminationSignal(int signalNumber) {
  const int savedErrno = errno;
  const int fd = gWriteEnd.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe means a hundred signals are already waiting; dropping this one loses
    // nothing the interface thread would do differently.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  install();
}

TerminationSignals::~TerminationSignals() {
  uninstall();
}

void TerminationSignals::install() {
  if (gWriteEnd.load() >= 0) {
    qWarning("zarvell: termination signals are already handled by another object");
    return;
  }
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    qWarning("zarvell: cannot create the signal pipe: %s", std::strerror(errno));
    pipe_[0] = pipe_[1] = -1;
    return;
  }
  int expected = -1;
  if (!gWriteEnd.compare_exchange_strong(expected, pipe_[1])) {
    qWarning("zarvell: termination signals are already handled by another object");
    ::close(pipe_[0]);
    ::close(pipe_[1]);
    pipe_[0] = pipe_[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);

  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // interrupted system calls of other code carry on
  if (::sigaction(SIGTERM, &action, &previousTerm_) != 0) {
    qWarning("zarvell: cannot handle SIGTERM: %s", std::strerror(errno));
    uninstall();
    return;
  }
  if (::sigaction(SIGINT, &action, &previousInt_) != 0) {
    qWarning("zarvell: cannot handle SIGINT: %s", std::strerror(errno));
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    uninstall();
    return;
  }
  installed_ = true;
}

void TerminationSignals::uninstall() {
  if (installed_) {
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    ::sigaction(SIGINT, &previousInt_, nullptr);
    installed_ = false;
  }
  if (pipe_[1] >= 0) {
    // Only after the handlers are restored, so that no new run of ours starts meanwhile.
    int expected = pipe_[1];
    gWriteEnd.compare_exchange_strong(expected, -1);
  }
  delete notifier_;
  notifier_ = nullptr;
  for (int& fd : pipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void TerminationSignals::drain() {
  // Everything waiting is read before anything is emitted: a receiver may close the
  // program, and this object with it, from inside the signal.
  QByteArray received;
  unsigned char bytes[64];
  for (;;) {
    const ssize_t got = ::read(pipe_[0], bytes, sizeof bytes);
    if (got > 0) {
      received.append(reinterpret_cast<const char*>(bytes), got);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    break;  // empty (EAGAIN) or closed
  }
  const QPointer<TerminationSignals> alive(this);
  for (const char byte : std::as_const(received)) {
    emit terminationRequested(static_cast<unsigned char>(byte));
    if (alive.isNull()) return;
  }
}

}  // namespace zarvell::app
