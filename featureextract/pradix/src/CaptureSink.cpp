#include "CaptureSink.h"

#include <algorithm>
#include <cmath>

#include "pradix/Pradix.h"

namespace pradix {
namespace {

constexpr double kRate = ZARVELL_DECODER_SAMPLE_RATE;

}  // namespace

void CaptureSink::attach(GstElement* appsink) {
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &CaptureSink::onNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
}

void CaptureSink::arm(double startSeconds, double endSeconds) {
  const std::lock_guard<std::mutex> lock(mutex_);
  armed_ = true;
  start_ = startSeconds;
  end_ = endSeconds;
  next_ = startSeconds;
}

int32_t CaptureSink::written() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

GstFlowReturn CaptureSink::onNewSample(GstAppSink* sink, gpointer self) {
  return static_cast<CaptureSink*>(self)->take(GST_ELEMENT(sink));
}

// Runs on the streaming thread for every buffer that reaches the sink.
GstFlowReturn CaptureSink::take(GstElement* sink) {
  gsthandles::SampleRef sample(gst_app_sink_pull_sample(GST_APP_SINK(sink)));
  if (!sample) return GST_FLOW_EOS;
  const std::lock_guard<std::mutex> lock(mutex_);
  if (done_) return GST_FLOW_EOS;
  if (!armed_) return GST_FLOW_OK;

  GstBuffer* buffer = gst_sample_get_buffer(sample.get());
  const GstSegment* segment = gst_sample_get_segment(sample.get());
  gsthandles::BufferMap map(buffer);
  if (!map.ok()) return GST_FLOW_ERROR;
  const auto* samples = reinterpret_cast<const int16_t*>(map.data());
  const int64_t count = static_cast<int64_t>(map.size() / sizeof(int16_t));

  double begin = next_;
  if (segment != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
    const guint64 streamTime =
        gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (streamTime != GST_CLOCK_TIME_NONE) begin = static_cast<double>(streamTime) / GST_SECOND;
  }
  next_ = begin + count / kRate;

  const int64_t first = std::clamp<int64_t>(std::llround((start_ - begin) * kRate), 0, count);
  const int64_t last = std::clamp<int64_t>(std::llround((end_ - begin) * kRate), 0, count);
  const int64_t room = capacity_ - written_;
  const int64_t n = std::min<int64_t>(std::max<int64_t>(last - first, 0), room);
  if (n > 0) {
    std::copy_n(samples + first, n, buffer_ + written_);
    written_ += static_cast<int32_t>(n);
  }
  if (written_ >= capacity_ || next_ >= end_) {
    finish(sink);
    return GST_FLOW_EOS;
  }
  return GST_FLOW_OK;
}

void CaptureSink::finish(GstElement* sink) {
  done_ = true;
  GstStructure* body = gst_structure_new_empty(kDoneMessage);
  gst_element_post_message(sink, gst_message_new_application(GST_OBJECT(sink), body));
}

}  // namespace pradix
