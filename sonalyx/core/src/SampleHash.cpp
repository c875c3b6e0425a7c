#include "SampleHash.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <memory>

#include "Md5.h"
#include "zarvell/text.h"

namespace sonalyx {
namespace {

constexpr std::int64_t kChunk = 1024;
constexpr std::int64_t kDefaultLength = 20000;
constexpr std::int64_t kId3v1Size = 128;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

// Opens a regular file for binary reading; null otherwise (a folder named "x.mp3" is not a
// song and must not get a hash of nothing).
File openRegular(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return File();
  return File(std::fopen(path.c_str(), "rb"));
}

std::int64_t fileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_size);
}

SliceRequest mp3Slice(const std::string& path, std::int64_t size) {
  SliceRequest slice;
  File file = openRegular(path);
  if (file) {
    unsigned char header[10] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, file.get());
    if (got == sizeof header && header[0] == 'I' && header[1] == 'D' && header[2] == '3') {
      // All eight bits of every size byte count (not the syncsafe decoding): existing keys
      // were made this way.
      const std::int64_t tag = ((std::int64_t{header[6]} << 24) | (std::int64_t{header[7]} << 16) |
                                (std::int64_t{header[8]} << 8) | std::int64_t{header[9]}) +
                               10;
      slice.offset = tag;
      slice.length = size - tag - kId3v1Size;
    } else {
      slice.length = size - kId3v1Size;
    }
  }
  if (slice.length > kDefaultLength || slice.length <= 0) slice.length = kDefaultLength;
  return slice;
}

// True when `path` ends in `suffix` (lower-case ASCII), compared without regard to case.
bool endsWithNoCase(std::u16string_view path, std::u16string_view suffix) {
  if (path.size() < suffix.size()) return false;
  const std::u16string_view tail = path.substr(path.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (lowerAscii(tail[i]) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

SampleKind sampleKindOf(std::u16string_view path) {
  for (std::u16string_view xiph : {u".flac", u".ogg", u".oga", u".opus"}) {
    if (endsWithNoCase(path, xiph)) return SampleKind::Xiph;
  }
  if (path.size() < 3) return SampleKind::None;
  std::u16string ext;
  for (char16_t c : path.substr(path.size() - 3)) ext.push_back(lowerAscii(c));
  if (ext == u"mp3") return SampleKind::Mp3;
  if (ext == u"m4a") return SampleKind::Aac;
  if (ext == u"wav") return SampleKind::Wav;
  if (ext == u"wma" || ext == u"m4p") return SampleKind::Wma;
  return SampleKind::None;
}

SliceRequest sliceFor(SampleKind kind, const std::string& utf8Path, std::int64_t size) {
  switch (kind) {
    case SampleKind::Mp3:
      return mp3Slice(utf8Path, size);
    case SampleKind::Wav:
      return SliceRequest{size / 2, kDefaultLength};
    case SampleKind::Aac:
    case SampleKind::Xiph:
    case SampleKind::Wma:
    case SampleKind::None:
      break;
  }
  return SliceRequest{};
}

std::string hashSlice(const std::string& utf8Path, std::int64_t size, SliceRequest slice) {
  try {
    File file = openRegular(utf8Path);
    if (!file) return std::string();
    std::int64_t offset = slice.offset;
    std::int64_t length = slice.length;
    if (offset > size)
      offset = 0;
    else if (offset < 0)
      offset += size;
    if (length <= 0 || length > size) {
      length = size;
      offset = 0;
    } else if (offset < 0) {
      offset = 0;
    }
    if (::fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return std::string();

    Md5 md5;
    // Zeroed once: a short read feeds what the buffer held before, as existing keys require.
    std::array<unsigned char, kChunk> buffer{};
    std::int64_t read = 0;
    for (;;) {
      if (std::feof(file.get()) || std::ferror(file.get())) {
        if (read < length) {
          std::fputs("The argument nBytes exceeds the file size\n", stdout);
          std::fflush(stdout);
        }
        break;
      }
      if (read >= length) break;
      std::int64_t chunk = kChunk;
      if (read + kChunk > size)
        chunk = size - read;
      else if (read + kChunk > length)
        chunk = length - read;
      if (chunk <= 0) break;  // only reachable when the file shrank under us
      std::fread(buffer.data(), 1, static_cast<std::size_t>(chunk), file.get());
      md5.update(buffer.data(), static_cast<std::size_t>(chunk));
      read += chunk;
    }
    return md5.hexDigest();
  } catch (...) {
    return std::string();
  }
}

std::string sampleHash(const char16_t* path) {
  try {
    if (!path || !*path) return std::string();
    const std::u16string_view view(path);
    const SampleKind kind = sampleKindOf(view);
    if (kind == SampleKind::None) return std::string();
    const std::string file = zarvell::utf16ToPath(view);
    const std::int64_t size = fileSize(file);
    // An empty file has nothing to tell it from another: the digest of no bytes would give
    // every empty file one shared identity.
    if (size <= 0) return std::string();
    return hashSlice(file, size, sliceFor(kind, file, size));
  } catch (...) {
    return std::string();
  }
}

}  // namespace sonalyx
