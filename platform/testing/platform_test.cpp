#include "platform/testing/platform_test.h"

#include <cstdlib>

#include "platform/common/kzassert.h"
#include "platform/common/kzres.h"
#include "platform/common/kztime.h"
#include "platform/common/lifetime.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/kernelutil.h"

namespace platform::testing {

void PlatformTest::SetUp() {
  setenv("TZ", "UTC", 1);
  tzset();
  live_at_start_ = UnaccountedObjectCount();
  CreateCoreHost(&core_);
  InstallCore(core_.Get());
  sink_ = AddLogSink([this](const LogEntry& e) { logs_.push_back(e); });
  SetAssertHandler([this](const wchar_t* e, const wchar_t* f, int line) {
    asserts_.push_back(AssertRecord{e, f, line});
    return assert_answer_;
  });
  SetClock([] { return kFixedTimeMs; });
  SetSession(SessionInfo{kSelfUin, 3, 7});
}

void PlatformTest::RemoveCore() { InstallCore(nullptr); }

void PlatformTest::TearDown() {
  InstallCore(nullptr);
  if (core_) core_->Clear();
  core_ = nullptr;
  RemoveLogSink(sink_);
  SetAssertHandler(nullptr);
  SetClock(nullptr);
  SetSession(SessionInfo{});
  ResetStringTable();
  // Objects declared as kept for the process (lifetime.h) are not leaks.
  EXPECT_EQ(UnaccountedObjectCount(), live_at_start_) << "platform objects leaked";
}

std::vector<std::wstring> PlatformTest::LogMessages() const {
  std::vector<std::wstring> out;
  for (const LogEntry& e : logs_) out.push_back(e.message);
  return out;
}

}  // namespace platform::testing
