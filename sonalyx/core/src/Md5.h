// Incremental MD5 digest over OpenSSL's EVP interface.
#pragma once

#include <cstddef>
#include <string>

namespace sonalyx {

// Move-only owner of one EVP_MD_CTX set up for MD5. Construction throws std::runtime_error
// when OpenSSL cannot provide the digest; update() and hexDigest() throw the same on a
// failing OpenSSL call. Not thread-safe; one digest per thread.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(Md5&& other) noexcept;
  Md5& operator=(Md5&& other) noexcept;
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  void update(const void* data, std::size_t size);
  // Finishes the digest: 32 lower-case hexadecimal characters. The object is spent after.
  std::string hexDigest();

 private:
  void* ctx_ = nullptr;  // EVP_MD_CTX*, kept opaque so only Md5.cpp includes OpenSSL
};

}  // namespace sonalyx
