#include "qorndate.h"

#include <ctime>
#include <iostream>

namespace qorn {

qorndate qorndate::now() { return qorndate(static_cast<int32_t>(std::time(nullptr))); }

bool qorndate::operator<(const qorndate& b) const {
  if (undefined_ || b.undefined_) {
    std::cerr << "qorndate warning: comparing an undefined value\n";
    return false;
  }
  return seconds_ < b.seconds_;
}

qorndate qorndate::operator-(const qorndate& b) const {
  if (undefined_ || b.undefined_) {
    std::cerr << "qorndate warning: operating on an undefined value\n";
    return now();
  }
  // Wrap like the 32-bit arithmetic of the time scale instead of overflowing.
  return qorndate(static_cast<int32_t>(static_cast<int64_t>(seconds_) - b.seconds_));
}

std::string qorndate::toText() const { return std::to_string(seconds_); }

}  // namespace qorn
