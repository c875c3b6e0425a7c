// The eleven exports of audioplugins/internal.so, Zarvell's own player plug-in over
// GStreamer's playbin. Each catches everything and returns its status (or nothing); no
// exception leaves the module. The handle is a Player (Player.h).
#include <memory>
#include <new>

#include "Player.h"
#include "audioplugin/AudioPlugin.h"

namespace {

using internalplayer::Player;

constexpr const char* kDisplayName = "Zarvell internal player (GStreamer)";
// This plug-in answers the general value with 1: it can play.
constexpr int32_t kGeneralValue = 1;

Player* playerOf(AudioPluginHandle handle) {
  return static_cast<Player*>(handle);
}

// Runs `body` for a live handle; the status for a null handle or a failure inside.
template <typename Body>
int32_t guarded(AudioPluginHandle handle, Body body) {
  if (handle == nullptr) return ZARVELL_E_HANDLE;
  try {
    return body(*playerOf(handle));
  } catch (const std::bad_alloc&) {
    return ZARVELL_E_FAIL;
  } catch (...) {
    return ZARVELL_E_UNEXPECTED;
  }
}

}  // namespace

extern "C" {

ZARVELL_EXPORT int32_t APCreate(AudioPluginHandle* handle) {
  if (handle == nullptr) return ZARVELL_E_INVALIDARG;
  *handle = nullptr;
  try {
    int32_t status = ZARVELL_E_UNEXPECTED;
    std::unique_ptr<Player> player = Player::create(&status);
    if (!player) return status < 0 ? status : ZARVELL_E_UNEXPECTED;
    *handle = player.release();
    return ZARVELL_S_OK;
  } catch (...) {
    return ZARVELL_E_FAIL;
  }
}

ZARVELL_EXPORT void APDestroy(AudioPluginHandle handle) {
  Player::destroy(playerOf(handle));
}

ZARVELL_EXPORT int32_t APPlay(AudioPluginHandle handle, const char* path, int32_t /*option*/) {
  return guarded(handle, [&](Player& p) { return p.play(path); });
}

ZARVELL_EXPORT int32_t APPause(AudioPluginHandle handle) {
  return guarded(handle, [](Player& p) { return p.pause(); });
}

ZARVELL_EXPORT int32_t APStop(AudioPluginHandle handle) {
  return guarded(handle, [](Player& p) { return p.stop(); });
}

ZARVELL_EXPORT int32_t APGetValueFloat(AudioPluginHandle handle, int32_t id, float* value) {
  if (value == nullptr) return ZARVELL_E_INVALIDARG;
  return guarded(handle, [&](Player& p) {
    switch (id) {
      case AUDIOPLUGIN_VALUE_LENGTH:
        *value = static_cast<float>(p.length());
        return ZARVELL_S_OK;
      case AUDIOPLUGIN_VALUE_POSITION:
        *value = static_cast<float>(p.position());
        return ZARVELL_S_OK;
      case AUDIOPLUGIN_VALUE_VOLUME:
        *value = p.volume();
        return ZARVELL_S_OK;
      default:
        return ZARVELL_E_INVALIDARG;
    }
  });
}

ZARVELL_EXPORT void APSetValueFloat(AudioPluginHandle handle, int32_t id, float value) {
  guarded(handle, [&](Player& p) {
    if (id == AUDIOPLUGIN_VALUE_POSITION) p.seek(value);
    if (id == AUDIOPLUGIN_VALUE_VOLUME) p.setVolume(value);
    return ZARVELL_S_OK;
  });
}

ZARVELL_EXPORT int32_t APGetValueInt(AudioPluginHandle handle, int32_t id, int32_t* value) {
  if (value == nullptr) return ZARVELL_E_INVALIDARG;
  // The values that describe the plug-in itself need no instance.
  if (id == AUDIOPLUGIN_VALUE_OFFERED) {
    *value = 1;
    return ZARVELL_S_OK;
  }
  if (id == AUDIOPLUGIN_VALUE_GENERAL) {
    *value = kGeneralValue;
    return ZARVELL_S_OK;
  }
  return guarded(handle, [&](Player& p) {
    if (id != AUDIOPLUGIN_VALUE_MUTE) return ZARVELL_E_INVALIDARG;
    *value = p.muted() ? 1 : 0;
    return ZARVELL_S_OK;
  });
}

ZARVELL_EXPORT void APSetValueInt(AudioPluginHandle handle, int32_t id, int32_t value) {
  guarded(handle, [&](Player& p) {
    if (id == AUDIOPLUGIN_VALUE_MUTE) p.setMuted(value != 0);
    return ZARVELL_S_OK;
  });
}

ZARVELL_EXPORT int32_t APGetValueString(AudioPluginHandle /*handle*/, int32_t id,
                                        const char** text) {
  if (text == nullptr) return ZARVELL_E_INVALIDARG;
  if (id != AUDIOPLUGIN_VALUE_NAME) return ZARVELL_E_INVALIDARG;
  *text = kDisplayName;
  return ZARVELL_S_OK;
}

ZARVELL_EXPORT void APSetEventCallback(AudioPluginHandle handle, AudioPluginEventCallback callback,
                                       void* context) {
  guarded(handle, [&](Player& p) {
    p.setEventCallback(callback, context);
    return ZARVELL_S_OK;
  });
}

}  // extern "C"
