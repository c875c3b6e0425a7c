// Orsank.so: the tag reader the engine's tag scan loads by name. One export,
// ExtractMetaData; Windows Media files are handed to Velmor.so, loaded by name per call.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "TagReader.h"
#include "TagText.h"
#include "orsank/Orsank.h"
#include "zarvell/module.h"
#include "zarvell/status.h"

namespace orsank {
namespace {

struct Outputs {
  char* title;
  char* album;
  char* artist;
  char* genre;
  std::int32_t* year;
  std::int32_t* duration;

  // Every text empty, both numbers 0: what the caller sees of a file that gives nothing.
  void clear() const noexcept {
    for (char* buffer : {title, album, artist, genre}) {
      if (buffer) buffer[0] = '\0';
    }
    if (year) *year = 0;
    if (duration) *duration = 0;
  }

  bool complete() const noexcept { return title && album && artist && genre && year && duration; }
};

bool isWindowsMedia(std::string_view path) {
  if (path.size() < 4) return false;
  const std::string_view ext = path.substr(path.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'w' && (ext[2] | 0x20) == 'm' &&
         (ext[3] | 0x20) == 'a';
}

// Velmor reads Windows Media files; without it they give nothing (E_FAIL).
std::int32_t readThroughVelmor(const char* path, const Outputs& out) {
  const zarvell::Module velmor = zarvell::Module::load("Velmor");
  const auto extract = velmor.entry<ExtractMetaDataWMFFn>("ExtractMetaDataWMF");
  if (!extract) return ZARVELL_E_FAIL;
  const std::int32_t status =
      extract(path, out.title, out.album, out.artist, out.genre, out.year, out.duration);
  if (status < 0) out.clear();
  return status;
}

std::int32_t readThroughTagLib(const char* path, const Outputs& out) {
  const std::optional<TagValues> values = readTags(path);
  if (!values) return ZARVELL_E_FAIL;
  writeText(values->title, out.title);
  writeText(values->album, out.album);
  writeText(values->artist, out.artist);
  writeText(values->genre, out.genre);
  *out.year = leadingNumber(values->date);
  *out.duration = values->seconds > 0 ? values->seconds : 0;
  return ZARVELL_S_OK;
}

}  // namespace
}  // namespace orsank

// Fills the four caller-owned buffers (kOrsankTextBufferSize bytes each) and the two
// integers with the file's title, album, artist, genre, year (the leading digits of its
// date, 0 when none) and length in whole seconds. Everything is emptied first, so a file
// that gives nothing leaves empty texts and zeros. Returns 0 on success, E_INVALIDARG for
// a null argument, E_FAIL when the file cannot be read (or, for ".wma", Velmor.so is
// missing), or Velmor's own failure status. Never throws.
extern "C" ZARVELL_EXPORT int32_t ExtractMetaData(const char* path, char* title, char* album,
                                                  char* artist, char* genre, int32_t* year,
                                                  int32_t* duration) noexcept {
  const orsank::Outputs out{title, album, artist, genre, year, duration};
  out.clear();
  if (!path || !out.complete()) return ZARVELL_E_INVALIDARG;
  try {
    if (orsank::isWindowsMedia(path)) return orsank::readThroughVelmor(path, out);
    const std::int32_t status = orsank::readThroughTagLib(path, out);
    if (status < 0) out.clear();
    return status;
  } catch (...) {
    out.clear();
    return ZARVELL_E_FAIL;
  }
}

// The export keeps the boundary's type.
[[maybe_unused]] static constexpr ExtractMetaDataFn kExtractMetaDataType = &ExtractMetaData;
