// One song at a time through a GStreamer playbin: the player's state machine.
//
// Thread: a Playback lives on the worker thread (Worker.h) and every method is called there;
// its bus watch dispatches there, and so does the end event. Nothing here locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audioplugin/AudioPlugin.h"
#include "gsthandles/GstHandles.h"

namespace internalplayer {

class Playback {
 public:
  // Builds the playbin (audio only, with the sink the environment chooses, see AudioSink.h)
  // and attaches its bus watch to `context`. Null, with *status
  // negative, when GStreamer or playbin is missing. Throws only std::bad_alloc.
  static std::unique_ptr<Playback> create(GMainContext* context, int32_t* status);
  ~Playback();
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Stops the current song, then starts the UTF-8 file path: waits (bounded) until the
  // pipeline has prerolled, i.e. the first audio reached the sink, and sets it playing.
  // 0, or ZARVELL_E_FAIL (not a readable regular file, no audio, cannot be decoded),
  // ZARVELL_E_ABORT (prerolling took too long), ZARVELL_E_INVALIDARG (null path). After a
  // failure no song is loaded (resume() fails too).
  int32_t play(const char* path);
  // Resumes a paused song; after a stop or the song's end, starts it again from the
  // beginning. 0, or ZARVELL_E_FAIL without a song.
  int32_t resume();
  // 0 when a song is paused or now pauses; ZARVELL_E_FAIL otherwise.
  int32_t pause();
  // Stops the song (kept for resume()). Always 0.
  int32_t stop();

  // Seconds; 0 without a loaded song.
  double length() const;
  double position() const;
  // Seeks the loaded song to `seconds` (clamped to 0..length) and waits (bounded) until the
  // song stands there; a paused song stays paused, an ended one plays on from there.
  // Ignored without a song or for a value that is not finite.
  void seek(double seconds);

  // Volume 0.0..1.0 (clamped; not finite: ignored) and mute, as the pipeline holds them;
  // they carry over from song to song.
  float volume() const;
  void setVolume(float level);
  bool muted() const;
  void setMuted(bool muted);

  void setEventCallback(AudioPluginEventCallback callback, void* context);

 private:
  enum class State { kIdle, kPlaying, kPaused, kStopped, kEnded };
  enum class Wait { kReached, kFailed, kTimedOut };

  Playback(gsthandles::PipelineRef playbin, gsthandles::BusRef bus);
  int32_t start();
  void unload();
  bool loaded() const;
  // Pops bus messages until one of `wanted` from the pipeline itself arrives (kReached), an
  // error arrives (kFailed) or `timeoutMs` pass; every other message is handled as the bus
  // watch would handle it.
  Wait waitFor(GstMessageType wanted, int timeoutMs);
  void handle(GstMessage* message);
  // An error while a song plays or is paused: the song is stopped and its end delivered.
  void cannotPlayOn();
  void deliver(int event);
  static gboolean onBusMessage(GstBus* bus, GstMessage* message, gpointer self);

  gsthandles::PipelineRef playbin_;
  gsthandles::BusRef bus_;
  gsthandles::SourceRef watch_;
  State state_ = State::kIdle;
  std::string uri_;  // the loaded song, kept after a stop
  mutable double knownLength_ = 0.0;
  AudioPluginEventCallback callback_ = nullptr;
  void* callbackContext_ = nullptr;
};

}  // namespace internalplayer
