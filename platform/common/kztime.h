// Time: the client's regulated clock and its broken-down form.
#ifndef WRENUTIL_PLATFORM_COMMON_KZTIME_H_
#define WRENUTIL_PLATFORM_COMMON_KZTIME_H_

#include <cstdint>
#include <functional>

#include "platform/common/kzbase.h"

namespace Util::Time {
// Milliseconds since 1970-01-01 UTC by the client's clock (the system clock
// unless a host set another with platform::SetClock).
KZ_PLATFORM_API std::uint64_t GetRegulatedMilliTime();
}  // namespace Util::Time

// A point in time broken down in the local time zone.
class KZ_PLATFORM_API CKZTime {
 public:
  explicit CKZTime(std::int64_t unix_seconds);
  int GetYear() const { return year_; }
  int GetMonth() const { return month_; }  // 1-12
  int GetDay() const { return day_; }      // 1-31
  int GetHour() const { return hour_; }
  int GetMinute() const { return minute_; }
  int GetSecond() const { return second_; }

 private:
  int year_ = 1970, month_ = 1, day_ = 1, hour_ = 0, minute_ = 0, second_ = 0;
};

namespace platform {
// Milliseconds since 1970-01-01 UTC by the system clock, whatever SetClock
// installed: the time that log records carry.
KZ_PLATFORM_API std::int64_t SystemMilliTime();

// Replaces the client's clock (milliseconds since the epoch); an empty
// function restores the system clock. For hosts and tests.
KZ_PLATFORM_API void SetClock(std::function<std::uint64_t()> clock);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZTIME_H_
