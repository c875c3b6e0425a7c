// SIGTERM and SIGINT become terminationRequested() on the interface thread, once per
// signal, and the handlers in place before come back afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "app/desktop/TerminationSignals.h"

using zarvell::app::TerminationSignals;

namespace {

struct Received {
  std::vector<int> numbers;
  bool allOnInterfaceThread = true;
};

void record(TerminationSignals& termination, Received& received) {
  QObject::connect(&termination, &TerminationSignals::terminationRequested, [&](int number) {
    received.numbers.push_back(number);
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
      received.allOnInterfaceThread = false;
    }
  });
}

// Runs the event loop until `count` signals arrived or two seconds passed, then a little
// longer so that a duplicate would show.
void settle(const Received& received, std::size_t count) {
  QElapsedTimer clock;
  clock.start();
  while (received.numbers.size() < count && clock.elapsed() < 2000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::atomic<int> gPreviousHandlerRuns{0};
extern "C" void previousHandler(int) {
  gPreviousHandlerRuns.fetch_add(1);
}

// Puts a counting handler on both signals for the test and the default ones back after.
class PreviousHandlers {
 public:
  PreviousHandlers() {
    gPreviousHandlerRuns = 0;
    struct sigaction action {};
    action.sa_handler = previousHandler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, &term_);
    sigaction(SIGINT, &action, &int_);
  }
  ~PreviousHandlers() {
    sigaction(SIGTERM, &term_, nullptr);
    sigaction(SIGINT, &int_, nullptr);
  }

 private:
  struct sigaction term_ {};
  struct sigaction int_ {};
};

TEST(TerminationSignals, EachSignalIsOneQtSignalOnTheInterfaceThread) {
  struct Case {
    const char* name;
    std::vector<int> sent;
    bool fromOtherThread;
  };
  const Case cases[] = {
      {"SIGTERM by raise", {SIGTERM}, false},
      {"SIGINT by kill", {SIGINT}, false},
      {"SIGTERM from a worker thread", {SIGTERM}, true},
      {"three in a row", {SIGTERM, SIGINT, SIGTERM}, false},
  };
  PreviousHandlers previous;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TerminationSignals termination;
    ASSERT_TRUE(termination.isInstalled());
    Received received;
    record(termination, received);
    auto send = [&c] {
      for (const int number : c.sent) {
        if (number == SIGTERM) {
          ::raise(number);
        } else {
          ::kill(::getpid(), number);
        }
      }
    };
    if (c.fromOtherThread) {
      std::thread worker(send);
      worker.join();
    } else {
      send();
    }
    settle(received, c.sent.size());
    EXPECT_EQ(received.numbers, c.sent);
    EXPECT_TRUE(received.allOnInterfaceThread);
    EXPECT_EQ(gPreviousHandlerRuns.load(), 0) << "the earlier handler still ran";
  }
}

TEST(TerminationSignals, EarlierHandlersAreBackAfterDestruction) {
  PreviousHandlers previous;
  {
    TerminationSignals termination;
    ASSERT_TRUE(termination.isInstalled());
  }
  ::raise(SIGTERM);
  ::kill(::getpid(), SIGINT);
  EXPECT_EQ(gPreviousHandlerRuns.load(), 2);
}

// Handlers are process-wide: a second object must neither take them over nor, when it
// goes, remove the first one's.
TEST(TerminationSignals, OnlyOneObjectInstallsAtATime) {
  PreviousHandlers previous;
  TerminationSignals first;
  ASSERT_TRUE(first.isInstalled());
  Received toFirst;
  record(first, toFirst);
  {
    TerminationSignals second;
    EXPECT_FALSE(second.isInstalled());
    Received toSecond;
    record(second, toSecond);
    ::raise(SIGTERM);
    settle(toFirst, 1);
    EXPECT_TRUE(toSecond.numbers.empty());
  }
  ::raise(SIGINT);
  settle(toFirst, 2);
  EXPECT_EQ(toFirst.numbers, (std::vector<int>{SIGTERM, SIGINT}));
  EXPECT_EQ(gPreviousHandlerRuns.load(), 0);
}

TEST(TerminationSignals, ANewObjectInstallsAfterTheLastOneWent) {
  PreviousHandlers previous;
  { TerminationSignals once; }
  TerminationSignals again;
  ASSERT_TRUE(again.isInstalled());
  Received received;
  record(again, received);
  ::raise(SIGTERM);
  settle(received, 1);
  EXPECT_EQ(received.numbers, std::vector<int>{SIGTERM});
}

// A receiver that closes the program destroys the object from inside the signal.
TEST(TerminationSignals, AReceiverMayDestroyTheObject) {
  PreviousHandlers previous;
  auto* termination = new TerminationSignals;
  int calls = 0;
  QObject::connect(termination, &TerminationSignals::terminationRequested, [&](int) {
    ++calls;
    delete termination;
  });
  ::raise(SIGTERM);
  ::raise(SIGINT);
  for (int i = 0; i < 20 && calls == 0; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  EXPECT_EQ(calls, 1);
  ::raise(SIGTERM);  // the earlier handler is back
  EXPECT_EQ(gPreviousHandlerRuns.load(), 1);
}

}  // namespace
