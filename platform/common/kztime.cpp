#include "platform/common/kztime.h"

#include <chrono>
#include <ctime>
#include <mutex>

#include "platform/common/kzcore.h"

namespace {
std::mutex g_clock_mutex;
std::function<std::uint64_t()> g_clock;
}  // namespace

namespace Util::Time {
std::uint64_t GetRegulatedMilliTime() {
  {
    std::lock_guard lock(g_clock_mutex);
    if (g_clock) return g_clock();
  }
  return static_cast<std::uint64_t>(platform::SystemMilliTime());
}
}  // namespace Util::Time

CKZTime::CKZTime(std::int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return;
  year_ = tm.tm_year + 1900;
  month_ = tm.tm_mon + 1;
  day_ = tm.tm_mday;
  hour_ = tm.tm_hour;
  minute_ = tm.tm_min;
  second_ = tm.tm_sec;
}

namespace platform {
std::int64_t SystemMilliTime() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

void SetClock(std::function<std::uint64_t()> clock) {
  std::lock_guard lock(g_clock_mutex);
  g_clock = std::move(clock);
}
}  // namespace platform

namespace {
// A fresh platform world starts from here (platform::ResetPlatformWorld).
[[maybe_unused]] const bool kResetWithTheWorld =
    platform::internal::AtWorldReset([] { platform::SetClock(nullptr); });
}  // namespace
