// The exchange of features with the community server.
#pragma once

#include <cstdint>
#include <span>

#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// One song of a community request: its library entry and its result record.
struct SongRef {
  FESyncItem* item;
  FeatureResult* result;
};

// Connection to the community server, owned by an analysis context and kept from the first
// exchange until close(). Used only on the thread that called GetFeatures. Never throws.
//
// This build carries no community transport yet: no connection can be opened, so every
// request answers E_FAIL, exactly as a request made without an open connection, and the
// pipeline falls back to local analysis and skips the uploads.
class CommunityConnection {
 public:
  CommunityConnection() = default;
  ~CommunityConnection() { close(); }
  CommunityConnection(const CommunityConnection&) = delete;
  CommunityConnection& operator=(const CommunityConnection&) = delete;

  // Asks for the features of the songs; the server's answers go into their results (all 72
  // values and hasFeatures 1 per known song). 0 on success, E_FAIL without a connection,
  // else the transfer's error status.
  std::int32_t download(std::span<const SongRef> songs);
  // Sends the songs' metadata and features. Same statuses as download().
  std::int32_t upload(std::span<const SongRef> songs);
  // Releases the connection; harmless when none is open.
  void close();
  bool isOpen() const { return open_; }

 private:
  // Opens the connection when it is not open yet. False when it cannot be opened.
  bool open();

  bool open_ = false;
};

}  // namespace sonalyx
