// Uses the real libKalvoretEngine.so through its public header alone, as the application
// does. The header comes first so that it has to stand on its own.
#include "IQornManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

class Library : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarvell-lib-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ASSERT_EQ(::chdir(dir_.c_str()), 0);
  }
  std::string dir_;
};

struct CountingCallback : IQornManagerCallback {
  bool progress(ProgressInfo*) override { return true; }
};

TEST_F(Library, CreateQueryAndDestroy) {
  CountingCallback callback;
  auto* manager = new IQornManager(true, &callback);
  EXPECT_EQ(manager->getFirstNode(), nullptr);
  EXPECT_EQ(manager->getNodeType(nullptr), -1);
  EXPECT_STREQ(manager->getNodeName(nullptr), "");
  EXPECT_EQ(manager->getLinkStrength(nullptr, nullptr), -1.0f);
  EXPECT_EQ(manager->boost(nullptr, 1.0f, false), static_cast<int>(0x80004005));
  EXPECT_EQ(manager->getLogOutput(), nullptr);
  EXPECT_TRUE(manager->onAddToLogOutput("hello"));
  EXPECT_STREQ(manager->getLogOutput(), "hello\r\n");
  delete manager;
  // The engine writes its log in the current directory.
  EXPECT_EQ(::access((dir_ + "/kalvoret.log").c_str(), F_OK), 0);
}

TEST(Records, LayoutsAreThoseOfTheBoundary) {
  EXPECT_EQ(sizeof(FESyncItem), 169u);
  EXPECT_EQ(offsetof(FESyncItem, path), 1u);
  EXPECT_EQ(offsetof(FESyncItem, genre), 1u + 8 * sizeof(void*));
  EXPECT_EQ(offsetof(FESyncItem, duration), 1u + 16 * sizeof(void*));
  EXPECT_EQ(offsetof(FESyncItem, sendMetadata), 1u + 16 * sizeof(void*) + 32);
  EXPECT_EQ(offsetof(FESyncItem, sent), 1u + 16 * sizeof(void*) + 36);
  EXPECT_EQ(sizeof(ProgressInfo), 41u);
  EXPECT_EQ(offsetof(ProgressInfo, flag), 16u);
  EXPECT_EQ(offsetof(ProgressInfo, detail2), 17u + 2 * sizeof(void*));
}

}  // namespace
