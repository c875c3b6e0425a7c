#include "zarvell/module.h"
#include "zarvell/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets or unsets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { had_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

std::string makeTempDir() {
  char pattern[] = "/tmp/zarvell-paths-XXXXXX";
  return ::mkdtemp(pattern);
}

TEST(Paths, DataFolderFollowsTheDocumentedOrder) {
  const std::string root = makeTempDir();
  const std::string program = root + "/program";
  ASSERT_TRUE(zarvell::makeFolders(program));
  ScopedEnv programDir("ZARVELL_PROGRAM_DIR", program.c_str());
  ScopedEnv xdg("XDG_DATA_HOME", (root + "/xdg").c_str());
  {
    ScopedEnv home("ZARVELL_HOME", (root + "/home/deep").c_str());
    EXPECT_EQ(zarvell::dataFolder(), root + "/home/deep");  // created on demand
  }
  ScopedEnv noHome("ZARVELL_HOME", nullptr);
  EXPECT_EQ(zarvell::dataFolder(), program);  // writable program folder: portable layout
  {
    // An installed program folder stays clean even for a user who may write to it.
    std::ofstream(program + "/.installed") << "installed\n";
    EXPECT_EQ(zarvell::dataFolder(), root + "/xdg/zarvell");
    ::unlink((program + "/.installed").c_str());
  }
  if (::geteuid() != 0) {  // root may write anywhere, so this branch needs a normal user
    ::chmod(program.c_str(), 0555);
    EXPECT_EQ(zarvell::dataFolder(), root + "/xdg/zarvell");
    ::chmod(program.c_str(), 0755);
  }
}

TEST(Paths, ShippedFilesCanBeOverriddenInTheDataFolder) {
  const std::string root = makeTempDir();
  ASSERT_TRUE(zarvell::makeFolders(root + "/program/networks"));
  ASSERT_TRUE(zarvell::makeFolders(root + "/data/networks"));
  ScopedEnv programDir("ZARVELL_PROGRAM_DIR", (root + "/program").c_str());
  ScopedEnv home("ZARVELL_HOME", (root + "/data").c_str());
  EXPECT_EQ(zarvell::findDataFile("networks/normf.xml"), root + "/program/networks/normf.xml");
  std::ofstream(root + "/data/networks/normf.xml") << "<x/>";
  EXPECT_EQ(zarvell::findDataFile("networks/normf.xml"), root + "/data/networks/normf.xml");
}

TEST(Module, MissingModuleIsEmptyWithAReason) {
  const std::string root = makeTempDir();
  ScopedEnv programDir("ZARVELL_PROGRAM_DIR", root.c_str());
  zarvell::Module module = zarvell::Module::load("NoSuchModule");
  EXPECT_FALSE(module);
  EXPECT_FALSE(module.error().empty());
  EXPECT_EQ(module.symbol("Init"), nullptr);
}

TEST(Module, LoadsByNameThroughTheLibrarySearchAndFindsEntries) {
  // libm is found by the ordinary search when the program folder does not have it.
  const std::string root = makeTempDir();
  ScopedEnv programDir("ZARVELL_PROGRAM_DIR", root.c_str());
  zarvell::Module module = zarvell::Module::load("libm.so.6");
  ASSERT_TRUE(module) << module.error();
  auto cosine = module.entry<double (*)(double)>("cos");
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  zarvell::Module moved = std::move(module);
  EXPECT_FALSE(module);  // NOLINT: moved-from state is part of the contract
  EXPECT_TRUE(moved);
}

}  // namespace
