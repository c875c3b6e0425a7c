/* The boundary between Zarvell and its audio player plug-ins.
 *
 * A player plug-in is a shared object in "audioplugins/" (for example
 * "audioplugins/internal.so") that plays one song at a time. The application loads it with
 * dlopen and resolves the eleven exports below by name with dlsym; the typedefs are the
 * types to cast them to. Usable from C and C++. No export throws; statuses come from
 * "zarvell/status.h" (0 for success, negative for failure).
 *
 * Instances: APCreate stores an opaque handle; every other call takes it back. Calls on one
 * handle may come from any thread, one at a time or concurrently; the plug-in serialises
 * them. APDestroy is the last call on a handle: made when no other call on it is running
 * (the event callback itself may make it), and the handle is never used after.
 *
 * APCreate(&handle)            0 and a handle, or a negative status and a null handle.
 * APDestroy(handle)            stops playback and frees the instance; no event is delivered
 *                              once it returns. A null handle is ignored.
 * APPlay(handle, path, option) path: a NUL-terminated UTF-8 file path. Stops whatever plays,
 *                              starts the file and returns 0 once it plays, or a negative
 *                              status when it cannot be started (missing or unreadable file,
 *                              not a regular file, no audio in it, undecodable). A null path
 *                              resumes the paused song (0), or starts the last song again
 *                              from its beginning after a stop or its end; negative when
 *                              there is no song. option: callers pass -1.
 * APPause(handle)              pauses the playing song (0); negative when there is no song.
 * APStop(handle)               stops the song (0); position and length become 0.
 * APGetValueFloat/Int(handle, id, &value)
 *                              writes the value and returns 0; for an id the plug-in does not
 *                              answer (or one that needs a handle, given a null handle) it
 *                              writes nothing and returns a negative status, so the caller's
 *                              initial value stands as the default.
 * APSetValueFloat/Int(handle, id, value)
 *                              sets the value; unknown ids are ignored.
 * APGetValueString(handle, id, &text)
 *                              writes a pointer to a NUL-terminated UTF-8 text that stays
 *                              valid while the plug-in is loaded, and returns 0; negative
 *                              when there is no such text (nothing written).
 * APSetEventCallback(handle, callback, context)
 *                              registers the event callback (null removes it).
 *
 * Events: callback(event, context) returns 1. AUDIOPLUGIN_EVENT_SONG_END means the song
 * reached its end (or can play no further). It may arrive on a thread of the plug-in; the
 * callback must return promptly and must not wait for a thread that may itself be calling
 * the plug-in (hand the event to the interface thread and return). Other event ids are
 * ignored by the application.
 */
#ifndef AUDIOPLUGIN_AUDIOPLUGIN_H
#define AUDIOPLUGIN_AUDIOPLUGIN_H

#include <stdint.h>

#include "zarvell/status.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* AudioPluginHandle;

typedef int (*AudioPluginEventCallback)(int event, void* context);

typedef int32_t (*APCreateFn)(AudioPluginHandle* handle);
typedef void (*APDestroyFn)(AudioPluginHandle handle);
typedef int32_t (*APPlayFn)(AudioPluginHandle handle, const char* path, int32_t option);
typedef int32_t (*APPauseFn)(AudioPluginHandle handle);
typedef int32_t (*APStopFn)(AudioPluginHandle handle);
typedef int32_t (*APGetValueFloatFn)(AudioPluginHandle handle, int32_t id, float* value);
typedef void (*APSetValueFloatFn)(AudioPluginHandle handle, int32_t id, float value);
typedef int32_t (*APGetValueIntFn)(AudioPluginHandle handle, int32_t id, int32_t* value);
typedef void (*APSetValueIntFn)(AudioPluginHandle handle, int32_t id, int32_t value);
typedef int32_t (*APGetValueStringFn)(AudioPluginHandle handle, int32_t id, const char** text);
typedef void (*APSetEventCallbackFn)(AudioPluginHandle handle, AudioPluginEventCallback callback,
                                     void* context);

/* Export names, for dlsym. */
#define AUDIOPLUGIN_CREATE "APCreate"
#define AUDIOPLUGIN_DESTROY "APDestroy"
#define AUDIOPLUGIN_PLAY "APPlay"
#define AUDIOPLUGIN_PAUSE "APPause"
#define AUDIOPLUGIN_STOP "APStop"
#define AUDIOPLUGIN_GET_VALUE_FLOAT "APGetValueFloat"
#define AUDIOPLUGIN_SET_VALUE_FLOAT "APSetValueFloat"
#define AUDIOPLUGIN_GET_VALUE_INT "APGetValueInt"
#define AUDIOPLUGIN_SET_VALUE_INT "APSetValueInt"
#define AUDIOPLUGIN_GET_VALUE_STRING "APGetValueString"
#define AUDIOPLUGIN_SET_EVENT_CALLBACK "APSetEventCallback"

/* The option argument of APPlay that callers pass. */
#define AUDIOPLUGIN_PLAY_OPTION_NONE ((int32_t)-1)

/* Value ids. */
/* float, get: length of the loaded song in seconds (0 without a song). */
#define AUDIOPLUGIN_VALUE_LENGTH ((int32_t)0)
/* float, get and set: playing position in seconds; setting it seeks. */
#define AUDIOPLUGIN_VALUE_POSITION ((int32_t)1)
/* float, set: volume, 0.0 (silent) to 1.0 (full). Plug-ins may also answer a get. */
#define AUDIOPLUGIN_VALUE_VOLUME ((int32_t)2)
/* int, get: the caller's default is 1; its meaning is each plug-in's own and nothing in
 * playback depends on it. */
#define AUDIOPLUGIN_VALUE_GENERAL ((int32_t)100)
/* int, get, asked with a null handle: non-zero when the plug-in is offered in the player
 * list. */
#define AUDIOPLUGIN_VALUE_OFFERED ((int32_t)102)
/* int, get and set: mute state, non-zero = muted. */
#define AUDIOPLUGIN_VALUE_MUTE ((int32_t)103)
/* string, get, asked with a null handle: the plug-in's display name. */
#define AUDIOPLUGIN_VALUE_NAME ((int32_t)200)

/* Defaults the caller assumes for an int value that a plug-in does not answer. */
#define AUDIOPLUGIN_GENERAL_DEFAULT ((int32_t)1)

/* Event ids. */
#define AUDIOPLUGIN_EVENT_SONG_END 1

#ifdef __cplusplus
}
#endif

#endif
