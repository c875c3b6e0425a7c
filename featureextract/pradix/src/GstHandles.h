// Move-only owners of GStreamer references: each releases its one reference when it goes.
#pragma once

#include <gst/gst.h>

#include <utility>

namespace pradix {

template <typename T, void (*Release)(T*)>
class GstRef {
 public:
  GstRef() = default;
  // Takes over one reference (null is allowed and means "none").
  explicit GstRef(T* object) : object_(object) {}
  ~GstRef() { reset(); }
  GstRef(GstRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GstRef& operator=(GstRef&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  GstRef(const GstRef&) = delete;
  GstRef& operator=(const GstRef&) = delete;

  void reset() {
    if (object_ != nullptr) Release(std::exchange(object_, nullptr));
  }
  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

inline void releaseObject(GstObject* object) {
  gst_object_unref(object);
}
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

using ElementRef = GstRef<GstElement, releaseElement>;
using BusRef = GstRef<GstBus, releaseBus>;
using PadRef = GstRef<GstPad, releasePad>;
using MessageRef = GstRef<GstMessage, releaseMessage>;
using SampleRef = GstRef<GstSample, releaseSample>;
using CapsRef = GstRef<GstCaps, releaseCaps>;

// A pipeline that is brought to the NULL state (which stops and joins its streaming threads)
// before its reference is dropped, so no callback runs once the owner is gone.
class PipelineRef {
 public:
  explicit PipelineRef(GstElement* pipeline) : pipeline_(pipeline) {}
  ~PipelineRef() {
    if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  }
  PipelineRef(const PipelineRef&) = delete;
  PipelineRef& operator=(const PipelineRef&) = delete;
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

}  // namespace pradix
