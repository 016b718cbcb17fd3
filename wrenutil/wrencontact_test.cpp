#include "wrenutil/wrencontact.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzres.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/testing/platform_test.h"

namespace {

using Notes = std::vector<std::wstring>;

class WRENContactTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    platform::ResetContactStatus();
    platform::TakeCallJournal();
    platform::SetLocalString(L"platform", L"Finger_ConnectToServer", L"请先连接");
    platform::SetLocalString(L"platform", L"Finger_ConnectToServer_Title", L"离线");
    platform::CreateMemoryContactDataService(&contacts_);
    AddService(IKZContactDataService::kIid, contacts_);
  }
  void TearDown() override {
    contacts_ = nullptr;
    platform::ResetContactStatus();
    PlatformTest::TearDown();
  }
  void SetPrivilege(DWORD uin, std::uint64_t privilege) {
    CKZComPtr<IKZData> info;
    Util::Data::CreateKZData(&info);
    info->SetUInt64("Privilege", privilege);
    contacts_->SetContactInfo(uin, info);
  }
  CKZComPtr<IKZContactDataHost> contacts_;
};

TEST_F(WRENContactTest, OnlyTwentyIsOfflineForTheSelfCheck) {
  CKZComPtr<IGFElement> main;
  platform::CreateGFElement(L"MainFrame", true, &main);
  CKZComPtr<IGFFrame> frame;
  main.QueryInterface(&frame);
  CKZComPtr<IKZMainFrameService> service;
  platform::CreateMainFrameService(frame, &service);
  AddService(IKZMainFrameService::kIid, service);

  const struct {
    std::uint16_t status;
    int self_check;
    int is_online;
  } kCases[] = {{20, 0, 0}, {0, 1, 0}, {250, 1, 0}, {10, 1, 1}, {30, 1, 1}, {65535, 1, 1}};
  std::size_t seen = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.status);
    platform::SetContactStatus(kSelfUin, c.status);
    EXPECT_EQ(Util::WRENContact::CheckSelfOnlineStatus(), c.self_check);
    EXPECT_EQ(Util::WRENContact::IsOnline(kSelfUin), c.is_online);
    Notes transcript = dialogs().Transcript();
    Notes shown(transcript.begin() + static_cast<std::ptrdiff_t>(seen), transcript.end());
    Notes expected;
    if (c.self_check == 0) {
      expected = {L"MessageBox(owner, \"请先连接\", \"离线\", 0x30) -> 1"};
      EXPECT_EQ(dialogs().requests().back().owner, frame.Get());
    }
    EXPECT_EQ(shown, expected);
    seen = transcript.size();
  }
  EXPECT_EQ(Util::WRENContact::IsOnline(99), 0) << "a contact nobody set reads as 0";
}

TEST_F(WRENContactTest, OfflineBoxHasNoParentWithoutAMainFrame) {
  platform::SetContactStatus(kSelfUin, 20);
  EXPECT_EQ(Util::WRENContact::CheckSelfOnlineStatus(), 0);
  CKZComPtr<IKZMainFrameService> empty;
  platform::CreateMainFrameService(nullptr, &empty);
  AddService(IKZMainFrameService::kIid, empty);
  EXPECT_EQ(Util::WRENContact::CheckSelfOnlineStatus(), 0);
  EXPECT_EQ(platform::TakeCallJournal(), Notes(2, L"MessageBoxW(\"请先连接\", \"离线\", 0x30)"));
  EXPECT_TRUE(asserts().empty());
}

TEST_F(WRENContactTest, RightsAreMasksOfThePrivilege) {
  const struct {
    std::uint64_t privilege;
    int public_client;
    int session_switch;
  } kCases[] = {
      {0x400000, 1, 0},           {0x800000, 0, 0},
      {0xC00000, 1, 1},           {0xFFFFFFFF00000000, 0, 0},  // only the low 32 bits carry rights
      {0xFFFFFFFFFFFFFFFF, 1, 1}, {0x3FFFFF, 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.privilege);
    SetPrivilege(10002, c.privilege);
    EXPECT_EQ(Util::WRENContact::HasPublicClientRight(10002), c.public_client);
    EXPECT_EQ(Util::WRENContact::HasSessionSwitchRight(10002), c.session_switch);
  }
}

TEST_F(WRENContactTest, NoBagNoFieldNoServiceNoRights) {
  EXPECT_EQ(Util::WRENContact::HasPublicClientRight(10003), 0) << "no bag";
  CKZComPtr<IKZData> info;
  Util::Data::CreateKZData(&info);
  info->SetDWord("Privilege", 0xC00000);  // a 32-bit field is not read
  contacts_->SetContactInfo(10003, info);
  EXPECT_EQ(Util::WRENContact::HasSessionSwitchRight(10003), 0);

  SetPrivilege(10004, 0xC00000);
  AddService(IKZContactDataService::kIid, nullptr);
  EXPECT_EQ(Util::WRENContact::HasPublicClientRight(10004), 0);
  EXPECT_EQ(Util::WRENContact::HasSessionSwitchRight(10004), 0);
  EXPECT_TRUE(asserts().empty());

  RemoveCore();
  EXPECT_EQ(Util::WRENContact::HasPublicClientRight(10004), 0);
  ASSERT_EQ(asserts().size(), 1u);
  EXPECT_EQ(asserts()[0].line, 136);
}

TEST_F(WRENContactTest, StatusManagersAnswerForThemselves) {
  CKZComPtr<IKZIMContactStatusMgr> own;
  ASSERT_EQ(platform::CreateContactStatusMgr(&own), S_OK);
  own->SetStatus(10002, 30);
  platform::SetContactStatus(10002, 20);
  EXPECT_EQ(Util::Contact::GetStatus(10002, own), 30);
  EXPECT_EQ(Util::Contact::GetStatus(10002, nullptr), 20);
  EXPECT_EQ(own->GetStatus(10002, nullptr), E_POINTER);
  EXPECT_EQ(contacts_->GetContactInfo(1, nullptr), E_POINTER);
  EXPECT_EQ(platform::CreateMainFrameService(nullptr, nullptr), E_POINTER);
}

}  // namespace
