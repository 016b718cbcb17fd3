// The stand-ins behind the contact menus: what the in-memory services and
// the chat, message-box and avoidance calls answer and note.
#include "platform/kernelutil/menuservices.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/afutil/afutil.h"
#include "platform/common/kzdata.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/testing/platform_test.h"

namespace {

using Notes = std::vector<std::wstring>;

class MenuServicesTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    data_->fre_groups = {{3, L"Team"}};
    data_->shortcut_allowed = {5};
    data_->shortcut_present = {6};
    ASSERT_EQ(platform::CreateMemoryMenuServices(data_, &services_), S_OK);
  }
  void TearDown() override {
    services_ = nullptr;
    PlatformTest::TearDown();
  }
  template <class I>
  CKZComPtr<I> Get() {
    CKZComPtr<I> out;
    EXPECT_EQ(services_.QueryInterface(&out), S_OK);
    return out;
  }
  std::shared_ptr<platform::ContactMenuData> data_ = std::make_shared<platform::ContactMenuData>();
  CKZComPtr<IUnknown> services_;
};

TEST_F(MenuServicesTest, RegistersTheChosenServicesOnly) {
  ASSERT_EQ(platform::RegisterMenuServices(core(), services_,
                                           platform::kShortcutService | platform::kDiscussService),
            S_OK);
  CKZComPtr<IKZShortcutService> shortcut;
  CKZComPtr<IKZPrivilegeService> privilege;
  EXPECT_EQ(core()->GetService(IKZShortcutService::kIid, reinterpret_cast<void**>(&shortcut)),
            S_OK);
  EXPECT_EQ(core()->GetService(IKZPrivilegeService::kIid, reinterpret_cast<void**>(&privilege)),
            E_FAIL);
  EXPECT_EQ(platform::RegisterMenuServices(nullptr, services_, 0), E_POINTER);
  EXPECT_EQ(platform::RegisterMenuServices(core(), nullptr, 0), E_POINTER);
  IUnknown* none = nullptr;
  EXPECT_EQ(platform::CreateMemoryMenuServices(nullptr, &none), E_INVALIDARG);
  EXPECT_EQ(platform::CreateMemoryMenuServices(data_, nullptr), E_POINTER);
}

TEST_F(MenuServicesTest, AnswersAndNotes) {
  BYTE state = 9;
  auto shortcut = Get<IKZShortcutService>();
  const struct {
    DWORD uin;
    int kind;
    BYTE state;
  } states[] = {{5, 1, 1}, {6, 1, 2}, {7, 1, 0}, {5, 2, 0}};
  for (const auto& s : states) {
    SCOPED_TRACE(s.uin);
    ASSERT_EQ(shortcut->GetShortcutState(s.uin, s.kind, &state), S_OK);
    EXPECT_EQ(state, s.state);
  }
  CKZComPtr<IKZData> key;
  Util::Data::CreateKZData(&key);
  key->SetDWord("dwKey", 5);
  key->SetUInt8("cKeyType", 1);
  shortcut->AddShortcut(key);
  shortcut->GetShortcutState(5, 1, &state);
  EXPECT_EQ(state, 2);
  EXPECT_EQ(shortcut->AddShortcut(nullptr), E_POINTER);

  CKZComPtr<IKZArray> groups;
  ASSERT_EQ(Get<IKZFreContactGroupService>()->GetGroupList(&groups), S_OK);
  CKZBSTR name;
  EXPECT_EQ(Get<IKZFreContactGroupService>()->GetGroupName(3, &name), S_OK);
  EXPECT_STREQ(name.c_str(), L"Team");
  EXPECT_EQ(Get<IKZFreContactGroupService>()->GetGroupName(4, &name), E_FAIL);
  EXPECT_EQ(Get<IKZDiscussService>()->CreateDiscussion(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Get<IKZChatHistoryService>()->OpenChatHistory(nullptr, nullptr, 0), E_INVALIDARG);
  Get<IKZSpecialCareSettingService>()->SetSpecialCare(8, 1, 1);
  int cared = 0;
  Get<IKZSpecialCareService>()->IsSpecialCare(8, &cared);
  EXPECT_EQ(cared, 1);

  EXPECT_EQ(Util::ChatSession::OpenChatSession(0, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(Util::ChatSession::OpenChatSession(9, 0, key), S_OK);
  CKZComPtr<IKZChatSession> session;
  EXPECT_EQ(Util::ChatSession::GetKZChatSession(9, 0, &session), S_OK);
  EXPECT_EQ(Util::ChatSession::GetKZChatSession(9, 3, &session), E_FAIL);
  EXPECT_EQ(Util::ChatSession::GetKZChatSession(9, 0, nullptr), E_POINTER);
  Util::MsgBox::Show(nullptr, nullptr, L"c", 0x40);
  Util::DataReport2::RealTimeReport(1, 2, 3, nullptr, L"t", 0);
  EXPECT_EQ(Util::Misc::C2CAvodiance::SetC2CAvoidanceFlag(
                9, static_cast<C2CAvoidanceDef::MessageAvoidanceType>(1)),
            E_INVALIDARG);
  EXPECT_EQ(platform::TakeCallJournal(),
            (Notes{L"ShortcutAdd(dwKey=5, cKeyType=1)", L"OpenChatHistory(\"\", \"\", 0)",
                   L"SetSpecialCare(8, 1, 1)", L"OpenChatSession(9, 0, data)",
                   L"MsgBox.Show(\"\", \"c\", 0x40)", L"RealTimeReport(1, 2, 3, \"\", \"t\", 0)",
                   L"SetC2CAvoidanceFlag(9, 1)"}));
  EXPECT_EQ(Util::Contact::IsOnline(9), 0);
  platform::SetContactOnline(9, 1);
  EXPECT_EQ(Util::Contact::IsOnline(9), 1);
}

}  // namespace
