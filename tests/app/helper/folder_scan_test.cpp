// The folder scan: the media test, recursion, links to folders and files, loops, unreadable
// folders, order and cancelling, on a real tree in a scratch folder.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zarvell/FolderScan.h"

namespace {

namespace fs = std::filesystem;

class ScanTree : public ::testing::Test {
 protected:
  ScanTree() {
    std::string pattern = (fs::temp_directory_path() / "folder-scan-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    root_ = fs::canonical(root_);
  }
  ~ScanTree() override {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto& e : fs::recursive_directory_iterator(root_, ignored))
      if (e.is_directory(ignored) && !e.is_symlink(ignored))
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  std::string file(const std::string& relative) {
    const fs::path p = root_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    return p.string();
  }
  std::string at(const std::string& relative) const { return (root_ / relative).string(); }

  fs::path root_;
};

TEST(MediaTest, ExtensionsAnyCaseAndFolders) {
  struct Case {
    const char* path;
    bool media;
  } cases[] = {
      {"a.mp3", true},   {"A.MP3", true},    {"b.Wma", true},   {"c.m4a", true},
      {"d.WAV", true},   {"e.flac", true},   {"f.OGG", true},   {"g.oga", true},
      {"h.Opus", true},  {"song.m4p", false}, {"notes.txt", false}, {"mp3", false},
      {".mp", false},    {"x.mp3.bak", false}, {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(zarvell::isMediaFileName(c.path), c.media) << c.path;
  EXPECT_TRUE(zarvell::passesMediaTest(fs::temp_directory_path().string()));
  EXPECT_FALSE(zarvell::passesMediaTest("/no/such/folder"));
}

TEST_F(ScanTree, FindsMediaInEveryFolderSortedAndCanonical) {
  const std::string a = file("b/Deep/one.MP3");
  const std::string b = file("a/two.flac");
  const std::string c = file("three.opus");
  file("a/cover.jpg");
  file("b/readme");
  const auto result = zarvell::scanMediaFolder(at("b/../"));  // given with ".." and "/"
  EXPECT_FALSE(result.cancelled);
  EXPECT_TRUE(result.skipped.empty());
  EXPECT_EQ(result.files, (std::vector<std::string>{b, a, c}));
}

TEST_F(ScanTree, FollowsLinksAndScansEachFolderOnce) {
  const std::string inside = file("music/album/t1.ogg");
  const fs::path outside = root_.parent_path() / (root_.filename().string() + "-elsewhere");
  fs::create_directories(outside / "more");
  std::ofstream(outside / "more" / "t2.m4a") << "x";
  std::ofstream(outside / "single.wav") << "x";
  // A loop back up the tree, a second way into the same folder, a linked folder and
  // file elsewhere, and a broken link.
  fs::create_directory_symlink(root_ / "music", root_ / "music/album/up");
  fs::create_directory_symlink(root_ / "music/album", root_ / "music/again");
  fs::create_directory_symlink(outside / "more", root_ / "music/more");
  fs::create_symlink(outside / "single.wav", root_ / "music/linked.wav");
  fs::create_symlink(root_ / "gone.mp3", root_ / "music/broken.mp3");

  std::size_t folders = 0;
  const auto result = zarvell::scanMediaFolder(at("music"), [&](std::size_t done, std::size_t) {
    folders = done;
    return true;
  });
  const std::vector<std::string> expected{(outside / "more/t2.m4a").string(),
                                          (outside / "single.wav").string(), inside};
  EXPECT_EQ(result.files, expected);
  EXPECT_EQ(folders, 3u);  // music, music/album, the linked folder elsewhere
  std::error_code ignored;
  fs::remove_all(outside, ignored);
}

TEST_F(ScanTree, CancelGivesNothing) {
  file("a/x.mp3");
  file("b/y.mp3");
  int calls = 0;
  const auto result = zarvell::scanMediaFolder(root_.string(), [&](std::size_t, std::size_t) {
    return ++calls < 2;
  });
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(result.files.empty());
  EXPECT_EQ(calls, 2);
}

TEST_F(ScanTree, NotAFolderIsSkipped) {
  const std::string song = file("x.mp3");
  for (const std::string& root : {song, at("missing")}) {
    const auto result = zarvell::scanMediaFolder(root);
    EXPECT_TRUE(result.files.empty()) << root;
    EXPECT_EQ(result.skipped, std::vector<std::string>{root});
  }
}

TEST_F(ScanTree, CollectTakesFilesAndFolders) {
  const std::string a = file("dir/a.mp3");
  const std::string b = file("b.WAV");
  file("c.txt");
  const auto result = zarvell::collectMedia({b, at("c.txt"), at("dir"), at("none.mp3"), a});
  EXPECT_EQ(result.files, (std::vector<std::string>{b, a}));  // each once, sorted
  EXPECT_EQ(result.skipped, std::vector<std::string>{at("none.mp3")});
}

// Root reads folders past their permissions: the unreadable case runs as an unprivileged
// child when the suite runs as root.
TEST_F(ScanTree, UnreadableFolderIsSkipped) {
  const std::string kept = file("open/k.mp3");
  file("closed/hidden.mp3");
  auto body = [&] {
    ASSERT_EQ(::chmod(at("closed").c_str(), 0), 0);
    const auto result = zarvell::scanMediaFolder(root_.string());
    EXPECT_EQ(result.files, std::vector<std::string>{kept});
    EXPECT_EQ(result.skipped, std::vector<std::string>{at("closed")});
  };
  if (::geteuid() != 0) {
    body();
    return;
  }
  constexpr uid_t kNobody = 65534;
  for (auto& e : fs::recursive_directory_iterator(root_))
    ASSERT_EQ(::lchown(e.path().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chown(root_.c_str(), kNobody, kNobody), 0);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0)
      std::_Exit(2);
    body();
    std::_Exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
