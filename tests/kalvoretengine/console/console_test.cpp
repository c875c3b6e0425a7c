// The console's own parsing and error handling (scenario scripts test the commands).
#include "Console.h"

#include <gtest/gtest.h>

#include <sstream>
#include <unistd.h>

namespace {

using kalvoret::Args;
using kalvoret::CommandError;

TEST(Console, SplitsWordsWithQuotesAndEscapes) {
  EXPECT_EQ(kalvoret::splitLine("  song 1  \"Low Tide\" md5=ab "),
            (Args{"song", "1", "Low Tide", "md5=ab"}));
  EXPECT_EQ(kalvoret::splitLine(R"(x "a\"b\\c\t\x41" k="v w")"),
            (Args{"x", "a\"b\\c\tA", "k=v w"}));
  EXPECT_EQ(kalvoret::splitLine(""), Args{});
  EXPECT_THROW(kalvoret::splitLine("x \"open"), CommandError);
  EXPECT_THROW(kalvoret::splitLine(R"(x "\q")"), CommandError);
  EXPECT_THROW(kalvoret::splitLine(R"(x "\x4")"), CommandError);
}

TEST(Console, QuotesResultsSoThatTheyReadBack) {
  EXPECT_EQ(kalvoret::Session::quote("a\"b\\\r\n\x01"), R"("a\"b\\\r\n\x01")");
  EXPECT_EQ(kalvoret::splitLine(kalvoret::Session::quote("a\"b\\\r\n\x01")),
            Args{"a\"b\\\r\n\x01"});
}

TEST(Console, UnknownCommandsSuggestTheClosest) {
  const kalvoret::CommandTable table = kalvoret::allCommands();
  const struct {
    const char* typed;
    const char* suggested;  // "" for none
  } cases[] = {
      {"play", "onPlay"},          {"getnodename", "getNodeName"}, {"pickNext", "pickNextNode"},
      {"savenet", "saveNet"},      {"lnks", "links"},              {"hlep", "help"},
      {"learnTransiton", "learnTransition"}, {"xyzzyplugh", ""},   {"q", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(kalvoret::closestCommand(table, c.typed), c.suggested) << c.typed;
  EXPECT_EQ(kalvoret::unknownCommand(table, "play"), "unknown command 'play'; did you mean 'onPlay'?");
  EXPECT_EQ(kalvoret::unknownCommand(table, "xyzzyplugh"), "unknown command 'xyzzyplugh'");
}

TEST(Console, BadLinesReportErrorsAndTheScriptGoesOn) {
  char pattern[] = "/tmp/zarvell-console-XXXXXX";
  ASSERT_EQ(::chdir(::mkdtemp(pattern)), 0);
  IQornManager manager(false, nullptr);
  kalvoret::Session session(manager);
  const kalvoret::CommandTable table = kalvoret::allCommands();
  std::istringstream script(
      "# a comment\n"
      "\n"
      "nosuch 1\n"
      "getNodeName 99\n"
      "getNodeName\n"
      "song x \"bad id\"\n"
      "song 1 \"One\" colour=red\n"
      "song 1 \"One\"\n"
      "song 1 \"Again\"\n"
      "setBlocked 1 maybe\n"
      "getNodeName 1\n");
  std::ostringstream out;
  EXPECT_EQ(kalvoret::runScript(session, table, script, out), 7);
  EXPECT_EQ(out.str(),
            "nosuch 1 => error: unknown command 'nosuch'\n"
            "getNodeName 99 => error: no node with id 99\n"
            "getNodeName => error: usage: getNodeName NODE\n"
            "song x \"bad id\" => error: not an integer: x\n"
            "song 1 One colour=red => error: unknown option: colour\n"
            "song 1 One => #1\n"
            "song 1 Again => error: a node with this id exists\n"
            "setBlocked 1 maybe => error: not a boolean (1/0, true/false, on/off): maybe\n"
            "getNodeName 1 => \"One\"\n");
}

}  // namespace
