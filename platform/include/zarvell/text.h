// Text encoding helpers. Zarvell's byte strings hold UTF-8; UTF-16 texts are char16_t.
// Nothing here throws; invalid input is replaced, never dropped silently into garbage.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarvell {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Bytes that are not valid UTF-8 are read as Windows-1252.
std::u16string utf8ToUtf16(std::string_view text);

// File names, losslessly. A file name is whatever bytes the file system holds, usually but
// not always UTF-8. pathToUtf16 converts valid UTF-8 sequences as utf8ToUtf16 does and each
// byte that is not part of one (always 0x80-0xFF) to the lone low surrogate U+DC80-U+DCFF;
// utf16ToPath reverses that, so utf16ToPath(pathToUtf16(bytes)) == bytes for every byte
// string. Well-formed UTF-16 converts as utf16ToUtf8 does; other unpaired surrogates become
// U+FFFD. Used wherever a path crosses a UTF-16 boundary (the decoder modules, the sample
// hash); texts meant for display keep the Windows-1252 reading above.
std::u16string pathToUtf16(std::string_view bytes);
std::string utf16ToPath(std::u16string_view text);

// True when the whole text is well-formed UTF-8 (no overlongs, no surrogates, <= U+10FFFF).
bool isValidUtf8(std::string_view text);

// Length of the valid UTF-8 sequence starting at text[pos], or 0 when none starts there.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos);

// The code point of one Windows-1252 byte (0x80-0x9F map to their typographic characters;
// the five undefined bytes map to themselves).
char32_t windows1252ToCodePoint(unsigned char byte);

// Text for display: the text itself when it is valid UTF-8, else read as Windows-1252.
std::string toDisplayUtf8(std::string_view text);

// The longest prefix of text of at most maxBytes bytes that does not end inside a UTF-8
// sequence (bytes that are not part of a valid sequence count as single characters).
std::string_view cutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// Copies text into a fixed buffer of `capacity` bytes, cut at a character boundary and
// always NUL-terminated (capacity 0 writes nothing). Returns the bytes copied.
std::size_t copyToBuffer(std::string_view text, char* buffer, std::size_t capacity);

}  // namespace zarvell
