// Move-only owners of the GStreamer and GLib references that Zarvell's GStreamer modules
// (the Pradix decoder and the internal player) hold: each releases its one reference when
// it goes. Null is allowed everywhere and means "none". Header only; include it only from
// code that links GStreamer.
#pragma once

#include <gst/gst.h>

#include <utility>

namespace gsthandles {

template <typename T, void (*Release)(T*)>
class GRef {
 public:
  GRef() = default;
  // Takes over one reference.
  explicit GRef(T* object) : object_(object) {}
  ~GRef() { reset(); }
  GRef(GRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GRef& operator=(GRef&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;

  void reset() {
    if (object_ != nullptr) Release(std::exchange(object_, nullptr));
  }
  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

inline void releaseElement(GstElement* element) {
  gst_object_unref(element);
}
inline void releaseBus(GstBus* bus) {
  gst_object_unref(bus);
}
inline void releasePad(GstPad* pad) {
  gst_object_unref(pad);
}
inline void releaseMessage(GstMessage* message) {
  gst_message_unref(message);
}
inline void releaseSample(GstSample* sample) {
  gst_sample_unref(sample);
}
inline void releaseCaps(GstCaps* caps) {
  gst_caps_unref(caps);
}
inline void releaseError(GError* error) {
  g_error_free(error);
}
inline void releaseText(gchar* text) {
  g_free(text);
}
inline void releaseContext(GMainContext* context) {
  g_main_context_unref(context);
}
inline void releaseLoop(GMainLoop* loop) {
  g_main_loop_unref(loop);
}
// A source is detached from its context (so it never dispatches again) before the
// reference goes.
inline void releaseSource(GSource* source) {
  g_source_destroy(source);
  g_source_unref(source);
}

using ElementRef = GRef<GstElement, releaseElement>;
using BusRef = GRef<GstBus, releaseBus>;
using PadRef = GRef<GstPad, releasePad>;
using MessageRef = GRef<GstMessage, releaseMessage>;
using SampleRef = GRef<GstSample, releaseSample>;
using CapsRef = GRef<GstCaps, releaseCaps>;
using ErrorRef = GRef<GError, releaseError>;
using TextRef = GRef<gchar, releaseText>;
using ContextRef = GRef<GMainContext, releaseContext>;
using LoopRef = GRef<GMainLoop, releaseLoop>;
using SourceRef = GRef<GSource, releaseSource>;

// A pipeline brought to the NULL state (which stops and joins its streaming threads) before
// its reference goes, so no element runs and no callback comes once the owner is gone.
class PipelineRef {
 public:
  PipelineRef() = default;
  explicit PipelineRef(GstElement* pipeline) : pipeline_(pipeline) {}
  ~PipelineRef() { reset(); }
  PipelineRef(PipelineRef&& other) noexcept = default;
  PipelineRef& operator=(PipelineRef&& other) noexcept {
    if (this != &other) {
      reset();
      pipeline_ = std::move(other.pipeline_);
    }
    return *this;
  }
  PipelineRef(const PipelineRef&) = delete;
  PipelineRef& operator=(const PipelineRef&) = delete;

  void reset() {
    if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    pipeline_.reset();
  }
  GstElement* get() const { return pipeline_.get(); }
  explicit operator bool() const { return static_cast<bool>(pipeline_); }

 private:
  ElementRef pipeline_;
};

// A mapped buffer's memory, unmapped when it goes.
class BufferMap {
 public:
  explicit BufferMap(GstBuffer* buffer) : buffer_(buffer) {
    mapped_ = buffer_ != nullptr && gst_buffer_map(buffer_, &info_, GST_MAP_READ);
  }
  ~BufferMap() {
    if (mapped_) gst_buffer_unmap(buffer_, &info_);
  }
  BufferMap(const BufferMap&) = delete;
  BufferMap& operator=(const BufferMap&) = delete;
  bool ok() const { return mapped_; }
  const guint8* data() const { return info_.data; }
  gsize size() const { return info_.size; }

 private:
  GstBuffer* buffer_;
  GstMapInfo info_{};
  bool mapped_ = false;
};

}  // namespace gsthandles
