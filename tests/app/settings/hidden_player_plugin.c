/* A player plug-in that names itself but asks not to be offered (value 102 is 0): the
 * player list must leave it out. It plays nothing. */
#include <stddef.h>

#include "audioplugin/AudioPlugin.h"

#define EXPORT __attribute__((visibility("default")))

static int instance;

EXPORT int32_t APCreate(AudioPluginHandle* handle) {
  *handle = &instance;
  return 0;
}
EXPORT void APDestroy(AudioPluginHandle handle) { (void)handle; }
EXPORT int32_t APPlay(AudioPluginHandle handle, const char* path, int32_t option) {
  (void)handle, (void)path, (void)option;
  return -1;
}
EXPORT int32_t APPause(AudioPluginHandle handle) { (void)handle; return -1; }
EXPORT int32_t APStop(AudioPluginHandle handle) { (void)handle; return 0; }
EXPORT int32_t APGetValueFloat(AudioPluginHandle handle, int32_t id, float* value) {
  (void)handle, (void)id, (void)value;
  return -1;
}
EXPORT void APSetValueFloat(AudioPluginHandle handle, int32_t id, float value) {
  (void)handle, (void)id, (void)value;
}
EXPORT int32_t APGetValueInt(AudioPluginHandle handle, int32_t id, int32_t* value) {
  (void)handle;
  if (id != AUDIOPLUGIN_VALUE_OFFERED) return -1;
  *value = 0;
  return 0;
}
EXPORT void APSetValueInt(AudioPluginHandle handle, int32_t id, int32_t value) {
  (void)handle, (void)id, (void)value;
}
EXPORT int32_t APGetValueString(AudioPluginHandle handle, int32_t id, const char** text) {
  (void)handle;
  if (id != AUDIOPLUGIN_VALUE_NAME) return -1;
  *text = "Hidden Test Player";
  return 0;
}
EXPORT void APSetEventCallback(AudioPluginHandle handle, AudioPluginEventCallback callback,
                               void* context) {
  (void)handle, (void)callback, (void)context;
}
