// AudioPlayer: one loaded audio player plug-in ("audioplugins/<name>.so") and its instance.
//
// It resolves the plug-in's eleven exports and forwards to them. Every operation fails
// softly when the plug-in (or one of its exports) is missing: play, pause and stop return
// -1, float getters 0, int getters the caller's default, name() null, setters do nothing.
// So the player stays usable, only silent, after a failed load. Nothing here throws
// except std::bad_alloc.
//
// Thread: owned and called by the interface thread. The event callback registered with
// setEventCallback may be called on a thread of the plug-in.
#pragma once

#include <string>
#include <vector>

#include "PluginLibrary.h"
#include "audioplugin/AudioPlugin.h"

namespace zarvell::app {

class AudioPlayer {
 public:
  AudioPlayer() = default;
  ~AudioPlayer();  // destroys the instance, then frees the library
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  // Unloads whatever is loaded, loads the plug-in at `path`, resolves every export and
  // creates an instance. Returns APCreate's result, or -1 when the library does not load
  // or has no APCreate.
  int load(const std::string& path);
  // Unloads whatever is loaded and loads only the two query exports (for the player list;
  // no instance is created). 0, or -1 when the library does not load.
  int probe(const std::string& path);
  // After probe (or load): the plug-in's "offered in the player list" value (id 102) and
  // display name (id 200), both asked with a null handle. 0 and "" when not answered.
  int offered() const;
  std::string displayName() const;

  int play(const char* path);  // null resumes a paused song
  int pause();
  int stop();
  float duration() const;  // seconds of the loaded song
  float position() const;  // seconds
  void seek(float seconds);
  int general() const;  // id 100, default 1
  void setEventCallback(AudioPluginEventCallback callback, void* context);
  const char* name() const;  // null when the plug-in has no name
  void setVolume(float level);  // 0.0 .. 1.0
  bool isMuted() const;
  void setMuted(bool muted);

  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }

 private:
  void unload();
  float getFloat(int id) const;
  int getInt(int id, int fallback) const;

  PluginLibrary library_;
  AudioPluginHandle handle_ = nullptr;
  std::string error_;
  APCreateFn create_ = nullptr;
  APDestroyFn destroy_ = nullptr;
  APPlayFn play_ = nullptr;
  APPauseFn pause_ = nullptr;
  APStopFn stop_ = nullptr;
  APGetValueFloatFn getFloat_ = nullptr;
  APSetValueFloatFn setFloat_ = nullptr;
  APGetValueIntFn getInt_ = nullptr;
  APSetValueIntFn setInt_ = nullptr;
  APGetValueStringFn getString_ = nullptr;
  APSetEventCallbackFn setCallback_ = nullptr;
};

// One plug-in of the player list.
struct PlayerPluginInfo {
  std::string fileName;  // "internal.so"
  std::string name;      // its display name, or the file name when it has none
  bool offered = false;  // the plug-in asks to be offered
};

// Probes every "*.so" in `folder` (not recursively), sorted by file name. Files that do
// not load are left out.
std::vector<PlayerPluginInfo> listPlayerPlugins(const std::string& folder);

}  // namespace zarvell::app
