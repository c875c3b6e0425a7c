// qorndate: a time stamp in whole seconds on the C time() scale that may be undefined.
// The engine uses -1 for "never". Operations never throw; misuse warns on standard error.
#pragma once

#include <cstdint>
#include <string>

namespace qorn {

class qorndate {
 public:
  constexpr qorndate() = default;
  constexpr explicit qorndate(int32_t seconds) : seconds_(seconds) {}
  static constexpr qorndate undefinedValue() {
    qorndate d;
    d.undefined_ = true;
    return d;
  }
  // The current time.
  static qorndate now();

  constexpr int32_t seconds() const { return seconds_; }
  constexpr bool isUndefined() const { return undefined_; }

  // Compares seconds; false (with a warning) when either is undefined.
  bool operator<(const qorndate& b) const;
  // Difference in seconds; with an undefined operand it warns and yields the current time.
  qorndate operator-(const qorndate& b) const;

  // The decimal seconds ("-1" for never).
  std::string toText() const;

 private:
  int32_t seconds_ = 0;
  bool undefined_ = false;
};

}  // namespace qorn
