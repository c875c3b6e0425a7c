// audioplugins/internal.so, loaded from the program folder as the application loads a player
// plug-in, plays real encoded files (made by the audio_fixtures target) through a real
// GStreamer playbin into a time-keeping fake sink (ZARVELL_AUDIO_SINK=fake), so positions
// advance as in real playback.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audioplugin/AudioPlugin.h"
#include "zarvell/module.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The eleven exports, resolved by name.
struct Api {
  APCreateFn create = nullptr;
  APDestroyFn destroy = nullptr;
  APPlayFn play = nullptr;
  APPauseFn pause = nullptr;
  APStopFn stop = nullptr;
  APGetValueFloatFn getFloat = nullptr;
  APSetValueFloatFn setFloat = nullptr;
  APGetValueIntFn getInt = nullptr;
  APSetValueIntFn setInt = nullptr;
  APGetValueStringFn getString = nullptr;
  APSetEventCallbackFn setCallback = nullptr;
};

std::string fixture(const std::string& name) {
  return std::string(ZARVELL_TEST_DATA_DIR) + "/audio/" + name;
}

// What the event callback saw: each event with the thread it came on, and the context.
struct EventLog {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> events;
  std::vector<std::thread::id> threads;
  std::vector<void*> contexts;
  // Run inside the callback, on the plug-in's thread, after the event is logged.
  std::function<void()> onEvent;

  static int callback(int event, void* context) {
    auto* log = static_cast<EventLog*>(context);
    {
      const std::lock_guard<std::mutex> lock(log->mutex);
      log->events.push_back(event);
      log->threads.push_back(std::this_thread::get_id());
      log->contexts.push_back(context);
    }
    if (log->onEvent) log->onEvent();
    log->changed.notify_all();
    return 1;
  }

  // True when at least `count` events arrived within `timeout`.
  bool waitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return events.size() >= count; });
  }
  size_t count() {
    const std::lock_guard<std::mutex> lock(mutex);
    return events.size();
  }
};

class InternalPlayer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Read by APCreate: every instance of this suite plays into the fake sink.
    setenv("ZARVELL_AUDIO_SINK", "fake", 1);
    module_ = new zarvell::Module(zarvell::Module::load("audioplugins/internal"));
    ASSERT_TRUE(*module_) << module_->error();
    api_.create = module_->entry<APCreateFn>(AUDIOPLUGIN_CREATE);
    api_.destroy = module_->entry<APDestroyFn>(AUDIOPLUGIN_DESTROY);
    api_.play = module_->entry<APPlayFn>(AUDIOPLUGIN_PLAY);
    api_.pause = module_->entry<APPauseFn>(AUDIOPLUGIN_PAUSE);
    api_.stop = module_->entry<APStopFn>(AUDIOPLUGIN_STOP);
    api_.getFloat = module_->entry<APGetValueFloatFn>(AUDIOPLUGIN_GET_VALUE_FLOAT);
    api_.setFloat = module_->entry<APSetValueFloatFn>(AUDIOPLUGIN_SET_VALUE_FLOAT);
    api_.getInt = module_->entry<APGetValueIntFn>(AUDIOPLUGIN_GET_VALUE_INT);
    api_.setInt = module_->entry<APSetValueIntFn>(AUDIOPLUGIN_SET_VALUE_INT);
    api_.getString = module_->entry<APGetValueStringFn>(AUDIOPLUGIN_GET_VALUE_STRING);
    api_.setCallback = module_->entry<APSetEventCallbackFn>(AUDIOPLUGIN_SET_EVENT_CALLBACK);
    ASSERT_TRUE(api_.create && api_.destroy && api_.play && api_.pause && api_.stop &&
                api_.getFloat && api_.setFloat && api_.getInt && api_.setInt && api_.getString &&
                api_.setCallback);
  }
  static void TearDownTestSuite() {
    delete module_;
    module_ = nullptr;
  }

  void SetUp() override {
    ASSERT_EQ(api_.create(&handle_), ZARVELL_S_OK);
    ASSERT_NE(handle_, nullptr);
    api_.setCallback(handle_, &EventLog::callback, &log_);
  }
  void TearDown() override {
    if (handle_ != nullptr) api_.destroy(handle_);
  }

  float value(int32_t id) {
    float v = -123.0f;
    EXPECT_EQ(api_.getFloat(handle_, id, &v), ZARVELL_S_OK);
    return v;
  }
  float position() { return value(AUDIOPLUGIN_VALUE_POSITION); }
  float length() { return value(AUDIOPLUGIN_VALUE_LENGTH); }
  int32_t play(const std::string& name) {
    return api_.play(handle_, fixture(name).c_str(), AUDIOPLUGIN_PLAY_OPTION_NONE);
  }
  int32_t resume() { return api_.play(handle_, nullptr, AUDIOPLUGIN_PLAY_OPTION_NONE); }

  // Polls the position until it reaches `seconds`; false when `timeout` passes first.
  bool positionReaches(float seconds, std::chrono::milliseconds timeout = 5000ms) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (position() >= seconds) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  static zarvell::Module* module_;
  static Api api_;
  AudioPluginHandle handle_ = nullptr;
  EventLog log_;
};

zarvell::Module* InternalPlayer::module_ = nullptr;
Api InternalPlayer::api_;

// The player list asks for the name and the offer flag without creating an instance; every
// other value needs one, and a value the plug-in does not answer leaves the caller's default.
TEST_F(InternalPlayer, DescribesItselfWithoutAnInstanceAndLeavesUnknownValuesAlone) {
  int32_t offered = 0;
  EXPECT_EQ(api_.getInt(nullptr, AUDIOPLUGIN_VALUE_OFFERED, &offered), ZARVELL_S_OK);
  EXPECT_NE(offered, 0);
  const char* name = nullptr;
  ASSERT_EQ(api_.getString(nullptr, AUDIOPLUGIN_VALUE_NAME, &name), ZARVELL_S_OK);
  EXPECT_STREQ(name, "Zarvell internal player (GStreamer)");
  int32_t general = 0;
  EXPECT_EQ(api_.getInt(handle_, AUDIOPLUGIN_VALUE_GENERAL, &general), ZARVELL_S_OK);
  EXPECT_EQ(general, AUDIOPLUGIN_GENERAL_DEFAULT);

  struct Case {
    AudioPluginHandle handle;
    int32_t id;
  };
  const Case floats[] = {{nullptr, AUDIOPLUGIN_VALUE_LENGTH},
                         {nullptr, AUDIOPLUGIN_VALUE_POSITION},
                         {nullptr, AUDIOPLUGIN_VALUE_VOLUME},
                         {handle_, 3},
                         {handle_, AUDIOPLUGIN_VALUE_MUTE}};
  for (const Case& c : floats) {
    SCOPED_TRACE(c.id);
    float v = -7.0f;
    EXPECT_LT(api_.getFloat(c.handle, c.id, &v), 0);
    EXPECT_EQ(v, -7.0f);
  }
  const Case ints[] = {{nullptr, AUDIOPLUGIN_VALUE_MUTE}, {handle_, 101}, {handle_, 0}};
  for (const Case& c : ints) {
    SCOPED_TRACE(c.id);
    int32_t v = -7;
    EXPECT_LT(api_.getInt(c.handle, c.id, &v), 0);
    EXPECT_EQ(v, -7);
  }
  name = nullptr;
  EXPECT_LT(api_.getString(handle_, 201, &name), 0);
  EXPECT_EQ(name, nullptr);

  // Null handles and out-pointers are refused, never followed.
  EXPECT_LT(api_.create(nullptr), 0);
  EXPECT_LT(api_.play(nullptr, fixture("tone1k_2s.wav").c_str(), -1), 0);
  EXPECT_LT(api_.pause(nullptr), 0);
  EXPECT_LT(api_.stop(nullptr), 0);
  EXPECT_LT(api_.getFloat(handle_, AUDIOPLUGIN_VALUE_LENGTH, nullptr), 0);
  EXPECT_LT(api_.getInt(nullptr, AUDIOPLUGIN_VALUE_OFFERED, nullptr), 0);
  EXPECT_LT(api_.getString(nullptr, AUDIOPLUGIN_VALUE_NAME, nullptr), 0);
  api_.setFloat(nullptr, AUDIOPLUGIN_VALUE_VOLUME, 0.5f);
  api_.setInt(nullptr, AUDIOPLUGIN_VALUE_MUTE, 1);
  api_.setCallback(nullptr, &EventLog::callback, &log_);
  api_.destroy(nullptr);
}

TEST_F(InternalPlayer, KnowsTheLengthOfEachFormat) {
  EXPECT_EQ(length(), 0.0f) << "no song loaded yet";
  for (const char* name :
       {"tone1k_2s.wav", "tone1k_2s.mp3", "tone1k_2s.m4a", "tone1k_2s.flac", "tone1k_2s.ogg"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(play(name), ZARVELL_S_OK);
    // An MP3 or AAC stream is a whole number of frames: its length runs up to a frame over.
    EXPECT_NEAR(length(), 2.0f, 0.05f);
  }
  ASSERT_EQ(play("tone1k_20s.mp3"), ZARVELL_S_OK);
  EXPECT_NEAR(length(), 20.0f, 0.05f);
}

TEST_F(InternalPlayer, PlaysPausesResumesAndStops) {
  ASSERT_EQ(play("tone1k_20s.wav"), ZARVELL_S_OK);
  EXPECT_NEAR(length(), 20.0f, 0.01f);
  ASSERT_TRUE(positionReaches(0.4f)) << "position stands at " << position();

  ASSERT_EQ(api_.pause(handle_), ZARVELL_S_OK);
  const float paused = position();
  EXPECT_GE(paused, 0.4f);
  std::this_thread::sleep_for(400ms);
  EXPECT_NEAR(position(), paused, 0.02f) << "a paused song holds its position";

  ASSERT_EQ(resume(), ZARVELL_S_OK);
  EXPECT_NEAR(position(), paused, 0.1f) << "resume goes on where the song paused";
  ASSERT_TRUE(positionReaches(paused + 0.3f));

  ASSERT_EQ(api_.stop(handle_), ZARVELL_S_OK);
  EXPECT_EQ(position(), 0.0f);
  EXPECT_EQ(length(), 0.0f);
  EXPECT_LT(api_.pause(handle_), 0) << "nothing to pause after a stop";
  // Play without a path after a stop starts the stopped song again from its beginning.
  ASSERT_EQ(resume(), ZARVELL_S_OK);
  EXPECT_NEAR(length(), 20.0f, 0.01f);
  EXPECT_LT(position(), 0.3f);
  EXPECT_EQ(log_.count(), 0u) << "no end event for a song that did not end";
}

TEST_F(InternalPlayer, SeeksWhilePlayingAndWhilePaused) {
  ASSERT_EQ(play("tone1k_20s.mp3"), ZARVELL_S_OK);
  struct Case {
    bool paused;
    float target;
    float expected;
  };
  const Case cases[] = {
      {false, 12.5f, 12.5f},
      {false, 3.0f, 3.0f},  // forward and back while playing
      {true, 15.25f, 15.25f},
      {true, -4.0f, 0.0f},  // paused; before the start clamps to 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    if (c.paused) {
      ASSERT_EQ(api_.pause(handle_), ZARVELL_S_OK);
    }
    api_.setFloat(handle_, AUDIOPLUGIN_VALUE_POSITION, c.target);
    EXPECT_NEAR(position(), c.expected, 0.1f) << "the song stands there once the seek returns";
    if (c.paused) {
      std::this_thread::sleep_for(300ms);
      EXPECT_NEAR(position(), c.expected, 0.05f) << "a paused song stays paused";
      ASSERT_EQ(resume(), ZARVELL_S_OK);
    }
    ASSERT_TRUE(positionReaches(c.expected + 0.2f)) << "plays on from there";
  }
  api_.setFloat(handle_, AUDIOPLUGIN_VALUE_POSITION, std::nanf(""));
  EXPECT_LT(position(), 5.0f) << "a position that is no number is ignored";
  // Without a song a seek has nothing to move.
  ASSERT_EQ(api_.stop(handle_), ZARVELL_S_OK);
  api_.setFloat(handle_, AUDIOPLUGIN_VALUE_POSITION, 5.0f);
  EXPECT_EQ(position(), 0.0f);
}

TEST_F(InternalPlayer, VolumeAndMuteRoundTripAndCarryOverToTheNextSong) {
  struct Case {
    float set;
    float expected;
  };
  const Case volumes[] = {{0.25f, 0.25f},
                          {1.0f, 1.0f},
                          {0.0f, 0.0f},
                          {1.7f, 1.0f},
                          {-0.5f, 0.0f}};  // out of range: clamped
  ASSERT_EQ(play("tone1k_20s.wav"), ZARVELL_S_OK);
  for (const Case& c : volumes) {
    SCOPED_TRACE(c.set);
    api_.setFloat(handle_, AUDIOPLUGIN_VALUE_VOLUME, c.set);
    EXPECT_FLOAT_EQ(value(AUDIOPLUGIN_VALUE_VOLUME), c.expected);
  }
  api_.setFloat(handle_, AUDIOPLUGIN_VALUE_VOLUME, 0.4f);
  api_.setFloat(handle_, AUDIOPLUGIN_VALUE_VOLUME, std::nanf(""));
  EXPECT_FLOAT_EQ(value(AUDIOPLUGIN_VALUE_VOLUME), 0.4f) << "no number: ignored";

  int32_t muted = -1;
  for (const int32_t set : {1, 0, 5}) {
    SCOPED_TRACE(set);
    api_.setInt(handle_, AUDIOPLUGIN_VALUE_MUTE, set);
    ASSERT_EQ(api_.getInt(handle_, AUDIOPLUGIN_VALUE_MUTE, &muted), ZARVELL_S_OK);
    EXPECT_EQ(muted, set != 0 ? 1 : 0);
  }

  // Both are the listener's settings, not the song's.
  ASSERT_EQ(play("tone1k_2s.mp3"), ZARVELL_S_OK);
  EXPECT_FLOAT_EQ(value(AUDIOPLUGIN_VALUE_VOLUME), 0.4f);
  ASSERT_EQ(api_.getInt(handle_, AUDIOPLUGIN_VALUE_MUTE, &muted), ZARVELL_S_OK);
  EXPECT_EQ(muted, 1);
}

TEST_F(InternalPlayer, FilesThatCannotBeStartedFailAndStopTheSongBefore) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("internal-player-" + std::to_string(getpid()));
  std::filesystem::create_directories(scratch);
  const std::string fifo = (scratch / "song.wav").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string cases[] = {
      fixture("no_such_song.mp3"),
      fixture("not_audio.wav"),
      fixture("empty.mp3"),
      fixture("garbage.mp3"),
      fixture("video_only.mp4"),
      scratch.string(),  // a folder
      fifo,              // never opened for reading, so it cannot block the player
      "",
  };
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    ASSERT_EQ(play("tone1k_20s.wav"), ZARVELL_S_OK);
    EXPECT_LT(api_.play(handle_, path.c_str(), -1), 0);
    EXPECT_EQ(length(), 0.0f) << "the song before is stopped, nothing is loaded";
    EXPECT_EQ(position(), 0.0f);
    EXPECT_LT(resume(), 0) << "no song to resume";
  }
  std::filesystem::remove_all(scratch);
  // The player is as good as new afterwards.
  ASSERT_EQ(play("tone1k_2s.wav"), ZARVELL_S_OK);
  EXPECT_NEAR(length(), 2.0f, 0.01f);
}

// Paths are UTF-8 file names: characters that mean something in a URI are file-name
// characters here, and so are non-ASCII ones; a relative path is taken from the current
// folder.
TEST_F(InternalPlayer, PlaysFilesWhateverTheirNames) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("internal-player-" + std::to_string(getpid()));
  const std::filesystem::path folder = scratch / "Sigur Rós #1 (100%)";
  std::filesystem::create_directories(folder);
  // The last name is Latin-1, not UTF-8: a file name is bytes, played as the disk has it.
  const std::string names[] = {"Ágætis byrjun?.wav", "a%20b & c;d.wav", "日本語 song.wav",
                               "caf\xe9.wav"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::filesystem::path file = folder / name;
    std::filesystem::copy_file(fixture("tone1k_2s.wav"), file);
    ASSERT_EQ(api_.play(handle_, file.c_str(), -1), ZARVELL_S_OK);
    EXPECT_NEAR(length(), 2.0f, 0.01f);
  }
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  EXPECT_EQ(api_.play(handle_, names[0].c_str(), -1), ZARVELL_S_OK);
  std::filesystem::current_path(before);
  std::filesystem::remove_all(scratch);
}

TEST_F(InternalPlayer, EndEventArrivesOnceOnThePlayersOwnThread) {
  ASSERT_EQ(play("tone1k_1s.wav"), ZARVELL_S_OK);
  ASSERT_TRUE(log_.waitFor(1, 10s)) << "no end event";
  std::this_thread::sleep_for(500ms);
  {
    const std::lock_guard<std::mutex> lock(log_.mutex);
    ASSERT_EQ(log_.events.size(), 1u) << "one end, one event";
    EXPECT_EQ(log_.events[0], AUDIOPLUGIN_EVENT_SONG_END);
    EXPECT_EQ(log_.contexts[0], &log_);
    EXPECT_NE(log_.threads[0], std::this_thread::get_id());
  }
  EXPECT_NEAR(position(), length(), 0.01f) << "an ended song stands at its end";
  EXPECT_LT(api_.pause(handle_), 0);

  // The next song plays after the end, and ends in its turn.
  ASSERT_EQ(play("tone1k_2s.mp3"), ZARVELL_S_OK);
  EXPECT_LT(position(), 0.5f);
  ASSERT_TRUE(positionReaches(0.2f));
  ASSERT_TRUE(log_.waitFor(2, 10s));
  // Play without a path after the end starts the song again; a seek to its last moments
  // ends it again at once.
  ASSERT_EQ(resume(), ZARVELL_S_OK);
  api_.setFloat(handle_, AUDIOPLUGIN_VALUE_POSITION, length() - 0.2f);
  ASSERT_TRUE(log_.waitFor(3, 3s));
  std::this_thread::sleep_for(300ms);
  const std::lock_guard<std::mutex> lock(log_.mutex);
  EXPECT_EQ(log_.events.size(), 3u);
  EXPECT_EQ(log_.threads[1], log_.threads[0]) << "always the player's one thread";
}

// A file whose data stops before its header says (a download cut short) still ends, where
// its data ends, rather than leaving the player silent.
TEST_F(InternalPlayer, ASongCutShortEndsWhereItsDataEnds) {
  ASSERT_EQ(play("truncated_240s.wav"), ZARVELL_S_OK);
  ASSERT_TRUE(log_.waitFor(1, 10s)) << "stuck at " << position();
  EXPECT_EQ(log_.events[0], AUDIOPLUGIN_EVENT_SONG_END);
}

TEST_F(InternalPlayer, NoEndEventForAStoppedPausedOrReplacedSong) {
  ASSERT_EQ(play("tone1k_1s.wav"), ZARVELL_S_OK);
  ASSERT_EQ(api_.stop(handle_), ZARVELL_S_OK);
  ASSERT_EQ(play("tone1k_2s.wav"), ZARVELL_S_OK);
  ASSERT_EQ(api_.pause(handle_), ZARVELL_S_OK);
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(play("tone1k_1s.wav"), ZARVELL_S_OK);
  ASSERT_EQ(play("tone1k_20s.wav"), ZARVELL_S_OK);  // replaces the 1 s song before its end
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(log_.count(), 0u);
  // A callback removed is not called.
  api_.setCallback(handle_, nullptr, nullptr);
  ASSERT_EQ(play("tone1k_1s.wav"), ZARVELL_S_OK);
  std::this_thread::sleep_for(2000ms);
  EXPECT_EQ(log_.count(), 0u);
}

// A host may start the next song from inside the callback, on the player's thread.
TEST_F(InternalPlayer, CallbackMayStartTheNextSong) {
  int32_t nested = 1;
  log_.onEvent = [&] {
    if (log_.count() == 1) {
      nested = api_.play(handle_, fixture("tone1k_1s.wav").c_str(), -1);
    }
  };
  ASSERT_EQ(play("tone1k_1s.wav"), ZARVELL_S_OK);
  ASSERT_TRUE(log_.waitFor(2, 15s)) << "the song started from the callback did not end";
  EXPECT_EQ(nested, ZARVELL_S_OK);
}

TEST_F(InternalPlayer, DestroyWhilePlayingOrFromInsideTheCallback) {
  ASSERT_EQ(play("tone1k_1s.wav"), ZARVELL_S_OK);
  api_.destroy(handle_);
  handle_ = nullptr;
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(log_.count(), 0u) << "no event once destroyed";

  // Several players at once, each on its own thread; one destroys itself from its callback.
  EventLog other;
  AudioPluginHandle second = nullptr;
  ASSERT_EQ(api_.create(&handle_), ZARVELL_S_OK);
  ASSERT_EQ(api_.create(&second), ZARVELL_S_OK);
  api_.setCallback(handle_, &EventLog::callback, &log_);
  api_.setCallback(second, &EventLog::callback, &other);
  other.onEvent = [&] { api_.destroy(second); };
  ASSERT_EQ(api_.play(second, fixture("tone1k_1s.wav").c_str(), -1), ZARVELL_S_OK);
  ASSERT_EQ(play("tone1k_2s.wav"), ZARVELL_S_OK);
  ASSERT_TRUE(other.waitFor(1, 10s));
  ASSERT_TRUE(log_.waitFor(1, 10s)) << "the other player plays on";
  EXPECT_NE(log_.threads[0], other.threads[0]);
  EXPECT_EQ(other.count(), 1u);
}

}  // namespace
