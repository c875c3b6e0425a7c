// The zarvell program as a user runs it: real processes on a scratch data folder, closed by
// signals, and started twice.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app_test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kZarvell = std::string(ZARVELL_PROGRAM_DIR) + "/zarvell";

using apptest::countOf;
using apptest::readAll;

// A zarvell process on the data folder `home`, offscreen, silent, off any session bus.
class Program {
 public:
  explicit Program(const std::string& home) {
    setenv("ZARVELL_HOME", home.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ZARVELL_AUDIO_SINK", "fake", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    char* argv[] = {const_cast<char*>(kZarvell.c_str()), nullptr};
    if (posix_spawn(&pid_, kZarvell.c_str(), nullptr, nullptr, argv, environ) != 0) pid_ = -1;
  }
  ~Program() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  void signal(int number) { kill(pid_, number); }
  // The exit status, or -1 when the process did not end in time (or ended by a signal).
  int waitExit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

bool waitForLogLine(const std::string& home, const std::string& line,
                    std::chrono::milliseconds limit = 30s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (readAll(home + "/zarvell.log").find(line) != std::string::npos) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

class ProgramSignal : public ::testing::TestWithParam<int> {};

TEST_P(ProgramSignal, ClosesThePlayerAsTheCloseButtonDoes) {
  apptest::ScratchHome home;
  apptest::writeSongNetwork(home.file("networks/default.xml"),
                            {{"One", apptest::audioFixture("tone1k_2s.wav"), 2, 0.4}});
  Program zarvell(home.path());
  ASSERT_TRUE(zarvell.started());
  ASSERT_TRUE(waitForLogLine(home.path(), "Zarvell started")) << readAll(home.file("zarvell.log"));
  zarvell.signal(GetParam());
  EXPECT_EQ(zarvell.waitExit(30s), 0);
  const std::string log = readAll(home.file("zarvell.log"));
  EXPECT_EQ(countOf(log, "saving the network to networks/default.xml"), 1) << log;
  EXPECT_TRUE(fs::exists(home.file("networks/default.xml.bak"))) << "the network was saved";
  EXPECT_NE(readAll(home.file("networks/default.xml")).find("name=\"One\""), std::string::npos);
  EXPECT_EQ(fs::file_size(home.file("Zarvell.cfg")), 1628u) << "the settings were written";
  EXPECT_FALSE(fs::exists(home.file("zarvell.lock"))) << "the data folder is free again";
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, ProgramSignal, ::testing::Values(SIGTERM, SIGINT));

TEST(Program, ASecondStartRaisesTheFirstAndLeavesEverythingAlone) {
  apptest::ScratchHome home;
  apptest::writeSongNetwork(home.file("networks/default.xml"),
                            {{"One", apptest::audioFixture("tone1k_2s.wav"), 2, 0.4}});
  Program first(home.path());
  ASSERT_TRUE(waitForLogLine(home.path(), "Zarvell started"));
  const std::string network = readAll(home.file("networks/default.xml"));
  {
    Program second(home.path());
    EXPECT_EQ(second.waitExit(10s), 0) << "the second start ends by itself";
  }
  EXPECT_TRUE(waitForLogLine(home.path(), "raising the window for a second start", 5s));
  EXPECT_EQ(readAll(home.file("networks/default.xml")), network) << "the network is untouched";
  EXPECT_FALSE(fs::exists(home.file("Zarvell.cfg"))) << "no settings were written";
  EXPECT_FALSE(fs::exists(home.file("networks/default.xml.bak")));
  const std::string logAfter = readAll(home.file("zarvell.log"));
  EXPECT_EQ(countOf(logAfter, "Zarvell started"), 1) << "only the first one started";
  EXPECT_EQ(countOf(logAfter, "saving the network"), 0);
  first.signal(SIGTERM);
  EXPECT_EQ(first.waitExit(30s), 0);
}

}  // namespace
