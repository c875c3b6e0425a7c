// main() of the player's test programs: the application object lives on main's stack, so
// it is gone before Qt's own static objects are torn down at exit.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("ZARVELL_AUDIO_SINK", "fake", 1);  // the internal player never opens a device
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
