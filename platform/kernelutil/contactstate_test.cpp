#include "platform/kernelutil/contactstate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/afutil/afutil.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzres.h"
#include "platform/common/kztime.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace {

class ContactStateTest : public platform::testing::PlatformTest {};

TEST_F(ContactStateTest, OnlineStateFollowsTheHost) {
  EXPECT_EQ(Util::Contact::IsOnline(10002), 0);
  platform::SetContactOnline(10002, 1);
  platform::SetContactOnline(10003, 7);  // any non-zero value is online
  EXPECT_EQ(Util::Contact::IsOnline(10002), 1);
  EXPECT_EQ(Util::Contact::IsOnline(10003), 1);
  platform::SetContactOnline(10002, 0);
  EXPECT_EQ(Util::Contact::IsOnline(10002), 0);
  EXPECT_EQ(Util::Contact::IsOnline(10003), 1);
  platform::ClearContactsOnline();
  EXPECT_EQ(Util::Contact::IsOnline(10003), 0);
}

TEST_F(ContactStateTest, ReportsAreNotedInDecimalWithTheirTexts) {
  Util::DataReport2::RealTimeReport(0xFFFFFFFFu, 10001, 0, L"menu", L"发消息", -1);
  Util::DataReport2::RealTimeReport(7, 10001, 10002, nullptr, nullptr, 0);
  EXPECT_EQ(platform::TakeCallJournal(),
            (std::vector<std::wstring>{
                L"RealTimeReport(4294967295, 10001, 0, \"menu\", \"发消息\", -1)",
                L"RealTimeReport(7, 10001, 10002, \"\", \"\", 0)",
            }));
  EXPECT_TRUE(platform::TakeCallJournal().empty()) << "taking empties the journal";
}

TEST_F(ContactStateTest, SessionIsWhatTheHostSet) {
  // The fixture signs in as kSelfUin with version 3.7.
  EXPECT_EQ(Util::Contact::GetSelfUin(), kSelfUin);
  EXPECT_EQ(Version::GetMajorVer(), 3);
  EXPECT_EQ(Version::GetMinorVer(), 7);
  platform::SetSession({.self_uin = 42, .major_version = 9, .minor_version = 1});
  EXPECT_EQ(Util::Contact::GetSelfUin(), 42u);
  EXPECT_EQ(Version::GetMajorVer(), 9);
  EXPECT_EQ(Version::GetMinorVer(), 1);
}

// What one host or test leaves behind, the next core does not see.
TEST_F(ContactStateTest, FreshScopedCoreStartsAFreshWorld) {
  auto leave_traces = [] {
    platform::SetContactOnline(10002, 1);
    platform::SetSelfAvoidanceAuth(1);
    platform::SetC2CAvoidance(10003, 1);
    platform::OpenChatSessionForTesting(10004, 0);
    platform::NoteCall(L"left behind");
    platform::SetSession({.self_uin = 42, .major_version = 9, .minor_version = 1});
    platform::SetClock([] { return std::uint64_t{5}; });
  };
  auto expect_fresh = [] {
    EXPECT_EQ(Util::Contact::IsOnline(10002), 0);
    EXPECT_EQ(Util::Misc::C2CAvodiance::GetSelfAvoidanceAuthFlag(), 0);
    EXPECT_EQ(Util::Misc::C2CAvodiance::GetC2CAvoidanceFlag(10003), 0);
    CKZComPtr<IKZChatSession> chat;
    EXPECT_EQ(Util::ChatSession::GetKZChatSession(10004, 0, &chat), E_FAIL);
    EXPECT_TRUE(platform::TakeCallJournal().empty());
    EXPECT_EQ(Util::Contact::GetSelfUin(), 0u);
    EXPECT_EQ(Version::GetMajorVer(), 0);
    EXPECT_NE(Util::Time::GetRegulatedMilliTime(), 5u) << "the system clock again";
  };
  leave_traces();
  {
    platform::ScopedCore core;
    SCOPED_TRACE("a new core");
    expect_fresh();
    leave_traces();
  }
  SCOPED_TRACE("after the core ended");
  expect_fresh();
}

}  // namespace
