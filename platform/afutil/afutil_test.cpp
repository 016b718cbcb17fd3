#include "platform/afutil/afutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/testing/platform_test.h"

namespace {

namespace avoidance = Util::Misc::C2CAvodiance;

class AFUtilTest : public platform::testing::PlatformTest {};

TEST_F(AFUtilTest, AvoidanceIsSetAndCancelledPerContact) {
  struct Step {
    DWORD uin;
    C2CAvoidanceDef::MessageAvoidanceType type;
    HRESULT result;
    int avoided_10002;  // afterwards
    int avoided_10003;
  };
  const Step steps[] = {
      {10002, C2CAvoidanceDef::kAvoidanceSet, S_OK, 1, 0},
      {10002, C2CAvoidanceDef::kAvoidanceSet, S_OK, 1, 0},  // twice is once
      {10003, C2CAvoidanceDef::kAvoidanceSet, S_OK, 1, 1},
      {10002, C2CAvoidanceDef::kAvoidanceCancel, S_OK, 0, 1},
      {10002, C2CAvoidanceDef::kAvoidanceCancel, S_OK, 0, 1},  // not avoided: no change
      {10003, C2CAvoidanceDef::kAvoidanceNone, E_INVALIDARG, 0, 1},
      {10003, static_cast<C2CAvoidanceDef::MessageAvoidanceType>(6), E_INVALIDARG, 0, 1},
  };
  std::vector<std::wstring> expected_journal;
  int i = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(i++);
    EXPECT_EQ(avoidance::SetC2CAvoidanceFlag(s.uin, s.type), s.result);
    EXPECT_EQ(avoidance::GetC2CAvoidanceFlag(10002), s.avoided_10002);
    EXPECT_EQ(avoidance::GetC2CAvoidanceFlag(10003), s.avoided_10003);
    expected_journal.push_back(L"SetC2CAvoidanceFlag(" + std::to_wstring(s.uin) + L", " +
                               std::to_wstring(static_cast<int>(s.type)) + L")");
  }
  EXPECT_EQ(platform::TakeCallJournal(), expected_journal) << "refused calls are noted too";
}

TEST_F(AFUtilTest, HostSetsAuthorityAndAvoidanceWithoutNotes) {
  EXPECT_EQ(avoidance::GetSelfAvoidanceAuthFlag(), 0);
  platform::SetSelfAvoidanceAuth(1);
  platform::SetC2CAvoidance(10005, 1);
  EXPECT_EQ(avoidance::GetSelfAvoidanceAuthFlag(), 1);
  EXPECT_EQ(avoidance::GetC2CAvoidanceFlag(10005), 1);
  EXPECT_EQ(avoidance::GetC2CAvoidanceFlag(10006), 0);
  platform::SetC2CAvoidance(10005, 0);
  EXPECT_EQ(avoidance::GetC2CAvoidanceFlag(10005), 0);
  EXPECT_TRUE(platform::TakeCallJournal().empty());
}

TEST_F(AFUtilTest, OpenedChatIsFoundByNumberAndType) {
  CKZComPtr<IKZData> data;
  Util::Data::CreateKZData(&data);
  EXPECT_EQ(Util::ChatSession::OpenChatSession(10002, 0, nullptr), S_OK);
  EXPECT_EQ(Util::ChatSession::OpenChatSession(10003, 1, data), S_OK);
  EXPECT_EQ(Util::ChatSession::OpenChatSession(0, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(platform::TakeCallJournal(),
            (std::vector<std::wstring>{L"OpenChatSession(10002, 0)",
                                       L"OpenChatSession(10003, 1, data)"}));

  struct Case {
    DWORD uin;
    int type;
    HRESULT result;
  };
  const Case cases[] = {{10002, 0, S_OK}, {10003, 1, S_OK}, {10002, 1, E_FAIL}, {10004, 0, E_FAIL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uin * 10 + static_cast<DWORD>(c.type));
    IKZChatSession* raw = reinterpret_cast<IKZChatSession*>(0x1);
    ASSERT_EQ(Util::ChatSession::GetKZChatSession(c.uin, c.type, &raw), c.result);
    CKZComPtr<IKZChatSession> session;
    session.Attach(raw);
    if (FAILED(c.result)) {
      EXPECT_EQ(raw, nullptr);
      continue;
    }
    DWORD uin = 0;
    EXPECT_EQ(session->GetChatUin(&uin), S_OK);
    EXPECT_EQ(uin, c.uin);
    EXPECT_EQ(session->GetChatUin(nullptr), E_POINTER);
    CKZComPtr<IKZChatSessionFrame> frame;
    ASSERT_EQ(session.QueryInterface(&frame), S_OK);
    EXPECT_EQ(frame->SendFrameEvent(3, nullptr), S_OK);
    EXPECT_EQ(platform::TakeCallJournal(),
              std::vector<std::wstring>{L"ChatFrameEvent(" + std::to_wstring(c.uin) + L", " +
                                        std::to_wstring(c.type) + L", 3)"});
  }
  EXPECT_EQ(Util::ChatSession::GetKZChatSession(10002, 0, nullptr), E_POINTER);

  // A chat marked open by the host is found without a note.
  platform::OpenChatSessionForTesting(10009, 2);
  CKZComPtr<IKZChatSession> marked;
  EXPECT_EQ(Util::ChatSession::GetKZChatSession(10009, 2, &marked), S_OK);
  EXPECT_TRUE(platform::TakeCallJournal().empty());
}

}  // namespace
