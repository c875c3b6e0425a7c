#include "DecodePipeline.h"

#include <gst/app/gstappsink.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>

#include "CaptureSink.h"
#include "ElementPolicy.h"
#include "Window.h"
#include "gsthandles/GstHandles.h"
#include "pradix/Pradix.h"

namespace pradix {
namespace {

using Clock = std::chrono::steady_clock;

// Posted when decodebin has exposed all its streams and none of them is audio.
constexpr const char* kNoAudioMessage = "pradix-no-audio";

bool gstreamerReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = gst_init_check(nullptr, nullptr, nullptr) != FALSE; });
  return ready;
}

// What decodebin's signal handlers need and learn; lives until the pipeline is stopped.
struct Linker {
  GstElement* convert = nullptr;
  std::mutex mutex;  // guards the fields below (streaming threads vs caller)
  bool linked = false;
  // How far the decoded timeline runs behind the encoded audio, in seconds (see
  // decoderDelaySeconds), and whether the reported duration counts that lag too.
  double delaySeconds = 0.0;
  bool durationHasDelay = false;
};

// Some decoders put the audio later on the timeline than it was encoded: MPEG layer 3 streams
// start with the encoder's 576-sample delay and the decoder's 529-sample filter delay, which
// GStreamer does not trim; FFmpeg's WMA decoders stamp each frame with the timestamp of the
// packet after it. Returns that lag for the compressed stream `caps`, or a negative value when
// the caps say nothing about it.
bool isMpegLayer3(const GstStructure* s) {
  int version = 0, layer = 0;
  return gst_structure_has_name(s, "audio/mpeg") &&
         gst_structure_get_int(s, "mpegversion", &version) && version == 1 &&
         gst_structure_get_int(s, "layer", &layer) && layer == 3;
}

double decoderDelaySeconds(const GstCaps* caps) {
  if (caps == nullptr || gst_caps_get_size(caps) == 0) return -1.0;
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  int rate = 0;
  if (!gst_structure_get_int(s, "rate", &rate) || rate <= 0) return -1.0;
  if (isMpegLayer3(s)) return (576.0 + 529.0) / rate;
  int version = 0;
  if (gst_structure_has_name(s, "audio/x-wma") &&
      gst_structure_get_int(s, "wmaversion", &version) && (version == 1 || version == 2)) {
    int frame = 2048;
    if (rate <= 16000) {
      frame = 512;
    } else if (rate <= 22050 || (rate <= 32000 && version == 1)) {
      frame = 1024;
    }
    return static_cast<double>(frame) / rate;
  }
  return 0.0;
}

gboolean onAutoplugContinue(GstElement*, GstPad*, GstCaps* caps, gpointer data) {
  auto* linker = static_cast<Linker*>(data);
  const double delay = decoderDelaySeconds(caps);
  if (delay >= 0.0) {
    const std::lock_guard<std::mutex> lock(linker->mutex);
    linker->delaySeconds = delay;
    // MPEG audio durations count every decoded frame, the lag included.
    linker->durationHasDelay = isMpegLayer3(gst_caps_get_structure(caps, 0));
  }
  return TRUE;
}

// decodebin's answers to autoplug-select (GstAutoplugSelectResult, which GStreamer does not
// put in a public header).
constexpr int kAutoplugTry = 0;
constexpr int kAutoplugSkip = 2;

int onAutoplugSelect(GstElement*, GstPad*, GstCaps*, GstElementFactory* factory, gpointer) {
  return readsBeyondTheFile(factory) ? kAutoplugSkip : kAutoplugTry;
}

bool isAudioPad(GstPad* pad) {
  gsthandles::CapsRef caps(gst_pad_get_current_caps(pad));
  if (!caps) caps = gsthandles::CapsRef(gst_pad_query_caps(pad, nullptr));
  if (!caps || gst_caps_get_size(caps.get()) == 0) return false;
  const char* name = gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
  return name != nullptr && std::strncmp(name, "audio/", 6) == 0;
}

void onPadAdded(GstElement*, GstPad* pad, gpointer data) {
  auto* linker = static_cast<Linker*>(data);
  const std::lock_guard<std::mutex> lock(linker->mutex);
  if (linker->linked || !isAudioPad(pad)) return;
  gsthandles::PadRef sink(gst_element_get_static_pad(linker->convert, "sink"));
  if (sink && gst_pad_link(pad, sink.get()) == GST_PAD_LINK_OK) linker->linked = true;
}

void onNoMorePads(GstElement* element, gpointer data) {
  auto* linker = static_cast<Linker*>(data);
  const std::lock_guard<std::mutex> lock(linker->mutex);
  if (linker->linked) return;
  GstStructure* body = gst_structure_new_empty(kNoAudioMessage);
  gst_element_post_message(element, gst_message_new_application(GST_OBJECT(element), body));
}

enum class Wait { kReached, kEnded, kFailed, kTimedOut };

// Waits on the bus until `until` arrives (or, while playing, the capture is done / the
// stream ends), an error arrives, or the deadline passes.
Wait waitFor(GstBus* bus, GstMessageType until, Clock::time_point deadline) {
  const auto types = static_cast<GstMessageType>(until | GST_MESSAGE_ERROR | GST_MESSAGE_EOS |
                                                 GST_MESSAGE_APPLICATION);
  for (;;) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return Wait::kTimedOut;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    gsthandles::MessageRef message(
        gst_bus_timed_pop_filtered(bus, static_cast<GstClockTime>(ns), types));
    if (!message) return Wait::kTimedOut;
    const GstMessageType type = GST_MESSAGE_TYPE(message.get());
    if (type == GST_MESSAGE_ERROR) return Wait::kFailed;
    if (type == GST_MESSAGE_APPLICATION) {
      const GstStructure* s = gst_message_get_structure(message.get());
      if (s != nullptr && gst_structure_has_name(s, kNoAudioMessage)) return Wait::kFailed;
      if (s != nullptr && gst_structure_has_name(s, CaptureSink::kDoneMessage)) {
        return Wait::kEnded;
      }
      continue;
    }
    if (type == GST_MESSAGE_EOS) return until == GST_MESSAGE_EOS ? Wait::kReached : Wait::kEnded;
    if (type == until) return Wait::kReached;
  }
}

int32_t statusOf(Wait wait) {
  switch (wait) {
    case Wait::kReached:
    case Wait::kEnded:
      return ZARVELL_S_OK;
    case Wait::kTimedOut:
      return ZARVELL_E_ABORT;
    case Wait::kFailed:
      break;
  }
  return ZARVELL_E_FAIL;
}

// Brings the pipeline to PAUSED (prerolled) and waits for that to complete.
Wait preroll(GstElement* pipeline, GstBus* bus, Clock::time_point deadline) {
  const GstStateChangeReturn rc = gst_element_set_state(pipeline, GST_STATE_PAUSED);
  if (rc == GST_STATE_CHANGE_FAILURE) return Wait::kFailed;
  if (rc != GST_STATE_CHANGE_ASYNC) return Wait::kReached;
  return waitFor(bus, GST_MESSAGE_ASYNC_DONE, deadline);
}

double durationSeconds(GstElement* pipeline) {
  gint64 duration = 0;
  if (!gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration) || duration <= 0) {
    return 0.0;
  }
  return static_cast<double>(duration) / GST_SECOND;
}

gsthandles::ElementRef make(const char* factory) {
  GstElement* element = gst_element_factory_make(factory, nullptr);
  if (element != nullptr) gst_object_ref_sink(element);
  return gsthandles::ElementRef(element);
}

// How a run reaches the window: by an accurate seek, or by decoding from the start while
// the capture drops what lies before the window.
enum class Approach { kSeek, kPlayThrough };

// One pipeline over the request, built by the constructor and run once by run(). The
// capture and the linker are declared before the elements: both must outlive the
// pipeline's streaming threads, which stop when the pipeline is released.
class PipelineRun {
 public:
  // `req` must outlive this object.
  explicit PipelineRun(const DecodeRequest& req) : req_(req), capture_(req.buffer, req.capacity) {
    build();
  }
  PipelineRun(const PipelineRun&) = delete;
  PipelineRun& operator=(const PipelineRun&) = delete;

  // Decodes the window; the pipeline is stopped when this returns. `seekBroke` tells that
  // a seek was made and the stream then failed or ended with nothing captured.
  DecodeOutcome run(Clock::time_point deadline, Approach approach, bool& seekBroke);

 private:
  void build();
  // The song's own length in seconds (0 when unknown), without the decoder's lag, which
  // `delay` receives.
  double measure(double& delay);

  const DecodeRequest& req_;
  CaptureSink capture_;
  Linker linker_;
  gsthandles::PipelineRef pipeline_;
  gsthandles::BusRef bus_;
  bool built_ = false;
};

void PipelineRun::build() {
  gsthandles::ElementRef source = make("filesrc"), decode = make("decodebin"),
                         convert = make("audioconvert"), resample = make("audioresample"),
                         filter = make("capsfilter"), sink = make("appsink");
  GstElement* bin = gst_pipeline_new(nullptr);
  if (bin != nullptr) gst_object_ref_sink(bin);
  pipeline_ = gsthandles::PipelineRef(bin);
  if (!source || !decode || !convert || !resample || !filter || !sink || !pipeline_) return;
  g_object_set(source.get(), "location", req_.path.c_str(), nullptr);
  gsthandles::CapsRef caps(gst_caps_new_simple(
      "audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING, "interleaved",
      "channels", G_TYPE_INT, 1, "rate", G_TYPE_INT, ZARVELL_DECODER_SAMPLE_RATE, nullptr));
  g_object_set(filter.get(), "caps", caps.get(), nullptr);
  g_object_set(sink.get(), "sync", FALSE, "emit-signals", FALSE, nullptr);
  capture_.attach(sink.get());

  gst_bin_add_many(GST_BIN(pipeline_.get()), source.get(), decode.get(), convert.get(),
                   resample.get(), filter.get(), sink.get(), nullptr);
  if (!gst_element_link(source.get(), decode.get()) ||
      !gst_element_link_many(convert.get(), resample.get(), filter.get(), sink.get(), nullptr)) {
    return;
  }
  linker_.convert = convert.get();
  g_signal_connect(decode.get(), "autoplug-continue", G_CALLBACK(onAutoplugContinue), &linker_);
  g_signal_connect(decode.get(), "autoplug-select", G_CALLBACK(onAutoplugSelect), nullptr);
  g_signal_connect(decode.get(), "pad-added", G_CALLBACK(onPadAdded), &linker_);
  g_signal_connect(decode.get(), "no-more-pads", G_CALLBACK(onNoMorePads), &linker_);
  bus_ = gsthandles::BusRef(gst_element_get_bus(pipeline_.get()));
  built_ = static_cast<bool>(bus_);
}

double PipelineRun::measure(double& delay) {
  bool durationHasDelay = false;
  {
    const std::lock_guard<std::mutex> lock(linker_.mutex);
    delay = linker_.delaySeconds;
    durationHasDelay = linker_.durationHasDelay;
  }
  double duration = durationSeconds(pipeline_.get());
  if (durationHasDelay && duration > delay) duration -= delay;
  return duration;
}

DecodeOutcome PipelineRun::run(Clock::time_point deadline, Approach approach, bool& seekBroke) {
  seekBroke = false;
  DecodeOutcome out;
  if (!built_) {
    out.status = ZARVELL_E_UNEXPECTED;
    return out;
  }
  Wait wait = preroll(pipeline_.get(), bus_.get(), deadline);
  if (wait != Wait::kReached) {
    out.status = wait == Wait::kEnded ? ZARVELL_E_FAIL : statusOf(wait);
    return out;
  }
  double delay = 0.0;
  const double duration = measure(delay);
  if (duration < 2147483647.0) out.mediaSeconds = static_cast<int32_t>(duration);
  const Window window = windowFor(duration, req_.startSeconds, req_.lengthSeconds);
  // Positions on the decoded timeline of the window's audio.
  const double from = window.start + delay;
  const double to = window.end + delay;
  capture_.arm(from, to);
  bool sought = false;
  if (approach == Approach::kSeek) {
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    sought =
        gst_element_seek(pipeline_.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                         static_cast<gint64>(std::llround(from * GST_SECOND)), GST_SEEK_TYPE_SET,
                         static_cast<gint64>(std::llround(to * GST_SECOND)));
    // A flushing seek in PAUSED prerolls again; a container that cannot seek plays from
    // where it is and the capture drops what lies before the window.
    if (sought) wait = waitFor(bus_.get(), GST_MESSAGE_ASYNC_DONE, deadline);
  }
  if (wait == Wait::kReached) {
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
      wait = Wait::kFailed;
    } else {
      wait = waitFor(bus_.get(), GST_MESSAGE_EOS, deadline);
    }
  }
  gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  out.status = statusOf(wait);
  out.samples = capture_.written();
  seekBroke = sought && wait != Wait::kTimedOut && out.samples == 0;
  // Nothing decoded in the window (a window past the data that is really there) is a
  // failure, not an empty success.
  if (out.status == ZARVELL_S_OK && out.samples == 0) out.status = ZARVELL_E_FAIL;
  return out;
}

}  // namespace

DecodeOutcome decodeWithPipeline(const DecodeRequest& req) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(req.timeoutMs);
  if (!gstreamerReady()) {
    DecodeOutcome out;
    out.status = ZARVELL_E_UNEXPECTED;
    return out;
  }
  bool seekBroke = false;
  DecodeOutcome out = PipelineRun(req).run(deadline, Approach::kSeek, seekBroke);
  if (seekBroke) {
    // Some streams decode from their start but break when sought, such as Ogg files whose
    // first audio page carries a negative granule position (written by early encoders): the
    // seek ends them at once. They are decoded again from the start, within the same
    // time-out.
    out = PipelineRun(req).run(deadline, Approach::kPlayThrough, seekBroke);
  }
  return out;
}

}  // namespace pradix
