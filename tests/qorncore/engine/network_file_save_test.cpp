// Saving the network file safely: failures at every step leave the old file as it was,
// the previous file is kept as "<name>.bak", and a saving process killed at any moment
// leaves a file that loads (the old one or the new one).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "network_file_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/engine/SafeFile.h"

namespace {

using namespace qorn;
using namespace netfiletest;

// A network large enough that a save takes a while (about 1 MB of text).
void buildLargeNetwork(qornManager& m, int songs) {
  for (int i = 1; i <= songs; ++i) {
    auto* song = addNode<SongNode>(m, i, "song number " + std::to_string(i), 0.5f);
    song->md5 = std::to_string(1000000 + i);
    song->location = "folder/song" + std::to_string(i) + ".mp3";
    if (i > 1) m.links().create(i, i - 1, qornfloat(0.4f));
  }
}

struct ErrorText {
  ErrorText() {
    setManagerPresent(true);
    clearLogOutputText();
  }
  ~ErrorText() {
    clearLogOutputText();
    setManagerPresent(false);
  }
};

// The folder's file names in name order, each followed by a space.
std::string folderListing(const fs::path& dir) {
  std::set<std::string> sorted;
  for (const auto& entry : fs::directory_iterator(dir)) sorted.insert(entry.path().filename());
  std::string names;
  for (const std::string& name : sorted) names += name + " ";
  return names;
}

TEST(NetworkFileSave, KeepsThePreviousFileAsBackup) {
  ScratchDir dir;
  auto m = makeManager();
  buildSmallNetwork(*m);
  const std::string path = dir / "net.xml";
  writeFile(path, "old text");
  ::chmod(path.c_str(), 0640);
  ASSERT_EQ(save(*m, path), 1);
  EXPECT_EQ(readFile(path), readFile(fixturePath("small.xml")));
  EXPECT_EQ(readFile(path + ".bak"), "old text");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the new file keeps the old permissions
  ASSERT_EQ(save(*m, path), 1);
  EXPECT_EQ(readFile(path + ".bak"), readFile(fixturePath("small.xml")));
  EXPECT_EQ(folderListing(dir.path()).size(), std::string("net.xml net.xml.bak ").size());
}

TEST(NetworkFileSave, ASymbolicLinkStaysAndItsTargetIsReplaced) {
  ScratchDir dir;
  auto m = makeManager();
  buildSmallNetwork(*m);
  writeFile(dir / "real.xml", "old");
  fs::create_symlink(dir / "real.xml", dir / "link.xml");
  ASSERT_EQ(save(*m, dir / "link.xml"), 1);
  EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
  EXPECT_EQ(readFile(dir / "real.xml"), readFile(fixturePath("small.xml")));
  EXPECT_EQ(readFile(dir / "real.xml.bak"), "old");
}

// Each case makes one step of the save fail for real; the old file must stay untouched,
// nothing half-written may remain, and error 5 is reported.
TEST(NetworkFileSave, AFailedStepLeavesTheOldFileUntouched) {
  struct Case {
    const char* what;
    std::function<std::string(ScratchDir&)> arrange;  // returns the path to save to
  };
  const Case cases[] = {
      {"folder is a regular file",
       [](ScratchDir& d) {
         writeFile(d / "plain", "x");
         return d / "plain/net.xml";
       }},
      {"folder does not exist", [](ScratchDir& d) { return d / "missing/net.xml"; }},
      {"temporary file cannot be created",
       [](ScratchDir& d) {
         fs::create_directory(SafeFile::tempPathFor(d / "net.xml"));
         return d / "net.xml";
       }},
      {"backup cannot be kept",
       [](ScratchDir& d) {
         fs::create_directories(d / "net.xml.bak/inside");
         return d / "net.xml";
       }},
      {"target is a folder",
       [](ScratchDir& d) {
         fs::create_directories(d / "folder.xml/inside");
         return d / "folder.xml";
       }},
      {"empty path", [](ScratchDir&) { return std::string(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    writeFile(dir / "net.xml", "old network");
    const std::string path = c.arrange(dir);
    const std::string before = folderListing(dir.path());
    ErrorText errors;
    auto m = makeManager();
    buildSmallNetwork(*m);
    std::string console;
    EXPECT_EQ(save(*m, path, &console), 0);
    EXPECT_EQ(console, "Saving net ... ");
    EXPECT_EQ(logOutputText(), "Can't save network file.\r\n");
    EXPECT_EQ(readFile(dir / "net.xml"), "old network");
    EXPECT_EQ(folderListing(dir.path()), before);
  }
}

TEST(NetworkFileSave, ReadOnlyFolderFailsCleanly) {
  ScratchDir dir;
  withoutPrivilege(dir, [&] {
    fs::create_directory(dir / "ro");
    writeFile(dir / "ro/net.xml", "old network");
    ::chmod((dir / "ro").c_str(), 0555);
    auto m = makeManager();
    buildSmallNetwork(*m);
    EXPECT_EQ(save(*m, dir / "ro/net.xml"), 0);
    EXPECT_EQ(readFile(dir / "ro/net.xml"), "old network");
    ::chmod((dir / "ro").c_str(), 0755);
  });
}

// A full disk: the file size limit makes a write fail half-way, as ENOSPC would.
// The backup is made while the new text is written; a save failing half-way leaves the
// target as it was and the folder with the same files: a backup made by this save alone
// goes again, an older one then holds the current file.
TEST(NetworkFileSave, AWriteFailingHalfWayLeavesTheOldFile) {
  for (const bool olderBackup : {false, true}) {
    SCOPED_TRACE(olderBackup ? "with an older backup" : "without a backup");
    ScratchDir dir;
    const std::string path = dir / "net.xml";
    writeFile(path, "old network");
    if (olderBackup) writeFile(path + ".bak", "older network");
    auto m = makeManager();
    buildLargeNetwork(*m, 3000);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{64 * 1024, 64 * 1024};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::_exit(save(*m, path) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not report the failure";
    EXPECT_EQ(readFile(path), "old network");
    EXPECT_EQ(folderListing(dir.path()), olderBackup ? "net.xml net.xml.bak " : "net.xml ");
    if (olderBackup) {
      EXPECT_EQ(readFile(path + ".bak"), "old network");
    }
  }
}

// Kills a process that saves in a loop at random moments; each time the file on disk
// must load and hold exactly one of the two networks it alternates between.
// NETFILE_KILLS sets the number of kills (scripts/stress-network-save.sh runs many).
TEST(NetworkFileSave, KilledSavesLeaveALoadableFile) {
  int kills = 20;
  if (const char* n = std::getenv("NETFILE_KILLS")) kills = std::atoi(n);
  ScratchDir dir;
  const std::string path = dir / "net.xml";
  auto small = makeManager();
  buildSmallNetwork(*small);
  auto large = makeManager();
  buildLargeNetwork(*large, 4000);
  ASSERT_EQ(save(*small, path), 1);
  const std::string smallText = readFile(path);
  ASSERT_EQ(save(*large, path), 1);
  const std::string largeText = readFile(path);

  std::mt19937 rng(std::random_device{}());
  std::uniform_int_distribution<int> delayUs(0, 40000);
  for (int k = 0; k < kills; ++k) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::ostringstream quiet;
      for (int i = 0;; ++i) saveNetworkFile(i % 2 ? *small : *large, path.c_str(), quiet);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string text = readFile(path);
    ASSERT_TRUE(text == smallText || text == largeText) << "kill " << k << ": a mixed file";
    auto r = makeManager();
    ASSERT_EQ(load(*r, path), 1) << "kill " << k;
    if (fs::exists(path + ".bak")) {
      const std::string backup = readFile(path + ".bak");
      ASSERT_TRUE(backup == smallText || backup == largeText) << "kill " << k << ": backup";
    }
  }
}

}  // namespace
