// A manager over a small network built by the test, on a fixed clock and a seeded rand().
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "../engine/engine_test_support.h"
#include "qorncore/manager/qornManager.h"

namespace enginetest {

constexpr const char* kManagerSource = "qorncore/manager/qornManager";
constexpr const char* kTabooSource = "qorncore/manager/TabooList";
constexpr const char* kPlexSource = "qorncore/engine/PlexEngine";

class ManagerTest : public ::testing::Test {
 protected:
  static constexpr int32_t kT0 = 1'000'000;
  ManagerTest() {
    engine.clock().set(kT0);
    std::srand(1);
  }
  void at(int32_t offset) { engine.clock().set(kT0 + offset); }
  // A song played from start to end: onPlay at `start`, onSongEndReached at `end`.
  void play(Node* song, int32_t start, int32_t end, bool autoSelected = false) {
    at(start);
    ASSERT_EQ(engine.onPlay(song, false), 1);
    at(end);
    ASSERT_EQ(engine.onSongEndReached(song, autoSelected), 1);
  }
  std::vector<int> history() { return ids(engine.history().entries()); }

  qorn::qornManager engine{"", "", nullptr};
  Builder net{engine};
};

}  // namespace enginetest
