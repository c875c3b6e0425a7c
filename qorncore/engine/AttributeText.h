// Attribute texts of the network file as expat hands them over (NUL-terminated), read
// without measuring them first.
//
// A saved network holds millions of plain numbers ("15061", "-1", "0.62101"): those are
// read here in one pass over their characters. Anything else (white space, a '+', an
// exponent, more digits than the fast path takes, no digit at all) goes to the readers of
// NumberText.h, so every text gives exactly the number those give. Stateless; nothing here
// throws.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "qorncore/datatypes/NumberText.h"

namespace qorn::attributetext {

inline bool isDigit(char c) {
  return static_cast<unsigned char>(c - '0') <= 9;
}

// True when the NUL-terminated `text` is exactly `literal`. Reads `text` no further than
// its first difference from `literal`, so never beyond its own end.
template <std::size_t N, std::size_t... I>
inline bool isEach(const char* text, const char (&literal)[N], std::index_sequence<I...>) {
  return ((text[I] == literal[I]) && ...);  // stops at the first difference
}
template <std::size_t N>
inline bool is(const char* text, const char (&literal)[N]) {
  return isEach(text, literal, std::make_index_sequence<N>());
}

// The digits of a plain integer ("-"? digit+, at most 18 digits) at `text`, with its
// sign; false (nothing read) for any other start, or more digits.
inline bool plainInteger(const char* text, int64_t& value) {
  const bool negative = *text == '-';
  const char* p = negative ? text + 1 : text;
  if (!isDigit(*p)) return false;
  int64_t n = 0;
  for (int digits = 0; isDigit(*p); ++p) {
    if (++digits > 18) return false;
    n = n * 10 + (*p - '0');
  }
  value = negative ? -n : n;
  return true;  // whatever follows the digits ends the number, as for strtol
}

// leadingInt(text): the leading integer clamped to the range of int, 0 when there is none.
inline int32_t leadingInt(const char* text) {
  int64_t n = 0;
  if (!plainInteger(text, n)) return qorn::leadingInt(text);
  return static_cast<int32_t>(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// leadingDouble(text). A plain decimal ("-"? digits ["." digits], at most 15 digits in all,
// not followed by an exponent) is its digits as an integer divided by a power of ten: both
// are exact doubles, so the one rounding of the division gives the correctly rounded value,
// which is what the general reader gives too.
inline double leadingDouble(const char* text) {
  static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = *text == '-';
  const char* p = negative ? text + 1 : text;
  uint64_t digitsValue = 0;
  int digits = 0;
  int decimals = 0;
  for (; isDigit(*p); ++p, ++digits) digitsValue = digitsValue * 10 + static_cast<unsigned>(*p - '0');
  if (*p == '.')
    for (++p; isDigit(*p); ++p, ++digits, ++decimals)
      digitsValue = digitsValue * 10 + static_cast<unsigned>(*p - '0');
  if (digits == 0 || digits > 15 || *p == 'e' || *p == 'E') return qorn::leadingDouble(text);
  const double value = static_cast<double>(digitsValue) / kTens[decimals];
  return negative ? -value : value;
}

}  // namespace qorn::attributetext
