// Move-only owner of one AVPacket (a compressed chunk read from the input).
#pragma once

struct AVPacket;

namespace tolvane {

class Packet {
 public:
  // Allocates the packet; throws std::bad_alloc when FFmpeg cannot.
  Packet();
  ~Packet();
  Packet(Packet&& other) noexcept;
  Packet& operator=(Packet&& other) noexcept;
  Packet(const Packet&) = delete;
  Packet& operator=(const Packet&) = delete;

  int streamIndex() const;
  // Drops the payload so that the packet can be read into again.
  void unref();
  AVPacket* get() const { return packet_; }

 private:
  AVPacket* packet_ = nullptr;
};

}  // namespace tolvane
