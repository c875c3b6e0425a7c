// Reading one file's basic tags and length through TagLib (the only place that includes
// TagLib's general headers; Velmor reads Windows Media files on its own).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orsank {

// The values the boundary hands over: UTF-8 texts (empty when the file has none), the
// date text as the tag holds it and the length in whole seconds (0 when unknown).
struct TagValues {
  std::string title;
  std::string album;
  std::string artist;
  std::string genre;
  std::string date;
  std::int32_t seconds = 0;
};

// Tags of the regular file at `path`: ID3v2 then ID3v1 (MP3), MP4 atoms, RIFF INFO (and an
// ID3v2 chunk, which wins field by field) for WAV, Xiph comments (FLAC, Ogg Vorbis, Opus),
// and whatever else TagLib recognises. The file is opened read-only. Nothing when the path
// is not a regular file or TagLib cannot read it: it does not recognise the file, or finds
// neither a tag value nor an audio stream in it. Throws only std::bad_alloc.
std::optional<TagValues> readTags(const char* path);

}  // namespace orsank
