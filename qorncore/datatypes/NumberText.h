// NumberText: the one conversion between numbers and their text in every file and packet
// (network file, features XML, normaliser file, community packets and replies).
//
// Every function here reads and writes the C locale's form ('.' as decimal point, no digit
// grouping) whatever locale the process runs in: a GUI program switches to the user's
// locale at start-up, and a comma-decimal locale must neither change a saved file nor lose
// the numbers of a loaded one. Built on std::to_chars / std::from_chars, which never look at
// the locale. Stateless and thread-safe; nothing here throws except std::bad_alloc from the
// functions returning std::string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qorn {

// Bytes every float text of formatFloatInto fits in.
inline constexpr std::size_t kFloatTextSize = 32;

// A float as printf "%g" writes it (and as a standard stream does by default): at most six
// significant digits, no trailing zeros, an exponent ("1e-05", "1.23457e+08") outside
// 1e-4 <= |value| < 1e6; "inf", "-inf", "nan", "-nan" for the special values.
// formatFloatInto writes at `text` (kFloatTextSize bytes) and returns the end of the text.
char* formatFloatInto(char* text, float value);
std::string formatFloat(float value);

// A number as printf "%.<decimals>f" writes it ("0.50000000" for 0.5 with 8 decimals);
// decimals is clamped to 0..17.
std::string formatFixed(double value, int decimals);

// The number at the very start of `text` in decimal or exponent form (an optional '-',
// digits with an optional '.', an optional exponent), "inf", "infinity" or "nan" in any
// case; nothing when the text does not start with one. Whatever follows the number is
// ignored. A value too large for the type reads as infinity of its sign, one too small as
// zero of its sign (as the C conversion gives them). `used`, when given, receives the
// number's length in bytes (0 when there is none).
std::optional<double> readDouble(std::string_view text, std::size_t* used = nullptr);
std::optional<float> readFloat(std::string_view text, std::size_t* used = nullptr);
// The integer at the very start of `text` (an optional '-' and decimal digits), clamped to
// the range of long long; nothing when the text does not start with one.
std::optional<long long> readInteger(std::string_view text, std::size_t* used = nullptr);

// The leading number of a text as the C conversions (strtod, strtol) read it in the C
// locale: leading white space and one '+' are skipped; 0 when there is no number.
// leadingFloat converts straight to float; leadingDouble keeps double precision (a caller
// that stores a float casts, as after strtod). leadingInt clamps to the range of int.
double leadingDouble(std::string_view text);
float leadingFloat(std::string_view text);
long long leadingInteger(std::string_view text);
int leadingInt(std::string_view text);

}  // namespace qorn
