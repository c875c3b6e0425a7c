// One instance of the internal player: what an APCreate handle stands for.
//
// Thread: callable from any thread; every call is carried out on the player's own thread
// (named "zarvell-player"), which also delivers the end event. A call made from inside the
// event callback runs directly on that thread.
#pragma once

#include <cstdint>
#include <memory>

#include "audioplugin/AudioPlugin.h"

namespace internalplayer {

class Player {
 public:
  // A player with its thread and pipeline; null with *status negative when GStreamer or its
  // playbin is missing. Throws std::bad_alloc, std::system_error (no thread).
  static std::unique_ptr<Player> create(int32_t* status);
  // Stops playback and joins the player's thread; no event follows. Must not run on the
  // player's own thread: use destroy(). Never throws.
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Deletes the player from any thread, the player's own included (from inside the event
  // callback): there playback stops and the callback is removed at once, and the rest of
  // the teardown runs on another thread once the callback has returned. Never throws.
  static void destroy(Player* player) noexcept;

  // The operations of Playback.h, carried out on the player's thread. They return its
  // statuses and throw only std::bad_alloc or std::future_error (player thread gone).
  int32_t play(const char* path);  // null: resume
  int32_t pause();
  int32_t stop();
  double length();
  double position();
  void seek(double seconds);
  float volume();
  void setVolume(float level);
  bool muted();
  void setMuted(bool muted);
  void setEventCallback(AudioPluginEventCallback callback, void* context);

 private:
  struct Impl;
  explicit Player(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace internalplayer
