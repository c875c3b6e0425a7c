// The capture stage at the end of Pradix's pipeline: an appsink whose callback writes the
// S16 mono 22,050 Hz samples of the wanted window into the caller's buffer.
#pragma once

#include <cstdint>
#include <mutex>

#include <gst/app/gstappsink.h>

#include "gsthandles/GstHandles.h"

namespace pradix {

class CaptureSink {
 public:
  // Writes into buffer[0, capacity); both must stay valid until the pipeline is stopped.
  CaptureSink(int16_t* buffer, int32_t capacity) : buffer_(buffer), capacity_(capacity) {}
  CaptureSink(const CaptureSink&) = delete;
  CaptureSink& operator=(const CaptureSink&) = delete;

  // Installs the callbacks on `appsink`; this object must outlive the pipeline's run.
  void attach(GstElement* appsink);
  // Only samples whose stream time lies in [start, end) seconds are kept. Called before the
  // pipeline plays; until then nothing is captured.
  void arm(double startSeconds, double endSeconds);

  int32_t written() const;
  // Name of the application message posted on the bus once the window is complete or the
  // buffer is full.
  static constexpr const char* kDoneMessage = "pradix-capture-done";

 private:
  static GstFlowReturn onNewSample(GstAppSink* sink, gpointer self);
  GstFlowReturn take(GstElement* sink);
  void finish(GstElement* sink);

  int16_t* buffer_;
  int32_t capacity_;
  mutable std::mutex mutex_;  // guards everything below (streaming thread vs caller)
  bool armed_ = false;
  bool done_ = false;
  double start_ = 0.0;
  double end_ = 0.0;
  double next_ = 0.0;  // stream time after the last buffer, for buffers without timestamps
  int32_t written_ = 0;
};

}  // namespace pradix
