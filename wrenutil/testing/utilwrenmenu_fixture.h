// The fixture of the contact-menu tests: a core with the GF objects, the
// in-memory menu services over `data()`, organisation membership (the own
// number 10001, 10002 and 10003), an account service, texts equal to their
// keys, the own account online, and an empty call journal.
#ifndef WRENUTIL_WRENUTIL_TESTING_UTILWRENMENU_FIXTURE_H_
#define WRENUTIL_WRENUTIL_TESTING_UTILWRENMENU_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/afutil/afutil.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzres.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_extension.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/kernelutil/menuservices.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/testing/platform_test.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"
#include "wrenutil/utilwrenmenu.h"

namespace wrenutil_menu_test {

inline constexpr DWORD kSelf = 10001;
inline constexpr DWORD kMember = 10002;
inline constexpr DWORD kMember2 = 10003;
inline constexpr DWORD kOuterSame = 2800000001;  // account kind 1
inline constexpr DWORD kOuterLM = 2800000002;    // account kind 2
inline constexpr GUID kBuddyPoint = platform::MakeGuid("{C5B624FE-9778-45FB-9CFE-212FB603BA28}");
inline constexpr GUID kDeptPoint = platform::MakeGuid("{5E525CB3-DAD0-41AF-A2EF-95A40D4D9B2A}");
inline constexpr GUID kReportPoint = platform::MakeGuid("{419029C6-A178-4BCF-A2A6-7B45FDAE71C1}");
inline constexpr wchar_t kMenuSource[] = L"wrenutil\\utilwrenmenu";

// Every text key of the menus; the fixture maps each to itself.
inline const wchar_t* const kTextKeys[] = {L"WREN_UserInfo",
                                           L"WREN_SendIM",
                                           L"WREN_MENU_CreateDisc",
                                           L"MENU_WREN_ID_OUTER_SET_AUTH",
                                           L"MENU_WREN_OUTER_BLOCK_USER_MESSAGE",
                                           L"MENU_WREN_OUTER_SHOW_NOT_ONLINE_TO_THISUSER",
                                           L"WREN_DelFromUserGroup",
                                           L"WREN_DelFromRecent",
                                           L"C2C_Avoidance_Menu_H",
                                           L"WREN_Menu_Add_Shortcut",
                                           L"WREN_Menu_Del_Shortcut",
                                           L"SpecialCare",
                                           L"CancelSpecialCare",
                                           L"MainPanel_Menu_ContactMgrList",
                                           L"CCAddrListPage_MyFrequentContact",
                                           L"CCAddrListPage_MyFreContactAddGroup",
                                           L"CCAddrListPage_Add2FrequentContact",
                                           L"FrequentRemoveFromGroup",
                                           L"Create_Discuss_Fail",
                                           L"WREN_Tip",
                                           L"CF_MESSAGE_TITLE",
                                           L"CF_CREATEDISCUSS_FAIL",
                                           L"MENU_WREN_OUTER_ADD_NEW_GROUP",
                                           L"MENU_WREN_OUTER_ADD_NEW_BUDDY",
                                           L"MENU_WREN_OUTER_RENAME_GROUP",
                                           L"MENU_WREN_OUTER_DEL_GROUP"};

// A menu whose CreateItem always fails.
class NoItemMenu : public platform::RefCounted<IGFMenu> {
 public:
  HRESULT Initialize(int, int) override { return S_OK; }
  HRESULT CreateItem(IGFMenuItem** item) override {
    if (item) *item = nullptr;
    return E_FAIL;
  }
  HRESULT AppendItem(IGFMenuItem*) override { return E_FAIL; }
  HRESULT RemoveItemByName(const wchar_t*) override { return S_FALSE; }
  HRESULT GetItemCount(DWORD* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetItemByName(BSTR, IGFMenuItem** item) override {
    *item = nullptr;
    return E_FAIL;
  }
  HRESULT GetItemAt(DWORD, IGFMenuItem** item) override {
    *item = nullptr;
    return E_FAIL;
  }
};

class MenuTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    for (const wchar_t* key : kTextKeys) platform::SetLocalString(L"platform", key, key);
    ASSERT_EQ(platform::RegisterGFObjects(core()), S_OK);
    data_ = std::make_shared<platform::ContactMenuData>();
    data_->privileges = {550};
    data_->channel_privileges = {1};
    data_->fre_groups = {{7, L"Colleagues"}, {9, L"Friends"}};
    data_->account_kinds = {{kOuterSame, 1}, {kOuterLM, 2}};
    ASSERT_EQ(platform::CreateMemoryMenuServices(data_, &services_), S_OK);
    SetServices(platform::kAllMenuServices);
    CKZComPtr<IKZOrgMembershipHost> org;
    platform::CreateMemoryOrgMembershipService({kSelf, kMember, kMember2}, &org);
    AddService(IKZOrgMembershipService::kIid, org);
    SetAccountFlags(0);
    platform::SetContactOnline(kSelf, 1);
  }
  void TearDown() override {
    services_ = nullptr;
    PlatformTest::TearDown();
  }

 public:
  // Also for the arrange steps of table cases.
  using platform::testing::PlatformTest::core;
  platform::ContactMenuData& data() { return *data_; }
  void SetServices(unsigned mask) { platform::RegisterMenuServices(core(), services_, mask); }
  void RemoveService(unsigned bit) { SetServices(platform::kAllMenuServices & ~bit); }
  void SetAccountFlags(std::uint64_t flags) {
    CKZComPtr<IKZAccountService> account;
    platform::CreateMemoryAccountService(platform::AccountInfo{0, flags, 0}, &account);
    AddService(IKZAccountService::kIid, account);
  }
  // Menus made from now on: the `nth` (1-based) cannot create items.
  void FailItemsOfMenu(int nth) {
    // The core may call a copy of the factory: the count is shared.
    auto made = std::make_shared<int>(0);
    core()->RegisterFactory(IGFMenu::kIid, [nth, made](REFIID iid, void** out) {
      IGFMenu* menu = nullptr;
      if (++*made == nth) {
        menu = new NoItemMenu();
      } else {
        platform::CreateGFMenu(&menu);
      }
      HRESULT hr = menu->QueryInterface(iid, out);
      menu->Release();
      return hr;
    });
  }

 protected:
  static CKZComPtr<IKZArray> Uins(std::initializer_list<DWORD> uins) {
    CKZComPtr<IKZArray> array;
    Util::Data::CreateKZArray(&array);
    for (DWORD uin : uins) array->AddDWord(uin);
    return array;
  }
  static CKZComPtr<IKZData> Bag(const char* json) {
    CKZComPtr<IKZData> bag;
    std::string error;
    EXPECT_EQ(platform::JsonToKZData(json, &bag, &error), S_OK) << error;
    return bag;
  }
  static std::string Json(IKZDataRead* bag) { return platform::KZDataToJson(bag); }
  static std::string Json(IKZArrayRead* array) { return platform::KZArrayToJson(array); }

  // The top-level items in order: the name ("-" when none, the separator's
  // name for a separator), "!" appended when greyed out.
  static std::wstring TopNames(IGFMenu* menu) {
    std::wistringstream lines(platform::RenderGFMenu(menu));
    std::wstring line, out;
    while (std::getline(lines, line)) {
      if (line.empty() || line[0] == L' ') continue;
      std::wstring name = line.substr(0, line.find(L' '));
      if (name == L"----") {
        std::size_t start = 5, end = line.find(L' ', start);
        name = line.size() > 4 ? line.substr(start, end - start) : L"----";
      }
      if (line.find(L"(greyed)") != std::wstring::npos) name += L"!";
      if (!out.empty()) out += L" ";
      out += name;
    }
    return out;
  }
  static std::uint32_t RefCount(IGFMenu* menu) {
    auto* counted = dynamic_cast<platform::RefCounted<IGFMenu, IGFExtensionHost>*>(menu);
    return counted ? counted->RefCountForTesting() : 0;
  }
  // Assertions as "line:expression" texts.
  std::vector<std::wstring> AssertLines() const {
    std::vector<std::wstring> out;
    for (const auto& a : asserts()) out.push_back(std::to_wstring(a.line) + L":" + a.expression);
    return out;
  }
  std::vector<std::wstring> Journal() { return platform::TakeCallJournal(); }

 private:
  std::shared_ptr<platform::ContactMenuData> data_;
  CKZComPtr<IUnknown> services_;
};

}  // namespace wrenutil_menu_test

#endif  // WRENUTIL_WRENUTIL_TESTING_UTILWRENMENU_FIXTURE_H_
