#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace qorn {
namespace {

// printf "%g" of a float whose text is plain digits (1e-4 <= |value| < 1e6 after rounding
// to six significant digits), or null for every other value. The float's exact value
// times a power of ten up to 10^9 is exact in a double (24 + 21 bits), so rounding it to
// six digits with ties to even is exactly what printf does. A million link strengths make
// this worth having: the library's general conversion costs several times as much.
char* formatPlainFloat(char* text, float value) {
  static constexpr double kPowers[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2,
                                       1e3,  1e4,  1e5,  1e6,  1e7, 1e8, 1e9};
  const double exact = std::fabs(static_cast<double>(value));
  if (!(exact >= 1e-4 && exact < 1e6)) return nullptr;  // zero, NaN and the rest too
  int exponent = -4;                                    // 10^exponent <= exact < 10^(exponent + 1)
  while (exact >= kPowers[exponent + 5]) ++exponent;
  double digits = std::nearbyint(exact * kPowers[9 - exponent]);  // 6 digits, ties even
  if (digits >= 1e6) {  // rounded up to the next power of ten
    digits /= 10;
    if (++exponent >= 6) return nullptr;
  }
  char six[6];
  auto n = static_cast<uint32_t>(digits);
  for (int i = 5; i >= 0; --i, n /= 10) six[i] = static_cast<char>('0' + n % 10);
  char* p = text;
  if (value < 0) *p++ = '-';
  int used = 0;  // digits of `six` written
  if (exponent >= 0) {
    std::memcpy(p, six, static_cast<std::size_t>(exponent) + 1);
    p += exponent + 1;
    used = exponent + 1;
  } else {
    *p++ = '0';
  }
  int last = 5;  // the fraction ends at the last non-zero digit
  while (last >= used && six[last] == '0') --last;
  if (last >= used || exponent < 0) {
    *p++ = '.';
    for (int z = exponent; z < -1; ++z) *p++ = '0';
    for (int i = used; i <= last; ++i) *p++ = six[i];
  }
  return p;
}

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The text after leading white space and one '+' sign, which the C conversions take and
// from_chars does not.
std::string_view afterBlanksAndPlus(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  text.remove_prefix(i);
  if (!text.empty() && text[0] == '+' && (text.size() < 2 || text[1] != '-')) {
    text.remove_prefix(1);
  }
  return text;
}

// For a number that from_chars found out of range: whether its magnitude is below one
// (an underflow) rather than above (an overflow), from the position of its first non-zero
// digit and its exponent.
bool belowOne(std::string_view number) {
  std::size_t i = number.empty() || number[0] != '-' ? 0 : 1;
  long long scale = 0;  // decimal exponent of the first non-zero digit, before the exponent
  bool seenPoint = false;
  bool seenDigit = false;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.') {
      seenPoint = true;
    } else if (c >= '0' && c <= '9') {
      if (!seenDigit && c != '0') {
        seenDigit = true;
        if (seenPoint) --scale;  // each fraction zero before it, and the digit itself
      } else if (!seenDigit && seenPoint) {
        --scale;
      } else if (seenDigit && !seenPoint) {
        ++scale;
      }
    } else {
      break;
    }
  }
  long long exponent = 0;
  if (i + 1 < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    std::size_t j = i + 1;
    const bool negative = number[j] == '-';
    if (number[j] == '-' || number[j] == '+') ++j;
    for (; j < number.size() && number[j] >= '0' && number[j] <= '9'; ++j)
      exponent = std::min(exponent * 10 + (number[j] - '0'), 1'000'000'000LL);
    if (negative) exponent = -exponent;
  }
  return scale + exponent < 0;
}

// Stores the length of the number read, when the caller asked for it.
void tell(std::size_t* used, const char* begin, const char* end) {
  if (used) *used = static_cast<std::size_t>(end - begin);
}

template <typename T>
std::optional<T> readReal(std::string_view text, std::size_t* used) {
  T value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  tell(used, text.data(), ec == std::errc::invalid_argument ? text.data() : end);
  if (ec == std::errc()) return value;
  if (ec != std::errc::result_out_of_range) return std::nullopt;
  const std::string_view number(text.data(), static_cast<std::size_t>(end - text.data()));
  const bool negative = !number.empty() && number[0] == '-';
  const T magnitude = belowOne(number) ? T(0) : std::numeric_limits<T>::infinity();
  return negative ? -magnitude : magnitude;
}

}  // namespace

char* formatFloatInto(char* text, float value) {
  if (char* end = formatPlainFloat(text, value)) return end;
  // to_chars in the general format with precision 6 is specified as printf "%g".
  return std::to_chars(text, text + kFloatTextSize, value, std::chars_format::general, 6).ptr;
}

std::string formatFloat(float value) {
  char text[kFloatTextSize];
  return std::string(text, formatFloatInto(text, value));
}

std::string formatFixed(double value, int decimals) {
  // 309 integer digits of the largest double, sign, point and 17 decimals fit.
  char text[400];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                       std::clamp(decimals, 0, 17));
  if (ec != std::errc()) return std::string();  // cannot happen with this buffer size
  return std::string(text, end);
}

std::optional<double> readDouble(std::string_view text, std::size_t* used) {
  return readReal<double>(text, used);
}

std::optional<float> readFloat(std::string_view text, std::size_t* used) {
  return readReal<float>(text, used);
}

std::optional<long long> readInteger(std::string_view text, std::size_t* used) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  tell(used, text.data(), ec == std::errc::invalid_argument ? text.data() : end);
  if (ec == std::errc()) return value;
  if (ec != std::errc::result_out_of_range) return std::nullopt;
  return text[0] == '-' ? std::numeric_limits<long long>::min()
                        : std::numeric_limits<long long>::max();
}

double leadingDouble(std::string_view text) {
  return readDouble(afterBlanksAndPlus(text)).value_or(0.0);
}

float leadingFloat(std::string_view text) {
  return readFloat(afterBlanksAndPlus(text)).value_or(0.0f);
}

long long leadingInteger(std::string_view text) {
  return readInteger(afterBlanksAndPlus(text)).value_or(0);
}

int leadingInt(std::string_view text) {
  const long long value = leadingInteger(text);
  return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

}  // namespace qorn
