// `cmake --install`: the program folder under lib/zarvell with its permissions, the
// bin/zarvell launcher link, the menu entry and the icon; and a fixture program folder run
// through the same generated rules, which shows the link resolving to the player and the
// user's own files staying behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kBuild = ZARVELL_BUILD_DIR;
const fs::path kProgram = ZARVELL_PROGRAM_DIR;
const fs::path kDesktopBuild = ZARVELL_DESKTOP_BUILD_DIR;

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// Runs a shell command with its output in `log` (inside the test's scratch folder, as tests
// may run in parallel).
int run(const std::string& command, const fs::path& log) {
  const int status = std::system((command + " >" + quoted(log) + " 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text, fs::perms perms) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  fs::permissions(path, perms);
}

bool executable(const fs::path& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "zarvell-install-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The launcher, the menu entry and the icon, wherever the program folder came from.
void expectDesktopFiles(const fs::path& prefix) {
  const fs::path log = prefix.parent_path() / "validate.log";
  const fs::path launcher = prefix / "bin/zarvell";
  ASSERT_TRUE(fs::is_symlink(launcher));
  EXPECT_EQ(fs::read_symlink(launcher), fs::path("../lib/zarvell/zarvell"));

  const std::string entry = readAll(prefix / "share/applications/zarvell.desktop");
  EXPECT_NE(entry.find("\nName=Zarvell\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nExec=zarvell"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=zarvell\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nCategories=AudioVideo;Audio;Player;\n"), std::string::npos) << entry;
  if (run("command -v desktop-file-validate", log) == 0) {
    EXPECT_EQ(
        run("desktop-file-validate " + quoted(prefix / "share/applications/zarvell.desktop"), log),
        0)
        << readAll(log);
  }
  // The mark that keeps the users' data out of the installed folder.
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib/zarvell/.installed"));
  const std::string icon = readAll(prefix / "share/icons/hicolor/scalable/apps/zarvell.svg");
  EXPECT_NE(icon.find("<svg"), std::string::npos);
  EXPECT_NE(icon.find("viewBox"), std::string::npos);
}

TEST(DesktopInstall, TheBuildInstallsIntoAPrefix) {
  Scratch scratch;
  ASSERT_FALSE(scratch.path().empty());
  const fs::path prefix = scratch.path() / "usr";
  const fs::path log = scratch.path() / "install.log";
  ASSERT_EQ(run(quoted(ZARVELL_CMAKE_COMMAND) + " --install " + quoted(kBuild) + " --prefix " +
                    quoted(prefix),
                log),
            0)
      << readAll(log);

  const fs::path installed = prefix / "lib/zarvell";
  for (const char* program : {"kalvoret", "libKalvoretEngine.so", "Sonalyx.so",
                              "audioplugins/internal.so", "networks/normf.xml"}) {
    SCOPED_TRACE(program);
    ASSERT_TRUE(fs::exists(kProgram / program)) << "the build has no " << program;
    EXPECT_TRUE(fs::exists(installed / program));
    EXPECT_EQ(fs::status(installed / program).permissions(),
              fs::status(kProgram / program).permissions());
  }
  EXPECT_TRUE(executable(installed / "kalvoret"));
  expectDesktopFiles(prefix);
  // The player itself, once the build has it.
  if (fs::exists(kProgram / "zarvell")) {
    EXPECT_TRUE(fs::equivalent(prefix / "bin/zarvell", installed / "zarvell"));
    EXPECT_TRUE(executable(prefix / "bin/zarvell"));
  }
}

// The generated install rules of the desktop folder, pointed at a fixture program folder.
TEST(DesktopInstall, TheLauncherResolvesAndTheUsersFilesStayBehind) {
  Scratch scratch;
  ASSERT_FALSE(scratch.path().empty());
  const fs::path program = scratch.path() / "program";
  const auto exec = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                    fs::perms::others_read | fs::perms::others_exec;
  const auto data = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                    fs::perms::others_read;
  writeFile(program / "zarvell", "#!/bin/sh\necho zarvell-fixture\n", exec);
  writeFile(program / "libKalvoretEngine.so", "engine", exec);
  writeFile(program / "networks/model", "model", data);
  writeFile(program / "networks/normf.xml", "<normf/>", data);
  // What a run from the build tree writes when the program folder is its data folder.
  const char* userFiles[] = {"Zarvell.cfg",
                             "zarvell.log",
                             "kalvoret.log",
                             "zarvell.lock",
                             "networks/default.xml",
                             "networks/default.xml.damaged-20261210-134501",
                             "networks/features.mbff",
                             "networks/features.xml"};
  for (const char* file : userFiles) writeFile(program / file, "the user's", data);

  const std::string rules = readAll(kDesktopBuild / "cmake_install.cmake");
  const std::string from = kProgram.string() + "/";
  const std::size_t at = rules.find(from);
  ASSERT_NE(at, std::string::npos) << "the rules do not install " << from;
  std::string fixtureRules = rules;
  for (std::size_t pos = 0; (pos = fixtureRules.find(from, pos)) != std::string::npos;) {
    fixtureRules.replace(pos, from.size(), program.string() + "/");
    pos += program.string().size() + 1;
  }
  writeFile(scratch.path() / "rules.cmake", fixtureRules, data);

  const fs::path prefix = scratch.path() / "prefix";
  const fs::path log = scratch.path() / "install.log";
  ASSERT_EQ(run(quoted(ZARVELL_CMAKE_COMMAND) + " -DCMAKE_INSTALL_PREFIX=" + quoted(prefix) +
                    " -P " + quoted(scratch.path() / "rules.cmake"),
                log),
            0)
      << readAll(log);

  expectDesktopFiles(prefix);
  const fs::path launcher = prefix / "bin/zarvell";
  ASSERT_TRUE(fs::exists(launcher)) << "the link does not resolve";
  EXPECT_TRUE(fs::equivalent(launcher, prefix / "lib/zarvell/zarvell"));
  EXPECT_TRUE(executable(launcher));
  EXPECT_EQ(run(quoted(launcher), log), 0);
  EXPECT_EQ(readAll(log), "zarvell-fixture\n");
  EXPECT_EQ(fs::status(prefix / "lib/zarvell/networks/model").permissions(), data);
  EXPECT_TRUE(fs::exists(prefix / "lib/zarvell/networks/normf.xml"));
  EXPECT_TRUE(fs::exists(prefix / "lib/zarvell/libKalvoretEngine.so"));
  for (const char* file : userFiles) {
    EXPECT_FALSE(fs::exists(prefix / "lib/zarvell" / file)) << file << " was installed";
  }
}

}  // namespace
