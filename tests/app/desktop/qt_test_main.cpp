// main() of the desktop tests: GoogleTest inside a QCoreApplication, so that sockets,
// notifiers and the bus have an event loop to run in.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
