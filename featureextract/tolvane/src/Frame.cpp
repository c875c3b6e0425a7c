#include "Frame.h"

#include <new>
#include <utility>

extern "C" {
#include <libavutil/frame.h>
}

namespace tolvane {

Frame::Frame() : frame_(av_frame_alloc()) {
  if (frame_ == nullptr) throw std::bad_alloc();
}

Frame::~Frame() {
  av_frame_free(&frame_);
}

Frame::Frame(Frame&& other) noexcept : frame_(std::exchange(other.frame_, nullptr)) {}

Frame& Frame::operator=(Frame&& other) noexcept {
  if (this != &other) {
    av_frame_free(&frame_);
    frame_ = std::exchange(other.frame_, nullptr);
  }
  return *this;
}

int Frame::sampleCount() const {
  return frame_->nb_samples;
}

int Frame::sampleRate() const {
  return frame_->sample_rate;
}

std::optional<int64_t> Frame::timestamp() const {
  if (frame_->best_effort_timestamp != AV_NOPTS_VALUE) return frame_->best_effort_timestamp;
  if (frame_->pts != AV_NOPTS_VALUE) return frame_->pts;
  return std::nullopt;
}

}  // namespace tolvane
