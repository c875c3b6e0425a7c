// Helpers for the network file tests: a scratch folder, whole-file reads and writes, and a
// small network holding every kind of node, link, list and setting.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "qorncore/manager/qornManager.h"
#include "qorncore/manager/qornManagerNetworkFile.h"

namespace netfiletest {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "zarvell-netfile-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs `body` where file permissions hold: directly for an ordinary user; for root (who
// reads and writes past them, as in CI) in a child process that first becomes the
// unprivileged user 65534 and makes `dir` its own. The child's failures are reported by
// the child and fail the test through its exit status.
template <typename Body>
void withoutPrivilege(const ScratchDir& dir, Body body) {
  if (::geteuid() != 0) {
    body();
    return;
  }
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (::chown(dir.path().c_str(), kNobody, kNobody) != 0 || ::chdir(dir.path().c_str()) != 0 ||
        ::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      std::fprintf(stderr, "cannot become user %u\n", kNobody);
      std::_Exit(2);
    }
    body();
    std::cout.flush();
    std::_Exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the unprivileged part failed (status " << status << ")";
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string fixturePath(const std::string& name) {
  return std::string(ZARVELL_SOURCE_DIR) + "/tests/qorncore/engine/data/network/" + name;
}

// The fixed time of the small network's taboo entries.
constexpr int32_t kNow = 1700000000;

inline std::unique_ptr<qorn::qornManager> makeManager() {
  auto m = std::make_unique<qorn::qornManager>("", "", nullptr);
  m->clock().set(kNow);
  return m;
}

// Adds a node with the given fields and returns it (owned by the manager).
template <typename T>
T* addNode(qorn::qornManager& m, int id, const std::string& name, float activation) {
  auto* node = new T();
  node->id = id;
  node->name = name;
  node->activation = qorn::qornfloat(activation);
  EXPECT_EQ(m.addNode(node), 1);
  return node;
}

// Two artists, an album of two songs, a playlist, three songs (one with a name that needs
// escaping, people with three roles, keywords), links of every kind with a penalty
// counter, palette entries of both types, history, taboo entries and a play queue.
inline void buildSmallNetwork(qorn::qornManager& m) {
  using namespace qorn;
  m.setMediaRoot(qornstring("/music/A&B \"x\" <y>"));
  auto* nina = addNode<ArtistNode>(m, 1, "Nina Vale", 0.25f);
  nina->duration = 0;
  addNode<ArtistNode>(m, 2, "The Quiet Coast", 0.0f);
  auto* harbour = addNode<SongNode>(m, 10, "Harbour & Lights", 0.5f);
  harbour->md5 = "0123456789abcdef0123456789abcdef";
  harbour->location = "tides/harbour.mp3";
  harbour->duration = 215;
  harbour->playcount = 3;
  harbour->lastplayed = qorndate(1690000000);
  harbour->apb = true;
  harbour->ul = true;
  harbour->tempo = 120;
  harbour->people.addPerson(1, "artist");
  harbour->people.addPerson(2, "composer");
  harbour->people.addPerson(2, "producer & mixer");
  auto* tide = addNode<SongNode>(m, 11, "Low Tide", 0.125f);
  tide->md5 = "11111111111111111111111111111111";
  tide->location = "tides/low tide.mp3";
  tide->duration = 187;
  tide->people.addPerson(1, "artist");
  auto* caf = addNode<SongNode>(m, 12, std::string("Caf\xE9 50%"), 0.0f);
  caf->location = "/abs/caf.mp3";
  auto* album = addNode<SongListNode>(m, 20, "Evening Tides", 0.75f);
  album->listType = 2;
  album->trackCount = 2;
  album->setTrack(1, 10);
  album->people.addPerson(1, "artist");
  auto* mix = addNode<SongListNode>(m, 21, "Road Mix", 0.1f);
  mix->listType = kPlayList;
  mix->setTrack(2, 12);  // slot 1 left empty
  m.setNodeField(10, "keywords", "harbour lights night");
  m.setNodeField(20, "keywords", "evening");
  m.setNodeField(1, "keywords", "nina");

  m.links().create(10, 20, qornfloat(0.2f));
  m.links().create(11, 20, qornfloat(0.2f));
  m.links().create(10, 1, qornfloat(0.3f));
  m.links().create(11, 1, qornfloat(0.3f));
  m.links().create(12, 2, qornfloat(0.3f));
  m.links().create(10, 11, qornfloat(0.6f));
  Asc* weak = m.links().create(11, 12, qornfloat(0.05f));
  m.links().setPenalty(weak, 4);
  m.links().create(12, 21, qornfloat(0.2f));

  m.addToPalette({{"id", "20"}, {"type", "m"}});
  m.addToPalette({{"id", "10"}, {"type", "s"}});
  m.addToPalette({{"id", "12"}});
  m.history().append(tide, true);
  m.history().append(harbour, true);
  m.tabooList().add(0, harbour);  // kNow + 18000
  m.clock().set(kNow - 100);
  m.tabooList().add(0, tide);  // earlier expiry: written first
  m.clock().set(kNow);
  m.tabooList().add(600, album);  // kNow + 600 + 18000
  m.addToPlayQueue(12);
  m.addToPlayQueue(11);
}

// Saves through the manager with a captured console; returns the result.
inline int save(qorn::qornManager& m, const std::string& path, std::string* console = nullptr) {
  std::ostringstream out;
  const int result = qorn::saveNetworkFile(m, path.c_str(), out);
  if (console) *console = out.str();
  return result;
}

inline int load(qorn::qornManager& m, const std::string& path, std::string* console = nullptr) {
  std::ostringstream out;
  const int result = qorn::loadNetworkFile(m, path.c_str(), out);
  if (console) *console = out.str();
  return result;
}

// The text a save of the network would write (its whole state, for before/after checks).
inline std::string networkTextOf(qorn::qornManager& m) {
  std::ostringstream console;
  return qorn::networkText(m, console);
}

}  // namespace netfiletest
