// The engine log: lines reach the configured file, and a line logged while no appender is
// attached (the engine logs while it is built, before its facade sets logging up) is
// dropped without a complaint on standard error.
#include "qorncore/datatypes/EngineLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "scratch_dir.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(EngineLog, LinesGoToTheFileOnlyWhileItIsConfigured) {
  const zarvelltest::ScratchDir dir("zarvell-log");
  ASSERT_FALSE(dir.path().empty());
  const std::string file = dir.file("kalvoret.log");

  testing::internal::CaptureStderr();
  EXPECT_FALSE(qorn::logEnabled(qorn::LogLevel::Error));
  QORN_LOG(Error, "tests/engine_log", "before the set-up");
  qorn::configureEngineLogging(file);
  EXPECT_TRUE(qorn::logEnabled(qorn::LogLevel::Debug));
  QORN_LOG(Info, "tests/engine_log", "while configured");
  qorn::shutdownEngineLogging();
  EXPECT_FALSE(qorn::logEnabled(qorn::LogLevel::Error));
  QORN_LOG(Error, "tests/engine_log", "after the shut-down");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  const std::string text = readFile(file);
  EXPECT_NE(text.find("while configured"), std::string::npos) << text;
  EXPECT_EQ(text.find("before the set-up"), std::string::npos) << text;
  EXPECT_EQ(text.find("after the shut-down"), std::string::npos) << text;
}

}  // namespace
