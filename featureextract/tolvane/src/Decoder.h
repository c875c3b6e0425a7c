// Move-only owner of one opened audio decoder (AVCodecContext).
#pragma once

struct AVCodecContext;
struct AVCodecParameters;

namespace tolvane {

class Packet;
class Frame;
struct StreamTiming;

enum class SendResult { kAccepted, kFull, kInvalid, kFailed };
enum class ReceiveResult { kFrame, kNeedInput, kEnd, kFailed };

class Decoder {
 public:
  Decoder() = default;
  ~Decoder();
  Decoder(Decoder&& other) noexcept;
  Decoder& operator=(Decoder&& other) noexcept;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Opens a single-threaded decoder for the stream described by `parameters`, with frame
  // timestamps in the stream's time base. Returns an empty decoder when no decoder exists for
  // the codec or it refuses the parameters. Throws only std::bad_alloc.
  static Decoder open(const AVCodecParameters* parameters, const StreamTiming& timing);

  explicit operator bool() const { return context_ != nullptr; }

  // How many frames late the decoder labels its output: some decoders (WMA) stamp each frame
  // with the timestamp of the packet that completed it, one frame after the audio it holds.
  int latencyFrames() const { return latencyFrames_; }

  // Hands one packet to the decoder. kFull: frames must be received first, then the same
  // packet sent again. kInvalid: the packet is damaged and was dropped.
  SendResult send(const Packet& packet);
  // Tells the decoder that no more packets follow, so that it releases what it holds back.
  void sendEnd();
  ReceiveResult receive(Frame& frame);

 private:
  AVCodecContext* context_ = nullptr;
  int latencyFrames_ = 0;
};

}  // namespace tolvane
