#include "AudioPlayer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace zarvell::app {
namespace {

template <typename Fn>
Fn resolve(const PluginLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.symbol(name));
}

}  // namespace

AudioPlayer::~AudioPlayer() { unload(); }

void AudioPlayer::unload() {
  if (destroy_ && handle_) destroy_(handle_);
  handle_ = nullptr;
  create_ = nullptr;
  destroy_ = nullptr;
  play_ = nullptr;
  pause_ = nullptr;
  stop_ = nullptr;
  getFloat_ = nullptr;
  setFloat_ = nullptr;
  getInt_ = nullptr;
  setInt_ = nullptr;
  getString_ = nullptr;
  setCallback_ = nullptr;
  library_ = PluginLibrary();
  error_.clear();
}

int AudioPlayer::load(const std::string& path) {
  unload();
  library_ = PluginLibrary(path);
  if (!library_) {
    error_ = library_.error();
    return -1;
  }
  create_ = resolve<APCreateFn>(library_, AUDIOPLUGIN_CREATE);
  destroy_ = resolve<APDestroyFn>(library_, AUDIOPLUGIN_DESTROY);
  play_ = resolve<APPlayFn>(library_, AUDIOPLUGIN_PLAY);
  pause_ = resolve<APPauseFn>(library_, AUDIOPLUGIN_PAUSE);
  stop_ = resolve<APStopFn>(library_, AUDIOPLUGIN_STOP);
  getFloat_ = resolve<APGetValueFloatFn>(library_, AUDIOPLUGIN_GET_VALUE_FLOAT);
  setFloat_ = resolve<APSetValueFloatFn>(library_, AUDIOPLUGIN_SET_VALUE_FLOAT);
  getInt_ = resolve<APGetValueIntFn>(library_, AUDIOPLUGIN_GET_VALUE_INT);
  setInt_ = resolve<APSetValueIntFn>(library_, AUDIOPLUGIN_SET_VALUE_INT);
  getString_ = resolve<APGetValueStringFn>(library_, AUDIOPLUGIN_GET_VALUE_STRING);
  setCallback_ = resolve<APSetEventCallbackFn>(library_, AUDIOPLUGIN_SET_EVENT_CALLBACK);
  if (!create_) {
    error_ = path + " has no " AUDIOPLUGIN_CREATE;
    return -1;
  }
  const int result = create_(&handle_);
  if (result < 0) {
    handle_ = nullptr;
    error_ = path + ": the player could not be created";
  }
  return result;
}

int AudioPlayer::probe(const std::string& path) {
  unload();
  library_ = PluginLibrary(path);
  if (!library_) {
    error_ = library_.error();
    return -1;
  }
  getString_ = resolve<APGetValueStringFn>(library_, AUDIOPLUGIN_GET_VALUE_STRING);
  getInt_ = resolve<APGetValueIntFn>(library_, AUDIOPLUGIN_GET_VALUE_INT);
  return 0;
}

int AudioPlayer::offered() const {
  int32_t value = 0;
  if (getInt_) getInt_(nullptr, AUDIOPLUGIN_VALUE_OFFERED, &value);
  return value;
}

std::string AudioPlayer::displayName() const {
  const char* text = nullptr;
  if (getString_ && getString_(nullptr, AUDIOPLUGIN_VALUE_NAME, &text) >= 0 && text) return text;
  return {};
}

int AudioPlayer::play(const char* path) {
  return play_ ? play_(handle_, path, AUDIOPLUGIN_PLAY_OPTION_NONE) : -1;
}
int AudioPlayer::pause() { return pause_ ? pause_(handle_) : -1; }
int AudioPlayer::stop() { return stop_ ? stop_(handle_) : -1; }

float AudioPlayer::getFloat(int id) const {
  float value = 0.0f;
  if (getFloat_) getFloat_(handle_, id, &value);
  return value;
}

int AudioPlayer::getInt(int id, int fallback) const {
  int32_t value = fallback;
  if (getInt_) getInt_(handle_, id, &value);
  return value;
}

float AudioPlayer::duration() const { return getFloat(AUDIOPLUGIN_VALUE_LENGTH); }
float AudioPlayer::position() const { return getFloat(AUDIOPLUGIN_VALUE_POSITION); }
void AudioPlayer::seek(float seconds) {
  if (setFloat_) setFloat_(handle_, AUDIOPLUGIN_VALUE_POSITION, seconds);
}
int AudioPlayer::general() const {
  return getInt(AUDIOPLUGIN_VALUE_GENERAL, AUDIOPLUGIN_GENERAL_DEFAULT);
}
void AudioPlayer::setEventCallback(AudioPluginEventCallback callback, void* context) {
  if (setCallback_) setCallback_(handle_, callback, context);
}
const char* AudioPlayer::name() const {
  const char* text = nullptr;
  if (getString_ && getString_(handle_, AUDIOPLUGIN_VALUE_NAME, &text) >= 0) return text;
  return nullptr;
}
void AudioPlayer::setVolume(float level) {
  if (setFloat_) setFloat_(handle_, AUDIOPLUGIN_VALUE_VOLUME, level);
}
bool AudioPlayer::isMuted() const { return getInt(AUDIOPLUGIN_VALUE_MUTE, 0) != 0; }
void AudioPlayer::setMuted(bool muted) {
  if (setInt_) setInt_(handle_, AUDIOPLUGIN_VALUE_MUTE, muted ? 1 : 0);
}

std::vector<PlayerPluginInfo> listPlayerPlugins(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::path& path = it->path();
    if (path.extension() == ".so" && it->is_regular_file(error)) files.push_back(path.filename());
  }
  std::sort(files.begin(), files.end());
  std::vector<PlayerPluginInfo> plugins;
  for (const std::string& file : files) {
    AudioPlayer player;
    if (player.probe(folder + "/" + file) < 0) continue;
    PlayerPluginInfo info;
    info.fileName = file;
    info.name = player.displayName();
    if (info.name.empty()) info.name = file;
    info.offered = player.offered() != 0;
    plugins.push_back(std::move(info));
  }
  return plugins;
}

}  // namespace zarvell::app
