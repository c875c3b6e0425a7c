#include "qornfloat.h"

#include <cmath>
#include <iostream>

#include "NumberText.h"

namespace qorn {
namespace {

constexpr const char* kCompareWarning = "qornfloat warning: comparing an undefined value\n";
constexpr const char* kOperateWarning = "qornfloat warning: operating on an undefined value\n";
constexpr const char* kDivideWarning = "qornfloat caught divide by zero error, returning null\n";

}  // namespace

bool qornfloat::eitherUndefined(const qornfloat& b, const char* warning) const {
  if (!undefined_ && !b.undefined_) return false;
  std::cerr << warning;
  return true;
}

bool qornfloat::operator<(const qornfloat& b) const {
  return !eitherUndefined(b, kCompareWarning) && value_ < b.value_;
}
bool qornfloat::operator<=(const qornfloat& b) const {
  return !eitherUndefined(b, kCompareWarning) && value_ <= b.value_;
}
bool qornfloat::operator>(const qornfloat& b) const {
  return !eitherUndefined(b, kCompareWarning) && value_ > b.value_;
}
bool qornfloat::operator>=(const qornfloat& b) const {
  return !eitherUndefined(b, kCompareWarning) && value_ >= b.value_;
}

qornfloat qornfloat::operator+(const qornfloat& b) const {
  return eitherUndefined(b, kOperateWarning) ? qornfloat() : qornfloat(value_ + b.value_);
}
qornfloat qornfloat::operator-(const qornfloat& b) const {
  return eitherUndefined(b, kOperateWarning) ? qornfloat() : qornfloat(value_ - b.value_);
}
qornfloat qornfloat::operator*(const qornfloat& b) const {
  return eitherUndefined(b, kOperateWarning) ? qornfloat() : qornfloat(value_ * b.value_);
}
qornfloat qornfloat::operator/(const qornfloat& b) const {
  if (eitherUndefined(b, kOperateWarning)) return qornfloat();
  if (b.value_ == 0.0f) {
    std::cerr << kDivideWarning;
    return qornfloat();
  }
  return qornfloat(value_ / b.value_);
}

qornfloat& qornfloat::operator+=(const qornfloat& b) {
  if (!eitherUndefined(b, kOperateWarning)) value_ += b.value_;
  return *this;
}
qornfloat& qornfloat::operator-=(const qornfloat& b) {
  if (!eitherUndefined(b, kOperateWarning)) value_ -= b.value_;
  return *this;
}
qornfloat& qornfloat::operator*=(const qornfloat& b) {
  if (!eitherUndefined(b, kOperateWarning)) value_ *= b.value_;
  return *this;
}

qornfloat qornfloat::pow(int n) const {
  if (undefined_) {
    std::cerr << kOperateWarning;
    return qornfloat();
  }
  return qornfloat(static_cast<float>(std::pow(static_cast<double>(value_), n)));
}

std::string qornfloat::toText() const {
  return formatFloat(value_);
}

qornfloat qornfloat::fromText(const std::string& text) {
  return qornfloat(static_cast<float>(leadingDouble(text)));
}

}  // namespace qorn
