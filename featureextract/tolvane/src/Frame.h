// Move-only owner of one AVFrame (a block of decoded samples).
#pragma once

#include <cstdint>
#include <optional>

struct AVFrame;

namespace tolvane {

class Frame {
 public:
  // Allocates the frame; throws std::bad_alloc when FFmpeg cannot.
  Frame();
  ~Frame();
  Frame(Frame&& other) noexcept;
  Frame& operator=(Frame&& other) noexcept;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  int sampleCount() const;
  int sampleRate() const;
  // Presentation time of the first sample in the stream's time base, when known.
  std::optional<int64_t> timestamp() const;
  AVFrame* get() const { return frame_; }

 private:
  AVFrame* frame_ = nullptr;
};

}  // namespace tolvane
