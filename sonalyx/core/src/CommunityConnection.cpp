#include "CommunityConnection.h"

#include "CommunityReply.h"
#include "QrPacket.h"

namespace sonalyx {

bool CommunityConnection::open() {
  if (client_) return true;
  HttpClient client;
  if (!client.ok()) return false;
  host_ = zarvell::communityHost();
  client_.emplace(std::move(client));
  return true;
}

std::int32_t CommunityConnection::post(const char* path, const std::u16string& packet) {
  reply_.clear();
  parts_.clear();
  parts_.push_back(FormPart{"uploaded", packet});

  HttpPost request;
  request.host = host_.host;
  request.port = host_.port;
  request.path = path;
  request.agent = kCommunityAgent;
  request.body = multipartBody(parts_);
  request.headers = {
      "Accept: */*",
      std::string("Content-Type: multipart/form-data; boundary=") + kMultipartBoundary,
      "Content-Length: " + std::to_string(request.body.size()),
      "Pragma: no-cache",
      "Cache-Control: no-cache",
      "Connection: Keep-Alive",
      "Expect:",  // the body goes in one write, never after a 100-continue round trip
  };
  HttpReply reply = client_->post(request, limits_);
  if (reply.status == 0) reply_ = std::move(reply.body);
  return reply.status;
}

std::int32_t CommunityConnection::download(std::span<const SongRef> songs) {
  lastReplyOutcome_ = 0;
  if (songs.empty() || !open()) return ZARVELL_E_FAIL;
  QrPacket packet;
  for (const SongRef& song : songs) packet.addDownloadEntry(*song.item, *song.result);
  packet.finish();
  const std::int32_t status = post(kDownloadPath, packet.text());
  if (status != 0) return status;
  lastReplyOutcome_ = applyDownloadReply(reply_, songs);
  return 0;
}

std::int32_t CommunityConnection::upload(std::span<const SongRef> songs) {
  if (songs.empty() || !open()) return ZARVELL_E_FAIL;
  QrPacket packet;
  for (const SongRef& song : songs) packet.addUploadEntry(*song.item, *song.result);
  packet.finish();
  return post(kUploadPath, packet.text());
}

void CommunityConnection::close() {
  parts_.clear();
  reply_.clear();
  client_.reset();
}

}  // namespace sonalyx
