#include "Playback.h"

#include <cmath>

#include "AudioSink.h"
#include "GstRuntime.h"
#include "decodercommon/SongFile.h"

namespace internalplayer {
namespace {

// playbin's GstPlayFlags (the enum is registered by the plug-in, not in a public header):
// decode and render audio only, with playbin's own volume element.
constexpr guint kPlayFlagAudio = 1u << 1;
constexpr guint kPlayFlagSoftVolume = 1u << 4;

// Bounds on the waits of one call. Prerolling opens, types and decodes the file's start; a
// seek only prerolls again; a pause only waits for the sink.
constexpr int kPrerollTimeoutMs = 10000;
constexpr GstClockTime kSeekTimeout = 5 * GST_SECOND;
constexpr GstClockTime kPauseTimeout = 2 * GST_SECOND;

double toSeconds(gint64 ns) {
  return static_cast<double>(ns) / static_cast<double>(GST_SECOND);
}

}  // namespace

std::unique_ptr<Playback> Playback::create(GMainContext* context, int32_t* status) {
  *status = ZARVELL_E_UNEXPECTED;
  if (!gstreamerReady()) return nullptr;
  GstElement* element = gst_element_factory_make("playbin", nullptr);
  if (element == nullptr) return nullptr;
  gst_object_ref_sink(element);
  gsthandles::PipelineRef playbin(element);
  g_object_set(playbin.get(), "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
  if (GstElement* sink = audioSinkFromEnvironment()) {
    g_object_set(playbin.get(), "audio-sink", sink, nullptr);  // takes the floating ref
  }
  gsthandles::BusRef bus(gst_element_get_bus(playbin.get()));
  if (!bus) return nullptr;
  std::unique_ptr<Playback> playback(new Playback(std::move(playbin), std::move(bus)));
  playback->watch_ = gsthandles::SourceRef(gst_bus_create_watch(playback->bus_.get()));
  if (!playback->watch_) return nullptr;
  g_source_set_callback(playback->watch_.get(), G_SOURCE_FUNC(onBusMessage), playback.get(),
                        nullptr);
  g_source_attach(playback->watch_.get(), context);
  *status = ZARVELL_S_OK;
  return playback;
}

Playback::Playback(gsthandles::PipelineRef playbin, gsthandles::BusRef bus)
    : playbin_(std::move(playbin)), bus_(std::move(bus)) {}

Playback::~Playback() {
  // The pipeline stops (and its threads are joined) before the watch goes, so no message
  // of this song reaches anyone afterwards.
  callback_ = nullptr;
  playbin_.reset();
  watch_.reset();
}

int32_t Playback::play(const char* path) {
  unload();
  uri_.clear();
  if (path == nullptr) return ZARVELL_E_INVALIDARG;
  // Only a regular file that opens without blocking is handed to the pipeline: a FIFO or a
  // device would block the file source inside a state change.
  if (!decodercommon::SongFile::open(path)) return ZARVELL_E_FAIL;
  // A proper file URI: every byte that is not allowed in one (spaces, '#', '%', non-ASCII)
  // is escaped; a relative path is taken from the current folder.
  GError* raw = nullptr;
  gsthandles::TextRef uri(gst_filename_to_uri(path, &raw));
  const gsthandles::ErrorRef error(raw);
  if (!uri) return ZARVELL_E_FAIL;
  uri_ = uri.get();
  return start();
}

int32_t Playback::start() {
  unload();
  g_object_set(playbin_.get(), "uri", uri_.c_str(), nullptr);
  const GstStateChangeReturn rc = gst_element_set_state(playbin_.get(), GST_STATE_PAUSED);
  Wait wait = rc == GST_STATE_CHANGE_FAILURE ? Wait::kFailed : Wait::kReached;
  if (rc == GST_STATE_CHANGE_ASYNC) wait = waitFor(GST_MESSAGE_ASYNC_DONE, kPrerollTimeoutMs);
  gint audioStreams = 0;
  if (wait == Wait::kReached) g_object_get(playbin_.get(), "n-audio", &audioStreams, nullptr);
  if (wait == Wait::kReached && audioStreams > 0 &&
      gst_element_set_state(playbin_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
    state_ = State::kPlaying;
    return ZARVELL_S_OK;
  }
  unload();
  uri_.clear();
  return wait == Wait::kTimedOut ? ZARVELL_E_ABORT : ZARVELL_E_FAIL;
}

int32_t Playback::resume() {
  switch (state_) {
    case State::kPlaying:
      return ZARVELL_S_OK;
    case State::kPaused:
      if (gst_element_set_state(playbin_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return ZARVELL_E_FAIL;
      }
      state_ = State::kPlaying;
      return ZARVELL_S_OK;
    case State::kStopped:
    case State::kEnded:
      return start();
    case State::kIdle:
      break;
  }
  return ZARVELL_E_FAIL;
}

int32_t Playback::pause() {
  if (state_ == State::kPaused) return ZARVELL_S_OK;
  if (state_ != State::kPlaying) return ZARVELL_E_FAIL;
  if (gst_element_set_state(playbin_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
    return ZARVELL_E_FAIL;
  }
  // Once the sink has paused, the position stands still.
  gst_element_get_state(playbin_.get(), nullptr, nullptr, kPauseTimeout);
  state_ = State::kPaused;
  return ZARVELL_S_OK;
}

int32_t Playback::stop() {
  unload();
  if (!uri_.empty()) state_ = State::kStopped;
  return ZARVELL_S_OK;
}

void Playback::unload() {
  // Going to NULL also flushes the bus, so no message of the old song is handled later.
  gst_element_set_state(playbin_.get(), GST_STATE_NULL);
  state_ = State::kIdle;
  knownLength_ = 0.0;
}

bool Playback::loaded() const {
  return state_ == State::kPlaying || state_ == State::kPaused || state_ == State::kEnded;
}

double Playback::length() const {
  if (!loaded()) return 0.0;
  gint64 ns = 0;
  // Some streams only know their length after a while; the last answer stands meanwhile.
  if (gst_element_query_duration(playbin_.get(), GST_FORMAT_TIME, &ns) && ns > 0) {
    knownLength_ = toSeconds(ns);
  }
  return knownLength_;
}

double Playback::position() const {
  if (!loaded()) return 0.0;
  const double total = length();
  if (state_ == State::kEnded) return total;
  gint64 ns = 0;
  if (!gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &ns) || ns < 0) return 0.0;
  const double at = toSeconds(ns);
  return total > 0.0 && at > total ? total : at;
}

void Playback::seek(double seconds) {
  if (!loaded() || !std::isfinite(seconds)) return;
  const double total = length();
  if (seconds < 0.0) seconds = 0.0;
  if (total > 0.0 && seconds > total) seconds = total;
  const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  const auto target = static_cast<gint64>(std::llround(seconds * GST_SECOND));
  if (!gst_element_seek_simple(playbin_.get(), GST_FORMAT_TIME, flags, target)) return;
  // A song at its end is still in the playing state: it plays on from the new position (and
  // may end again while we wait, which the wait handles).
  if (state_ == State::kEnded) state_ = State::kPlaying;
  // The flushing seek has made the pipeline lose its state; it has it back once the sink
  // holds audio from the new position. (An error meanwhile reaches the bus watch.)
  gst_element_get_state(playbin_.get(), nullptr, nullptr, kSeekTimeout);
}

float Playback::volume() const {
  gdouble level = 0.0;
  g_object_get(playbin_.get(), "volume", &level, nullptr);
  return static_cast<float>(level);
}

void Playback::setVolume(float level) {
  if (!std::isfinite(level)) return;
  const double clamped = level < 0.0f ? 0.0 : level > 1.0f ? 1.0 : static_cast<double>(level);
  g_object_set(playbin_.get(), "volume", clamped, nullptr);
}

bool Playback::muted() const {
  gboolean on = FALSE;
  g_object_get(playbin_.get(), "mute", &on, nullptr);
  return on != FALSE;
}

void Playback::setMuted(bool muted) {
  g_object_set(playbin_.get(), "mute", muted ? TRUE : FALSE, nullptr);
}

void Playback::setEventCallback(AudioPluginEventCallback callback, void* context) {
  callback_ = callback;
  callbackContext_ = context;
}

Playback::Wait Playback::waitFor(GstMessageType wanted, int timeoutMs) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  for (;;) {
    const gint64 left = deadline - g_get_monotonic_time();
    if (left <= 0) return Wait::kTimedOut;
    gsthandles::MessageRef message(
        gst_bus_timed_pop(bus_.get(), static_cast<GstClockTime>(left) * 1000));
    if (!message) return Wait::kTimedOut;
    const GstMessageType type = GST_MESSAGE_TYPE(message.get());
    if (type == GST_MESSAGE_ERROR) return Wait::kFailed;
    if (type == wanted && GST_MESSAGE_SRC(message.get()) == GST_OBJECT(playbin_.get())) {
      return Wait::kReached;
    }
    handle(message.get());
  }
}

void Playback::handle(GstMessage* message) {
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      if (state_ != State::kPlaying) return;
      state_ = State::kEnded;
      deliver(AUDIOPLUGIN_EVENT_SONG_END);
      return;
    case GST_MESSAGE_ERROR:
      cannotPlayOn();
      return;
    default:
      return;
  }
}

void Playback::cannotPlayOn() {
  // A song that cannot play on (a read error, a broken stretch the decoder gives up on) has
  // reached the end of what can be played: the listener's next song follows.
  if (state_ != State::kPlaying && state_ != State::kPaused) return;
  unload();
  state_ = State::kStopped;
  deliver(AUDIOPLUGIN_EVENT_SONG_END);
}

void Playback::deliver(int event) {
  if (callback_ == nullptr) return;
  try {
    callback_(event, callbackContext_);
  } catch (...) {
    // A host's exception must not unwind through GLib's dispatch.
  }
}

gboolean Playback::onBusMessage(GstBus*, GstMessage* message, gpointer self) {
  static_cast<Playback*>(self)->handle(message);
  return G_SOURCE_CONTINUE;
}

}  // namespace internalplayer
