#include "TagText.h"

#include <limits>

#include "orsank/Orsank.h"
#include "zarvell/text.h"

namespace orsank {

void writeText(std::string_view text, char* buffer) noexcept {
  // copyToBuffer keeps one byte of its capacity for the terminator.
  zarvell::copyToBuffer(text, buffer, kOrsankTextMaxBytes + 1);
}

std::int32_t leadingNumber(std::string_view text) noexcept {
  std::size_t pos = 0;
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > kLimit + 1) value = kLimit + 1;  // stays saturated; no overflow
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value > kLimit ? kLimit : value);
}

}  // namespace orsank
