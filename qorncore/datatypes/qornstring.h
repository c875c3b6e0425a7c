// qornstring: the engine's byte string (UTF-8 on this platform) with the network file's
// escaping and the keyword tokenizer. Operations never throw.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "qornfloat.h"

namespace qorn {

class qornstring {
 public:
  qornstring() = default;
  qornstring(const char* text) : text_(text ? text : "") {}  // NOLINT: null gives ""
  qornstring(std::string text) : text_(std::move(text)) {}   // NOLINT
  qornstring(std::string_view text) : text_(text) {}         // NOLINT
  explicit qornstring(int number) : text_(std::to_string(number)) {}
  // UTF-16 text, converted to UTF-8.
  explicit qornstring(std::u16string_view text);

  const std::string& str() const { return text_; }
  std::string& str() { return text_; }
  const char* c_str() const { return text_.c_str(); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }

  friend bool operator==(const qornstring& a, const qornstring& b) = default;
  friend auto operator<=>(const qornstring& a, const qornstring& b) = default;
  qornstring& operator+=(std::string_view more) {
    text_ += more;
    return *this;
  }

  // The text as written into the network file: bytes 0x80-0xFF become their two-byte
  // UTF-8 form (read as Latin-1), control bytes become a space (logged at WARN as
  // "skipped ctrl char<n>"), and " % & / < > become "%" plus two lower-case hex digits.
  qornstring escapeForFile() const;
  // The same, appended to `out` (the network writer's form: no temporary text).
  static void appendForFile(std::string_view text, std::string& out);

  // The network file reader's decoder: undoes escapeForFile for every byte it can produce
  // (characters that need three or more UTF-8 bytes read as "?").
  static qornstring decodeFileText(std::string_view text);

  // Decodes a library location: with decodePercent, "%" and two hexadecimal digits become
  // that byte; every other byte, UTF-8 sequences included, is kept as it is.
  qornstring unescapeFromFile(bool decodePercent) const;

  // The keyword tokens of the text: split at the keyword delimiters, lower-cased (ASCII
  // only), empty tokens dropped and, with filterStopWords, stop words dropped. An
  // apostrophe with a token directly on both sides joins them into one token.
  std::vector<std::string> tokenize(bool filterStopWords) const;

  // The leading number of the text, read as in the C locale whatever the process locale
  // (toInt clamped to the range of int); 0 when there is none.
  int toInt() const;
  qornfloat toFloat() const;

 private:
  std::string text_;
};

}  // namespace qorn
