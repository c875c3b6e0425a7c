// The sample hash: a song's identity key, an MD5 over a slice of its file.
//
// The key is shared with stored feature files and with the community server, so the slice
// rules are a file format: they are reproduced exactly, irregular corners included (ID3v2
// size read as plain big-endian, the last short chunk fed with stale buffer bytes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sonalyx {

// File kind, compared without regard to ASCII case: Xiph when the path ends in ".flac",
// ".ogg", ".oga" or ".opus", otherwise from the last three characters of the path ("mp3",
// "m4a", "wav", "wma" or "m4p"). Xiph files are hashed with the AAC rule.
enum class SampleKind { None, Mp3, Aac, Wav, Wma, Xiph };

SampleKind sampleKindOf(std::u16string_view path);

// Where the hash slice lies, before the clamping done while hashing.
struct SliceRequest {
  std::int64_t offset = -100000;  // negative: counted from the end of the file
  std::int64_t length = 20000;
};

// The requested slice of a file of `kind` and `size` bytes (MP3 reads the file's first ten
// bytes). Never throws.
SliceRequest sliceFor(SampleKind kind, const std::string& utf8Path, std::int64_t size);

// MD5 of the slice as 32 lower-case hex characters, applying the clamping and chunk rules.
// Writes "The argument nBytes exceeds the file size" to standard output when the file ends
// before `length` bytes were fed. Empty text when the file cannot be opened or reading
// throws. Never throws.
std::string hashSlice(const std::string& utf8Path, std::int64_t size, SliceRequest slice);

// The sample hash of the song at `path` (UTF-16, converted back to the file system's bytes
// by zarvell::utf16ToPath), or empty text when the path is null or empty, its kind has no
// hash, the file cannot be opened or it is empty (size 0). Never throws.
std::string sampleHash(const char16_t* path);

}  // namespace sonalyx
