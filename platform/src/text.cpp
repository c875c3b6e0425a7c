#include "zarvell/text.h"

#include <array>
#include <cstring>

namespace zarvell {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 0x80-0x9F; the five undefined positions map to themselves.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes the valid sequence of `len` bytes at text[pos] (len from utf8SequenceLength).
char32_t decodeAt(std::string_view text, std::size_t pos, std::size_t len) {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  switch (len) {
    case 1: return b(0);
    case 2: return (char32_t(b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return (char32_t(b(0) & 0x0F) << 12) | (char32_t(b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
      return (char32_t(b(0) & 0x07) << 18) | (char32_t(b(1) & 0x3F) << 12) |
             (char32_t(b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = at(0);
  std::size_t len;
  char32_t min;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) { len = 2; min = 0x80; }
  else if (lead >= 0xE0 && lead <= 0xEF) { len = 3; min = 0x800; }
  else if (lead >= 0xF0 && lead <= 0xF4) { len = 4; min = 0x10000; }
  else return 0;
  if (pos + len > text.size()) return 0;
  for (std::size_t i = 1; i < len; ++i)
    if ((at(i) & 0xC0) != 0x80) return 0;
  const char32_t cp = decodeAt(text, pos, len);
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t len = utf8SequenceLength(text, pos);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

char32_t windows1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kCp1252High[byte - 0x80];
  return byte;
}

namespace {

// Walks UTF-8 text, appending each valid sequence's code point as UTF-16; a byte that
// starts no valid sequence is handed to `invalid`, which appends what stands for it.
template <typename Invalid>
std::u16string utf8Walk(std::string_view text, Invalid invalid) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t len = utf8SequenceLength(text, pos);
    if (len == 0) {
      invalid(out, static_cast<unsigned char>(text[pos]));
      ++pos;
    } else {
      appendUtf16(out, decodeAt(text, pos, len));
      pos += len;
    }
  }
  return out;
}

// Walks UTF-16 text, appending each code point (surrogate pairs joined) as UTF-8; a lone
// surrogate is handed to `lone`, which appends what stands for it.
template <typename Lone>
std::string utf16Walk(std::u16string_view text, Lone lone) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      lone(out, unit);
      continue;
    }
    appendUtf8(out, unit);
  }
  return out;
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view text) {
  return utf16Walk(text, [](std::string& out, char32_t) { appendUtf8(out, kReplacement); });
}

std::u16string utf8ToUtf16(std::string_view text) {
  return utf8Walk(text, [](std::u16string& out, unsigned char byte) {
    appendUtf16(out, windows1252ToCodePoint(byte));
  });
}

std::u16string pathToUtf16(std::string_view bytes) {
  return utf8Walk(bytes, [](std::u16string& out, unsigned char byte) {
    out.push_back(static_cast<char16_t>(0xDC00 + byte));  // kept for the way back
  });
}

std::string utf16ToPath(std::u16string_view text) {
  return utf16Walk(text, [](std::string& out, char32_t unit) {
    if (unit >= 0xDC80 && unit <= 0xDCFF)
      out.push_back(static_cast<char>(unit - 0xDC00));  // a byte that was not UTF-8
    else
      appendUtf8(out, kReplacement);
  });
}

std::string toDisplayUtf8(std::string_view text) {
  if (isValidUtf8(text)) return std::string(text);
  std::string out;
  for (unsigned char byte : text) appendUtf8(out, windows1252ToCodePoint(byte));
  return out;
}

std::string_view cutAtCharBoundary(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t len = utf8SequenceLength(text, pos);
    if (len == 0) len = 1;
    if (pos + len > maxBytes) break;
    pos += len;
    end = pos;
  }
  return text.substr(0, end);
}

std::size_t copyToBuffer(std::string_view text, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  std::string_view cut = cutAtCharBoundary(text, capacity - 1);
  std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
  return cut.size();
}

}  // namespace zarvell
