// main() of the bus tests: GoogleTest inside a QCoreApplication (a QApplication on the
// offscreen platform, with the silent audio sink, when ZARVELL_TEST_WIDGETS is defined) on a
// private session bus.
//
// The binary starts itself again under `dbus-run-session --`, which runs a session bus of
// its own for just this process and ends it afterwards, so neither CTest nor a developer
// running the binary by hand ever publishes a test player on their desktop's bus.
#include <gtest/gtest.h>
#include <unistd.h>

#ifdef ZARVELL_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kMarker = "ZARVELL_TEST_PRIVATE_BUS";

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kMarker) == nullptr) {
    ::setenv(kMarker, "1", 1);
    std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::fprintf(stderr, "cannot start dbus-run-session: %s\n", std::strerror(errno));
    return 1;
  }
#ifdef ZARVELL_TEST_WIDGETS
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("ZARVELL_AUDIO_SINK", "fake", 1);
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
