#include "Decoder.h"

#include <new>
#include <utility>

#include "FormatInput.h"
#include "Frame.h"
#include "Packet.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace tolvane {

Decoder::~Decoder() {
  avcodec_free_context(&context_);
}

Decoder::Decoder(Decoder&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)), latencyFrames_(other.latencyFrames_) {}

Decoder& Decoder::operator=(Decoder&& other) noexcept {
  if (this != &other) {
    avcodec_free_context(&context_);
    context_ = std::exchange(other.context_, nullptr);
    latencyFrames_ = other.latencyFrames_;
  }
  return *this;
}

Decoder Decoder::open(const AVCodecParameters* parameters, const StreamTiming& timing) {
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (codec == nullptr) return {};
  Decoder decoder;
  decoder.context_ = avcodec_alloc_context3(codec);
  if (decoder.context_ == nullptr) throw std::bad_alloc();
  if (avcodec_parameters_to_context(decoder.context_, parameters) < 0) return {};
  decoder.context_->pkt_timebase = AVRational{timing.timeBaseNum, timing.timeBaseDen};
  decoder.context_->thread_count = 1;
  if (avcodec_open2(decoder.context_, codec, nullptr) < 0) return {};
  if (codec->id == AV_CODEC_ID_WMAV1 || codec->id == AV_CODEC_ID_WMAV2) {
    decoder.latencyFrames_ = 1;
  }
  return decoder;
}

SendResult Decoder::send(const Packet& packet) {
  const int rc = avcodec_send_packet(context_, packet.get());
  if (rc >= 0) return SendResult::kAccepted;
  if (rc == AVERROR(EAGAIN)) return SendResult::kFull;
  if (rc == AVERROR(ENOMEM)) throw std::bad_alloc();
  if (rc == AVERROR_INVALIDDATA) return SendResult::kInvalid;
  return SendResult::kFailed;
}

void Decoder::sendEnd() {
  avcodec_send_packet(context_, nullptr);
}

ReceiveResult Decoder::receive(Frame& frame) {
  const int rc = avcodec_receive_frame(context_, frame.get());
  if (rc >= 0) return ReceiveResult::kFrame;
  if (rc == AVERROR(EAGAIN)) return ReceiveResult::kNeedInput;
  if (rc == AVERROR_EOF) return ReceiveResult::kEnd;
  if (rc == AVERROR(ENOMEM)) throw std::bad_alloc();
  return ReceiveResult::kFailed;
}

}  // namespace tolvane
