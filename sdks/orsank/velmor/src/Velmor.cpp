// Velmor.so: basic tags of Windows Media files, for the tag reader Orsank. One export,
// ExtractMetaDataWMF.
#include <cstdint>
#include <optional>
#include <string>

#include "AsfReader.h"
#include "Duration.h"
#include "TagText.h"
#include "orsank/Orsank.h"
#include "zarvell/status.h"

namespace velmor {
namespace {

// Writes the attribute's text into the buffer; a missing attribute leaves it unchanged.
bool readInto(const AsfReader& reader, const char* name, char* buffer) {
  const std::optional<std::string> text = reader.text(name);
  if (!text) return false;
  orsank::writeText(*text, buffer);
  return true;
}

// The attributes in their fixed order. "WM/Year" is read through the genre buffer, which
// is then emptied, so a file without "WM/Genre" leaves an empty genre.
void readAttributes(const AsfReader& reader, char* title, char* album, char* author, char* genre,
                    std::int32_t* year, std::int32_t* duration) {
  if (readInto(reader, "WM/Year", genre)) *year = orsank::leadingNumber(genre);
  genre[0] = '\0';
  readInto(reader, "Title", title);
  readInto(reader, "Author", author);
  readInto(reader, "WM/AlbumTitle", album);
  readInto(reader, "WM/Genre", genre);
  *duration = 0;
  if (const std::optional<std::uint64_t> units = reader.duration100ns()) {
    *duration = secondsFrom100ns(*units);
  }
}

}  // namespace
}  // namespace velmor

// Reads "Title", "Author", "WM/AlbumTitle", "WM/Genre", "WM/Year" and "Duration" of the
// ASF file at `path` (UTF-8) into the caller's four buffers (kOrsankTextBufferSize bytes
// each, UTF-8 cut at a character boundary) and two integers. A missing attribute leaves
// its buffer or integer as it was, except genre (emptied) and duration (0). Returns 0, or
// E_INVALIDARG for a null argument, or E_FAIL (the four texts emptied) when the file is
// not a readable ASF file. Never throws.
extern "C" ZARVELL_EXPORT int32_t ExtractMetaDataWMF(const char* path, char* title, char* album,
                                                     char* author, char* genre, int32_t* year,
                                                     int32_t* duration) noexcept {
  if (!path || !title || !album || !author || !genre || !year || !duration) {
    return ZARVELL_E_INVALIDARG;
  }
  try {
    if (const std::optional<velmor::AsfReader> reader = velmor::AsfReader::open(path)) {
      velmor::readAttributes(*reader, title, album, author, genre, year, duration);
      return ZARVELL_S_OK;
    }
  } catch (...) {
  }
  for (char* buffer : {title, album, author, genre}) buffer[0] = '\0';
  return ZARVELL_E_FAIL;
}

// The export keeps the boundary's type.
[[maybe_unused]] static constexpr ExtractMetaDataWMFFn kExtractMetaDataWMFType =
    &ExtractMetaDataWMF;
