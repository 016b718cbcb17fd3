// The stand-ins of the tab bar and the main panel: contact names, the
// in-memory tab-bar services and the in-memory auto-reply service.
#include "platform/kernelutil/tbarservices.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/common/datafolders.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/store.h"
#include "platform/kernelutil/autoreply.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/menuservices.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/testing/platform_test.h"

namespace {

using TbarServicesTest = platform::testing::PlatformTest;

TEST_F(TbarServicesTest, NamesCombineNameAndAccount) {
  platform::SetContactName(10002, L"钱伟");
  platform::SetContactName(10003, L"孙丽");
  platform::SetContactName(10003, nullptr);  // forgets
  const struct {
    unsigned long uin;
    const wchar_t* raw;
    const wchar_t* combined;
  } cases[] = {{10002, L"钱伟", L"钱伟(10002)"}, {10003, L"", L"10003"}, {0, L"", L"0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uin);
    EXPECT_STREQ(Util::Contact::GetRawName(c.uin), c.raw);
    EXPECT_STREQ(Util::Contact::GetCombineName(c.uin), c.combined);
  }
  platform::ClearContactNames();
  EXPECT_STREQ(Util::Contact::GetRawName(10002), L"");
}

TEST_F(TbarServicesTest, ServicesAnswerRecordAndRefuseNulls) {
  auto data = std::make_shared<platform::TbarServiceData>();
  data->members = {10002};
  data->real_names = {{10002, L"钱伟明"}};
  data->focused = {10002};
  CKZComPtr<IUnknown> services;
  ASSERT_EQ(platform::CreateMemoryTbarServices(data, &services), S_OK);
  ASSERT_EQ(platform::RegisterTbarServices(core(), services, platform::kContactFocusService), S_OK);
  CKZComPtr<IKZContactFocusService> focus;
  CKZComPtr<IKZTipWindowService> tips;
  EXPECT_EQ(core()->GetService(IKZContactFocusService::kIid, reinterpret_cast<void**>(&focus)),
            S_OK);
  EXPECT_EQ(core()->GetService(IKZTipWindowService::kIid, reinterpret_cast<void**>(&tips)), E_FAIL);
  EXPECT_EQ(focus->UnFocus(10002), S_OK);
  EXPECT_EQ(focus->UnFocus(10002), S_FALSE);
  EXPECT_TRUE(data->focused.empty());

  CKZComPtr<IKZContactInfoService> info;
  ASSERT_EQ(services.QueryInterface(&info), S_OK);
  CKZComPtr<IKZData> record;
  EXPECT_EQ(info->GetContactInfo(10002, 0x20, &record), S_OK);
  EXPECT_EQ(platform::KZDataToJson(record), R"({"dwUin":10002,"cstrRealname":"钱伟明"})");
  record = nullptr;
  EXPECT_EQ(info->GetContactInfo(10002, 0x1, &record), S_OK);  // the name is not asked for
  EXPECT_EQ(platform::KZDataToJson(record), R"({"dwUin":10002})");
  record = nullptr;
  EXPECT_EQ(info->GetContactInfo(10003, 0x20, &record), E_FAIL);
  EXPECT_EQ(record.Get(), nullptr);
  EXPECT_EQ(info->GetContactInfo(10002, 0x20, nullptr), E_POINTER);

  CKZComPtr<IKZOrgMembershipService> org;
  ASSERT_EQ(services.QueryInterface(&org), S_OK);
  DWORD member = 7;
  EXPECT_EQ(org->IsOrgMember(10003, &member), S_OK);
  EXPECT_EQ(member, 0u);
  EXPECT_EQ(org->IsOrgMember(10002, nullptr), E_POINTER);
  EXPECT_EQ(data->calls.size(), 8u);  // every call is recorded, also the refused ones

  IUnknown* none = nullptr;
  EXPECT_EQ(platform::CreateMemoryTbarServices(nullptr, &none), E_INVALIDARG);
  EXPECT_EQ(platform::CreateMemoryTbarServices(data, nullptr), E_POINTER);
  EXPECT_EQ(platform::RegisterTbarServices(nullptr, services, 0), E_POINTER);
  EXPECT_EQ(platform::RegisterTbarServices(core(), nullptr, 0), E_POINTER);
}

TEST_F(TbarServicesTest, AutoReplyServiceAnswersAndFails) {
  auto data = std::make_shared<platform::AutoReplyData>();
  data->replies = {L"开会中", L"外出"};
  data->active = 1;
  data->current = 1;
  CKZComPtr<IKZAutoReplyService> service;
  ASSERT_EQ(platform::CreateMemoryAutoReplyService(data, &service), S_OK);
  int active = 0;
  DWORD current = 0;
  EXPECT_EQ(service->GetAutoReplyState(&active, &current, nullptr), S_OK);
  EXPECT_EQ(active, 1);
  EXPECT_EQ(current, 1u);
  CKZComPtr<IKZArray> list;
  EXPECT_EQ(service->GetAutoReplyList(&list), S_OK);
  EXPECT_EQ(platform::KZArrayToJson(list), R"(["开会中","外出"])");

  data->state_result = E_FAIL;
  data->list_result = E_INVALIDARG;
  active = 5;
  EXPECT_EQ(service->GetAutoReplyState(&active, &current, nullptr), E_FAIL);
  EXPECT_EQ(active, 5);
  list = nullptr;
  EXPECT_EQ(service->GetAutoReplyList(&list), E_INVALIDARG);
  EXPECT_EQ(list.Get(), nullptr);
  EXPECT_EQ(service->GetAutoReplyState(nullptr, &current, nullptr), E_POINTER);
  EXPECT_EQ(service->GetAutoReplyList(nullptr), E_POINTER);

  IKZAutoReplyService* none = nullptr;
  EXPECT_EQ(platform::CreateMemoryAutoReplyService(nullptr, &none), E_INVALIDARG);
  EXPECT_EQ(platform::CreateMemoryAutoReplyService(data, nullptr), E_POINTER);
}

TEST_F(TbarServicesTest, ProfileAutoRepliesOutliveTheService) {
  auto make = [](std::vector<std::wstring> initial) {
    CKZComPtr<IKZAutoReplyHost> service;
    EXPECT_EQ(platform::CreateProfileAutoReplyService(std::move(initial), &service), S_OK);
    return service;
  };
  auto list = [](IKZAutoReplyService* service) {
    CKZComPtr<IKZArray> replies;
    EXPECT_EQ(service->GetAutoReplyList(&replies), S_OK);
    return replies ? platform::KZArrayToJson(replies) : "(none)";
  };
  auto state = [](IKZAutoReplyService* service) {
    int active = 9;
    DWORD current = 9;
    EXPECT_EQ(service->GetAutoReplyState(&active, &current, nullptr), S_OK);
    return std::to_string(active) + "/" + std::to_string(current);
  };

  // A new profile starts with the initial replies, none active.
  CKZComPtr<IKZAutoReplyHost> first = make({L"开会中", L"外出"});
  EXPECT_EQ(list(first), R"(["开会中","外出"])");
  EXPECT_EQ(state(first), "0/0");
  ASSERT_EQ(first->SetAutoReplyState(1, 1), S_OK);

  // A restart: the stored replies and state win over other initial ones.
  first = nullptr;
  platform::CloseStores();
  CKZComPtr<IKZAutoReplyHost> second = make({L"别的"});
  EXPECT_EQ(list(second), R"(["开会中","外出"])");
  EXPECT_EQ(state(second), "1/1");

  CKZComPtr<IKZArray> replies;
  Util::Data::CreateKZArray(&replies);
  replies->AddStr(L"午休");
  ASSERT_EQ(second->SetAutoReplies(replies), S_OK);
  EXPECT_EQ(list(second), R"(["午休"])");
  EXPECT_EQ(state(second), "1/1");
  replies->AddDWord(3);
  EXPECT_EQ(second->SetAutoReplies(replies), E_INVALIDARG);
  EXPECT_EQ(list(second), R"(["午休"])");
  EXPECT_EQ(second->SetAutoReplies(nullptr), E_POINTER);
  EXPECT_EQ(second->GetAutoReplyList(nullptr), E_POINTER);
  EXPECT_EQ(second->GetAutoReplyState(nullptr, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(platform::CreateProfileAutoReplyService({}, nullptr), E_POINTER);

  // Another user whose profile store cannot be opened (a folder stands in
  // its place): the store's failure.
  platform::SetSession(platform::SessionInfo{20002, 3, 7});
  std::string path, error;
  ASSERT_TRUE(platform::ProfilePath(&path, &error)) << error;
  ASSERT_TRUE(platform::MakeFolders(path));
  CKZComPtr<IKZArray> none;
  EXPECT_LT(second->GetAutoReplyList(&none), 0);
  EXPECT_EQ(none.Get(), nullptr);
  int active = 4;
  DWORD current = 4;
  EXPECT_LT(second->GetAutoReplyState(&active, &current, nullptr), 0);
  EXPECT_EQ(active, 4);
}

}  // namespace
