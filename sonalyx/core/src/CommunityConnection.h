// The exchange of features with the community server.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zarvell/deployment.h"
#include "HttpClient.h"
#include "Multipart.h"
#include "sonalyx/Sonalyx.h"

namespace sonalyx {

// One song of a community request: its library entry and its result record.
struct SongRef {
  FESyncItem* item;
  FeatureResult* result;
};

// Path of the upload and the download request on the community server.
inline constexpr const char* kUploadPath = "community/FeatureUpload";
inline constexpr const char* kDownloadPath = "community/FeatureDownload";
// User-Agent of every community request.
inline constexpr const char* kCommunityAgent = "Sonalyx";

// Connection to the community server, owned by an analysis context and kept from the first
// exchange until close(). Each exchange posts one packet as a multipart form over HTTP/1.0
// and reads the whole reply (bounded in size and time). Used only on the thread that
// called GetFeatures. Never throws beyond std::bad_alloc.
//
// Statuses: 0 when the request went through, E_FAIL when no connection could be opened
// (or no song was given), otherwise the transfer's WinINet-style error (HttpClient). The
// outcome of reading a download reply is not part of the status (see lastReplyOutcome).
class CommunityConnection {
 public:
  CommunityConnection() = default;
  ~CommunityConnection() { close(); }
  CommunityConnection(const CommunityConnection&) = delete;
  CommunityConnection& operator=(const CommunityConnection&) = delete;

  // Asks for the features of the songs (download entries; sets their sent flags); the
  // server's answers go into their results.
  std::int32_t download(std::span<const SongRef> songs);
  // Sends the songs' metadata and features (upload entries; sets their sent flags). The
  // reply is read and discarded.
  std::int32_t upload(std::span<const SongRef> songs);
  // Releases the connection and the last reply; harmless when none is open.
  void close();
  bool isOpen() const { return client_.has_value(); }

  // Time-outs and reply limit of later requests (tests shorten them).
  void setLimits(const HttpLimits& limits) { limits_ = limits; }
  // What applyDownloadReply answered for the last download (0 also when none was read).
  std::int32_t lastReplyOutcome() const { return lastReplyOutcome_; }

 private:
  // Opens the connection when it is not open yet. False when it cannot be opened.
  bool open();
  // Posts the packet text to the path; the reply body is kept in reply_.
  std::int32_t post(const char* path, const std::u16string& packet);

  std::optional<HttpClient> client_;
  zarvell::ServiceHost host_;
  HttpLimits limits_;
  std::vector<FormPart> parts_;  // form of the next (or last) request
  std::string reply_;            // body of the last reply, until the next exchange or close
  std::int32_t lastReplyOutcome_ = 0;
};

}  // namespace sonalyx
