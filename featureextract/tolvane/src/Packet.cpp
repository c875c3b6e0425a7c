#include "Packet.h"

#include <new>
#include <utility>

extern "C" {
#include <libavcodec/packet.h>
}

namespace tolvane {

Packet::Packet() : packet_(av_packet_alloc()) {
  if (packet_ == nullptr) throw std::bad_alloc();
}

Packet::~Packet() {
  av_packet_free(&packet_);
}

Packet::Packet(Packet&& other) noexcept : packet_(std::exchange(other.packet_, nullptr)) {}

Packet& Packet::operator=(Packet&& other) noexcept {
  if (this != &other) {
    av_packet_free(&packet_);
    packet_ = std::exchange(other.packet_, nullptr);
  }
  return *this;
}

int Packet::streamIndex() const {
  return packet_->stream_index;
}

void Packet::unref() {
  av_packet_unref(packet_);
}

}  // namespace tolvane
