#include "qornstring.h"

#include "EngineLog.h"
#include "NumberText.h"
#include "zarvell/text.h"

namespace qorn {
namespace {

constexpr const char* kSource = "qorncore/datatypes/qornstring";
constexpr char kHexDigits[] = "0123456789abcdef";

bool needsPercent(unsigned char byte) {
  switch (byte) {
    case '"':
    case '%':
    case '&':
    case '/':
    case '<':
    case '>':
      return true;
    default:
      return false;
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// strtol-like reading of two characters as a hexadecimal number: digits are read until
// the first that is not one (so "4z" is 4 and "zz" is 0).
int leadingHex(char a, char b) {
  int high = hexValue(a);
  if (high < 0) return 0;
  int low = hexValue(b);
  return low < 0 ? high : high * 16 + low;
}

// ASCII keyword delimiters.
bool isAsciiDelimiter(unsigned char c) {
  static constexpr std::string_view kDelimiters = " \r\n\t!@#$%^&*()[]_+-={}|\\:\"'?/.,<>";
  return c < 0x80 && kDelimiters.find(static_cast<char>(c)) != std::string_view::npos;
}

// The non-ASCII keyword delimiters as characters (their Windows-1252 bytes 0xBF, 0x92,
// 0xA1, 0xBA, 0xD7, 0xF7, 0x91).
bool isWideDelimiter(char32_t cp) {
  switch (cp) {
    case 0x00BF:
    case 0x2019:
    case 0x00A1:
    case 0x00BA:
    case 0x00D7:
    case 0x00F7:
    case 0x2018:
      return true;
    default:
      return false;
  }
}

char32_t decodeSequence(std::string_view text, std::size_t pos, std::size_t len) {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  if (len == 2) return (char32_t(b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if (len == 3) return (char32_t(b(0) & 0x0F) << 12) | (char32_t(b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  return (char32_t(b(0) & 0x07) << 18) | (char32_t(b(1) & 0x3F) << 12) |
         (char32_t(b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

// One character of keyword text: its byte length and whether it delimits tokens. Valid
// UTF-8 sequences are one character; any other byte is read as Windows-1252.
struct Char {
  std::size_t length;
  bool delimiter;
};

Char charAt(std::string_view text, std::size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {1, isAsciiDelimiter(lead)};
  std::size_t len = zarvell::utf8SequenceLength(text, pos);
  if (len == 0) return {1, isWideDelimiter(zarvell::windows1252ToCodePoint(lead))};
  return {len, isWideDelimiter(decodeSequence(text, pos, len))};
}

bool isStopWord(const std::string& token) {
  return token.size() <= 1 || token == "at" || token == "the" || token == "in" || token == "is";
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

qornstring::qornstring(std::u16string_view text) : text_(zarvell::utf16ToUtf8(text)) {}

qornstring qornstring::escapeForFile() const {
  std::string out;
  out.reserve(text_.size() + text_.size() / 8);
  appendForFile(text_, out);
  return qornstring(std::move(out));
}

void qornstring::appendForFile(std::string_view text, std::string& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    // Copy the run of bytes that stay as they are in one piece.
    std::size_t plain = i;
    while (plain < n) {
      const unsigned char byte = static_cast<unsigned char>(text[plain]);
      if (byte >= 0x80 || byte < 0x20 || needsPercent(byte)) break;
      ++plain;
    }
    out.append(text.data() + i, plain - i);
    if (plain == n) return;
    const unsigned char byte = static_cast<unsigned char>(text[plain]);
    if (byte >= 0x80) {
      const char pair[2] = {static_cast<char>(0xC0 | (byte >> 6)),
                            static_cast<char>(0x80 | (byte & 0x3F))};
      out.append(pair, 2);
    } else if (byte < 0x20) {
      out.push_back(' ');
      QORN_LOG(Warn, kSource, "skipped ctrl char" + std::to_string(byte));
    } else {
      const char escaped[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
      out.append(escaped, 3);
    }
    i = plain + 1;
  }
}

qornstring qornstring::decodeFileText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte == '%') {
      if (i + 1 >= n || text[i + 1] == ' ') {
        out.push_back('%');
        ++i;
      } else if (i + 2 < n) {
        out.push_back(static_cast<char>(leadingHex(text[i + 1], text[i + 2]) & 0xFF));
        i += 3;
      } else {
        ++i;  // one byte follows: the "%" is dropped and that byte read normally
      }
    } else if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++i;
    } else if (i + 1 >= n) {
      ++i;  // a lead byte at the very end is dropped
    } else if (byte >= 0xF0) {
      out.push_back('?');
      i += 4;
    } else if (byte >= 0xE0) {
      out.push_back('?');
      i += 3;
    } else if (byte >= 0xC0) {
      const unsigned next = static_cast<unsigned char>(text[i + 1]);
      out.push_back(static_cast<char>(((byte << 6) | (next & 0x3F)) & 0xFF));
      i += 2;
    } else {
      ++i;  // a stray continuation byte is dropped
    }
  }
  return qornstring(std::move(out));
}

qornstring qornstring::unescapeFromFile(bool decodePercent) const {
  if (!decodePercent) return *this;
  std::string out;
  out.reserve(text_.size());
  for (std::size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == '%' && i + 2 < text_.size() && hexValue(text_[i + 1]) >= 0 &&
        hexValue(text_[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text_[i + 1]) * 16 + hexValue(text_[i + 2])));
      i += 2;
    } else {
      out.push_back(text_[i]);
    }
  }
  return qornstring(std::move(out));
}

std::vector<std::string> qornstring::tokenize(bool filterStopWords) const {
  std::vector<std::string> tokens;
  const std::string_view text(text_);
  std::size_t start = 0;  // start of the current token
  bool joined = false;    // the current token spans an apostrophe
  auto finish = [&](std::size_t end) {
    if (end > start) {
      std::string token = lowerAscii(text.substr(start, end - start));
      if (joined || !filterStopWords || !isStopWord(token)) tokens.push_back(std::move(token));
    }
    joined = false;
  };
  for (std::size_t pos = 0; pos < text.size();) {
    const Char c = charAt(text, pos);
    if (!c.delimiter) {
      pos += c.length;
      continue;
    }
    const bool apostropheJoin = text[pos] == '\'' && pos > start && pos + 1 < text.size() &&
                                !charAt(text, pos + 1).delimiter;
    if (apostropheJoin) {
      joined = true;
      pos += 1;
      continue;
    }
    finish(pos);
    pos += c.length;
    start = pos;
  }
  finish(text.size());
  return tokens;
}

int qornstring::toInt() const {
  return leadingInt(text_);
}

qornfloat qornstring::toFloat() const {
  return qornfloat::fromText(text_);
}

}  // namespace qorn
