#include "CommunityConnection.h"

namespace sonalyx {

bool CommunityConnection::open() {
  // No transport in this build: the connection stays closed.
  open_ = false;
  return open_;
}

std::int32_t CommunityConnection::download(std::span<const SongRef> songs) {
  if (songs.empty() || !open()) return ZARVELL_E_FAIL;
  return ZARVELL_E_FAIL;
}

std::int32_t CommunityConnection::upload(std::span<const SongRef> songs) {
  if (songs.empty() || !open()) return ZARVELL_E_FAIL;
  return ZARVELL_E_FAIL;
}

void CommunityConnection::close() { open_ = false; }

}  // namespace sonalyx
