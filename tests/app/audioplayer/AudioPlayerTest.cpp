// The player's wrapper of an audio plug-in, over the real internal.so, a shared object that
// is not a plug-in, and files that are not shared objects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/audioplayer/AudioPlayer.h"

namespace zarvell::app {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = ZARVELL_PROGRAM_DIR;
const std::string kInternal = kProgram + "/audioplugins/internal.so";
const std::string kNotAPlugin = kProgram + "/libbextractRaw.so";  // loads, exports no AP*

TEST(AudioPlayer, LoadsTheInternalPlayerAndPlaysThroughIt) {
  setenv("ZARVELL_AUDIO_SINK", "fake", 1);
  AudioPlayer player;
  ASSERT_GE(player.load(kInternal), 0) << player.error();
  EXPECT_TRUE(player.loaded());
  ASSERT_NE(player.name(), nullptr);
  EXPECT_EQ(player.general(), 1);
  const std::string song = std::string(ZARVELL_TEST_DATA_DIR) + "/audio/tone1k_20s.wav";
  ASSERT_GE(player.play(song.c_str()), 0);
  EXPECT_NEAR(player.duration(), 20.0f, 0.2f);
  player.setMuted(true);
  EXPECT_TRUE(player.isMuted());
  player.setMuted(false);
  EXPECT_FALSE(player.isMuted());
  player.seek(12.0f);
  EXPECT_NEAR(player.position(), 12.0f, 0.5f);
  EXPECT_GE(player.pause(), 0);
  EXPECT_GE(player.play(nullptr), 0) << "a null path resumes";
  EXPECT_GE(player.stop(), 0);
  EXPECT_LT(player.play("/nonexistent/song.mp3"), 0);
}

// Every operation fails softly when the plug-in or its exports are missing.
TEST(AudioPlayer, WithoutAUsablePlugInEveryOperationFailsSoftly) {
  for (const std::string& path : {std::string("/nonexistent/audioplugins/none.so"), kNotAPlugin}) {
    SCOPED_TRACE(path);
    AudioPlayer player;
    EXPECT_EQ(player.load(path), -1);
    EXPECT_FALSE(player.loaded());
    EXPECT_FALSE(player.error().empty());
    EXPECT_EQ(player.play("/tmp/x.mp3"), -1);
    EXPECT_EQ(player.play(nullptr), -1);
    EXPECT_EQ(player.pause(), -1);
    EXPECT_EQ(player.stop(), -1);
    EXPECT_EQ(player.duration(), 0.0f);
    EXPECT_EQ(player.position(), 0.0f);
    EXPECT_EQ(player.general(), 1) << "the caller's default";
    EXPECT_EQ(player.name(), nullptr);
    EXPECT_FALSE(player.isMuted());
    player.seek(3.0f);  // setters do nothing
    player.setVolume(0.5f);
    player.setMuted(true);
    player.setEventCallback(nullptr, nullptr);
  }
}

TEST(AudioPlayer, ThePlayerListProbesEverySharedObjectOfTheFolder) {
  char pattern[] = "/tmp/zarvell-plugins-XXXXXX";
  const fs::path folder = mkdtemp(pattern);
  fs::create_symlink(kInternal, folder / "internal.so");
  fs::create_symlink(kNotAPlugin, folder / "aaa-not-a-player.so");
  std::ofstream(folder / "broken.so") << "not a shared object";
  std::ofstream(folder / "readme.txt") << "ignored";
  fs::create_directory(folder / "sub.so");

  const std::vector<PlayerPluginInfo> plugins = listPlayerPlugins(folder);
  ASSERT_EQ(plugins.size(), 2u) << "the broken file, the folder and the text are left out";
  EXPECT_EQ(plugins[0].fileName, "aaa-not-a-player.so");
  EXPECT_EQ(plugins[0].name, "aaa-not-a-player.so") << "no name: the file name stands";
  EXPECT_FALSE(plugins[0].offered);
  EXPECT_EQ(plugins[1].fileName, "internal.so");
  EXPECT_EQ(plugins[1].name, "Zarvell internal player (GStreamer)");
  EXPECT_TRUE(plugins[1].offered);
  EXPECT_TRUE(listPlayerPlugins("/nonexistent/folder").empty());
  fs::remove_all(folder);
}

}  // namespace
}  // namespace zarvell::app
