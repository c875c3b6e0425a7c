// qornfloat: the engine's float that may be undefined.
//
// Activations, link strengths and every engine constant are qornfloats. Operations never
// throw: an operation on an undefined value writes a one-line warning to standard error
// and yields a defined fallback, so one bad value never stops propagation or learning.
// A default-constructed value and every result of an operation are defined; a value is
// undefined only when created so with qornfloat::undefinedValue().
#pragma once

#include <string>

namespace qorn {

class qornfloat {
 public:
  constexpr qornfloat() = default;
  constexpr qornfloat(float value) : value_(value) {}  // NOLINT: numbers convert freely
  static constexpr qornfloat undefinedValue() { return qornfloat(0.0f, true); }

  constexpr float value() const { return value_; }
  constexpr bool isUndefined() const { return undefined_; }

  // Comparisons: false (with a warning) when either operand is undefined.
  bool operator<(const qornfloat& b) const;
  bool operator<=(const qornfloat& b) const;
  bool operator>(const qornfloat& b) const;
  bool operator>=(const qornfloat& b) const;

  // Arithmetic: 0.0 (defined, with a warning) when either operand is undefined; division by
  // 0.0 warns and yields 0.0.
  qornfloat operator+(const qornfloat& b) const;
  qornfloat operator-(const qornfloat& b) const;
  qornfloat operator*(const qornfloat& b) const;
  qornfloat operator/(const qornfloat& b) const;
  // In place: with an undefined operand the value is left unchanged (with a warning).
  qornfloat& operator+=(const qornfloat& b);
  qornfloat& operator-=(const qornfloat& b);
  qornfloat& operator*=(const qornfloat& b);

  // value raised to the integer power n (n may be negative).
  qornfloat pow(int n) const;

  // Standard stream formatting: at most six significant digits, no trailing zeros; the
  // same in every locale (NumberText.h).
  std::string toText() const;
  // The leading number of the text (0 when there is none), defined; read in every locale
  // with '.' as the decimal point.
  static qornfloat fromText(const std::string& text);

 private:
  constexpr qornfloat(float value, bool undefined) : value_(value), undefined_(undefined) {}
  bool eitherUndefined(const qornfloat& b, const char* warning) const;

  float value_ = 0.0f;
  bool undefined_ = false;
};

}  // namespace qorn
