// RemainingTime: the time left for the running step of an import, estimated from the
// progress records the import window receives.
//
// The raw estimate is (total - current) / (current - startCount) * secondsSinceStart, where
// the step's clock (start time and start count) restarts whenever current is 0 or goes
// back. That estimate is poor on the first items (one slow or fast song swings it by
// minutes), so it is trusted only once kMinItems items have been done and kMinSeconds
// seconds have passed since the clock started; after that each new raw estimate is blended
// with the previous one (counted down by the time that has passed), so the figure falls
// steadily instead of jumping.
//
// Pure: the caller passes the time; no clock, no thread of its own. Nothing here throws.
#pragma once

#include <QString>

namespace zarvell::app {

class RemainingTime {
 public:
  static constexpr int kMinItems = 3;
  static constexpr double kMinSeconds = 2.0;
  static constexpr double kNewWeight = 0.3;  // weight of a new raw estimate in the blend

  // Takes one record at `nowSeconds` (any monotonic clock); `meaningful` is false when the
  // record has no total. Returns the seconds left, 0 when not known (yet).
  int update(int current, int total, bool meaningful, double nowSeconds);

  // "Time remaining for step: H:MM:SS" (3600 s or more), "...: 0:MM:SS" (60 s or more),
  // "...: 0:00:SS" (more than 0), "Time remaining for step:" otherwise.
  static QString text(int seconds);

 private:
  double start_ = 0;
  int startCount_ = 0;
  int last_ = -1;
  double smoothed_ = -1;  // below 0: no trusted estimate yet in this step
  double smoothedAt_ = 0;
};

}  // namespace zarvell::app
