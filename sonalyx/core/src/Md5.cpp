#include "Md5.h"

#include <openssl/evp.h>

#include <stdexcept>
#include <utility>

namespace sonalyx {
namespace {

EVP_MD_CTX* ctxOf(void* p) { return static_cast<EVP_MD_CTX*>(p); }

}  // namespace

Md5::Md5() {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (!ctx) throw std::runtime_error("MD5: cannot allocate digest context");
  if (EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(ctx);
    throw std::runtime_error("MD5: digest not available");
  }
  ctx_ = ctx;
}

Md5::~Md5() {
  if (ctx_) EVP_MD_CTX_free(ctxOf(ctx_));
}

Md5::Md5(Md5&& other) noexcept : ctx_(std::exchange(other.ctx_, nullptr)) {}

Md5& Md5::operator=(Md5&& other) noexcept {
  if (this != &other) {
    if (ctx_) EVP_MD_CTX_free(ctxOf(ctx_));
    ctx_ = std::exchange(other.ctx_, nullptr);
  }
  return *this;
}

void Md5::update(const void* data, std::size_t size) {
  if (!ctx_) throw std::runtime_error("MD5: digest already finished");
  if (size == 0) return;
  if (EVP_DigestUpdate(ctxOf(ctx_), data, size) != 1)
    throw std::runtime_error("MD5: update failed");
}

std::string Md5::hexDigest() {
  if (!ctx_) throw std::runtime_error("MD5: digest already finished");
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const int ok = EVP_DigestFinal_ex(ctxOf(ctx_), digest, &length);
  EVP_MD_CTX_free(ctxOf(ctx_));
  ctx_ = nullptr;
  if (ok != 1 || length != 16) throw std::runtime_error("MD5: final failed");
  std::string hex(32, '0');
  static const char kDigits[] = "0123456789abcdef";
  for (unsigned int i = 0; i < length; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace sonalyx
