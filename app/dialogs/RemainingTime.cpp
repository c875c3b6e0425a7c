#include "RemainingTime.h"

#include <algorithm>
#include <cmath>

namespace zarvell::app {

int RemainingTime::update(int current, int total, bool meaningful, double nowSeconds) {
  if (!meaningful) return 0;
  if (current == 0 || current < last_ || last_ < 0) {
    start_ = nowSeconds;
    startCount_ = current;
    smoothed_ = -1;
  }
  last_ = current;
  const int done = current - startCount_;
  const double elapsed = nowSeconds - start_;
  if (done <= 0 || current >= total) return 0;
  const double raw = static_cast<double>(total - current) / done * elapsed;
  if (done < kMinItems || elapsed < kMinSeconds) return 0;
  if (smoothed_ < 0) {
    smoothed_ = raw;
  } else {
    const double carried = std::max(0.0, smoothed_ - (nowSeconds - smoothedAt_));
    smoothed_ = (1 - kNewWeight) * carried + kNewWeight * raw;
  }
  smoothedAt_ = nowSeconds;
  return static_cast<int>(std::lround(smoothed_));
}

QString RemainingTime::text(int seconds) {
  const QString head = "Time remaining for step:";
  if (seconds <= 0) return head;
  const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  return QString("%1 %2:%3:%4")
      .arg(head)
      .arg(h)
      .arg(m, 2, 10, QChar('0'))
      .arg(s, 2, 10, QChar('0'));
}

}  // namespace zarvell::app
