// The engine console: the engine's own console lines reach the chosen stream, and nothing
// of them reaches standard output while another stream is chosen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "manager_test_support.h"
#include "qorncore/datatypes/EngineConsole.h"

namespace {

// Collects what is written to std::cout while it exists.
class CoutCapture {
 public:
  CoutCapture() : previous_(std::cout.rdbuf(text_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(previous_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* previous_;
};

using EngineConsoleTest = enginetest::ManagerTest;

TEST_F(EngineConsoleTest, EngineLinesGoToTheChosenStreamOnly) {
  net.song(1);
  net.song(2);
  CoutCapture out;
  std::ostringstream console;
  {
    qorn::ScopedEngineConsole chosen(console);
    EXPECT_EQ(engine.setNodeField(1, "colour", "red"), 0);
    EXPECT_EQ(engine.hotlistHolder().setFilter(8, engine.nodes()), 0);
  }
  EXPECT_EQ(console.str(),
            "Warning unsupported node field: colour\n"
            "Warning illegal hotlist filter!8\n");
  EXPECT_EQ(out.text(), "");
  // Out of the scope the lines go to standard output again.
  EXPECT_EQ(&qorn::engineConsole(), &std::cout);
  engine.setNodeField(1, "colour", "blue");
  EXPECT_EQ(out.text(), "Warning unsupported node field: colour\n");
}

TEST_F(EngineConsoleTest, NetworkFileFailuresReachTheConsole) {
  std::ostringstream missing;
  {
    qorn::ScopedEngineConsole chosen(missing);
    EXPECT_EQ(engine.loadNet("/nonexistent/zarvell/net.xml"), 0);
  }
  EXPECT_EQ(missing.str(), "error opening /nonexistent/zarvell/net.xml (hit any key to continue)\n");

  char pattern[] = "/tmp/zarvell-console-net-XXXXXX";
  const int fd = ::mkstemp(pattern);
  ASSERT_GE(fd, 0);
  const char text[] = "<?xml version=\"1.0\"?>\n<network>\n<node id=\"1\"\n";
  ASSERT_EQ(::write(fd, text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
  ::close(fd);
  std::ostringstream parse;
  {
    qorn::ScopedEngineConsole chosen(parse);
    EXPECT_EQ(engine.loadNet(pattern), 0);
  }
  ::unlink(pattern);
  EXPECT_EQ(parse.str(), "Warning unexpected tag <network>\nParse error at line 3:\nunclosed token\n");
}

}  // namespace
