#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/refcounted.h"
#include "platform/common/settingsstore.h"
#include "platform/common/store.h"
#include "platform/kvdata/kvdata.h"
#include "wrenutil/testing/panelmenu_fixture.h"
#include "wrenutil/utilgftbar.h"

namespace wrenutil_menu_test {
namespace {

using namespace Util::UtilWRENMenu::TBarMenuDisplayMode;  // NOLINT(build/namespaces): under test
using Util::UtilGFTbar::Misc::GetOnlineShowFirst;
using Util::UtilGFTbar::Misc::SetOnlineShowFirst;

// A settings store that answers fixed codes and keeps what it was given.
class ScriptedStore : public platform::RefCounted<IKZSettingsStore> {
 public:
  HRESULT read_result = S_OK;
  HRESULT write_result = S_OK;
  CKZComPtr<IKZData> stored;  // handed out by ReadData when it succeeds
  std::vector<std::wstring> asked;

  HRESULT ReadData(const wchar_t* section, const wchar_t* key, IKZData** data) override {
    asked.push_back(std::wstring(L"read ") + section + L"/" + key);
    *data = nullptr;
    if (FAILED(read_result)) return read_result;
    *data = stored.Get();
    if (*data) (*data)->AddRef();
    return read_result;
  }
  HRESULT WriteData(const wchar_t* section, const wchar_t* key, IKZData* data) override {
    asked.push_back(std::wstring(L"write ") + section + L"/" + key);
    if (SUCCEEDED(write_result)) stored = data;
    return write_result;
  }
  HRESULT RemoveData(const wchar_t*, const wchar_t*) override { return E_NOTIMPL; }
  HRESULT GetKeys(const wchar_t*, IKZArray**) override { return E_NOTIMPL; }
};

std::vector<int> Flags(const CTabBtnMenuSetting& s) {
  return {s.ShowAccount,   s.ShowName,   s.ShowAllContact, s.ShowOnlineContact, s.OnlineFirstRank,
          s.ShowNameOuter, s.ShowPsInfo, s.ShowStranger,   s.ShowBlackList};
}

const std::vector<int> kDefaults = {1, 0, 1, 0, 1, 1, 0, 1, 1};

class TabBarTest : public PanelMenuTest {
 protected:
  void TearDown() override {
    SetOnlineShowFirst(1);
    PanelMenuTest::TearDown();
  }
  // The stored bag as JSON, read straight from the store.
  std::string StoredJson() {
    CKZComPtr<IKZSettingsStore> store;
    core()->GetService(IKZSettingsStore::kIid, reinterpret_cast<void**>(&store));
    CKZComPtr<IKZData> bag;
    if (!store || FAILED(store->ReadData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", &bag))) {
      return "(nothing)";
    }
    return Json(bag);
  }
  std::wstring Menu(DWORD tab, IKZData* data, const CTabBtnMenuSetting& setting) {
    std::int64_t live = platform::LiveObjectCount();
    IGFMenu* menu = nullptr;
    long hr = GetTBarDisplayTypeMenu(&menu, data, setting, tab);
    return Built(static_cast<HRESULT>(hr), menu, live);
  }
  std::vector<std::wstring> NewAsserts(std::size_t from) const {
    std::vector<std::wstring> out;
    for (std::size_t i = from; i < asserts().size(); ++i) {
      out.push_back(std::to_wstring(asserts()[i].line) + L":" + asserts()[i].expression);
    }
    return out;
  }
};

TEST_F(TabBarTest, SaveThenReadRoundTripsThroughTheProfileStore) {
  AddSettingsStore();
  const CTabBtnMenuSetting cases[] = {
      {0, 1, 0, 1, 0, 0, 1, 0, 0},
      {1, 1, 1, 1, 1, 1, 1, 1, 1},
      {0, 0, 0, 0, 0, 0, 0, 0, 0},
      {1, 0, 0, 1, 1, 0, 1, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(Flags(c)));
    CTabBtnMenuSetting saved = c;
    ASSERT_EQ(SaveTabBtnMenuSetting(saved), 1);
    CTabBtnMenuSetting read;
    read.ShowAccount = 7;
    SetOnlineShowFirst(9);
    ASSERT_EQ(ReadTabBtnMenuSetting(read), 1);
    EXPECT_EQ(Flags(read), Flags(c));
    EXPECT_EQ(GetOnlineShowFirst(), c.OnlineFirstRank);
  }
  // The stored bag: nine booleans in storage order (remarks before names).
  EXPECT_EQ(StoredJson(), R"({"ShowAccount":true,"ShowName":false,"ShowAllContact":false,)"
                          R"("ShowOnlineContact":true,"OnlineFirstRank":true,"ShowPsInfo":true,)"
                          R"("ShowNameOuter":false,"ShowStranger":false,"ShowBlackList":true})");
  // Saving leaves the online-first flag alone.
  CTabBtnMenuSetting off;
  off.OnlineFirstRank = 0;
  SetOnlineShowFirst(1);
  ASSERT_EQ(SaveTabBtnMenuSetting(off), 1);
  EXPECT_EQ(GetOnlineShowFirst(), 1);
  EXPECT_TRUE(asserts().empty());
}

TEST_F(TabBarTest, StoredBagsWithMissingOrMistypedFields) {
  const struct {
    const char* stored;
    std::vector<int> flags;
  } cases[] = {
      // No "ShowStranger": it keeps its default; the others are read.
      {R"({"ShowAccount":false,"ShowName":true,"ShowAllContact":false,"ShowOnlineContact":true,
          "OnlineFirstRank":false,"ShowPsInfo":true,"ShowNameOuter":false,"ShowBlackList":false})",
       {0, 1, 0, 1, 0, 0, 1, 1, 0}},
      // Texts and numbers where booleans belong: defaults.
      {R"({"ShowAccount":"0","ShowName":1,"OnlineFirstRank":{"@u64":0},"ShowPsInfo":true})",
       {1, 0, 1, 0, 1, 1, 1, 1, 1}},
      {"{}", kDefaults},
  };
  CKZComPtr<ScriptedStore> store;
  store.Attach(new ScriptedStore());
  AddService(IKZSettingsStore::kIid, store);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    store->stored = Bag(c.stored);
    CTabBtnMenuSetting read;
    EXPECT_EQ(ReadTabBtnMenuSetting(read), 1);
    EXPECT_EQ(Flags(read), c.flags);
  }
  EXPECT_EQ(store->asked.front(), L"read OrgstructAndCustomPage/TBarTabBtnSetting");
  store->stored = nullptr;
  EXPECT_TRUE(asserts().empty());
}

TEST_F(TabBarTest, StoreMissingOrFailing) {
  CKZComPtr<ScriptedStore> store;
  store.Attach(new ScriptedStore());
  const struct {
    const char* label;
    bool present;
    HRESULT read_result;
    HRESULT write_result;
    long read;
    long saved;
    std::vector<std::wstring> asserts;
  } cases[] = {
      {"no store", false, S_OK, S_OK, 0, 0, {L"639:NULL", L"673:NULL"}},
      {"nothing stored", true, KZ_E_NOTFOUND, S_OK, 0, 1, {L"647:NULL"}},
      {"store refuses", true, KZ_E_STORE, KZ_E_STORE_READONLY, 0, 0, {L"647:NULL", L"700:NULL"}},
      {"read succeeds without a bag", true, S_OK, E_FAIL, 0, 0, {L"647:NULL", L"700:NULL"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    AddService(IKZSettingsStore::kIid, c.present ? store.Get() : nullptr);
    store->read_result = c.read_result;
    store->write_result = c.write_result;
    store->stored = nullptr;
    const std::size_t seen = asserts().size();
    CTabBtnMenuSetting setting{0, 1, 0, 1, 0, 0, 1, 0, 0};
    SetOnlineShowFirst(5);
    EXPECT_EQ(ReadTabBtnMenuSetting(setting), c.read);
    EXPECT_EQ(Flags(setting), kDefaults);  // the defaults, whatever it held
    EXPECT_EQ(GetOnlineShowFirst(), 5);    // not told after a failed read
    EXPECT_EQ(SaveTabBtnMenuSetting(setting), c.saved);
    EXPECT_EQ(NewAsserts(seen), c.asserts);
  }
  store->stored = nullptr;
}

TEST_F(TabBarTest, OrganisationMenuForEveryTabButTheExternalOne) {
  AddSettingsStore();
  const struct {
    DWORD tab;
    int online;
    DWORD hide_switch;  // 0: not stored
    int online_first;
    std::wstring menu;
  } cases[] = {
      {0, 1, 1, 1,
       L"MENU_WREN_ONLINEFIRSTRANK \"WREN_OnlineFirstRank\" [x]\n"
       L"MENU_MainMenu_UpdateOrg \"WREN_MainMenu_UpdateOrg\"\n"
       L"MENU_MianMenu_HidDeactEmp \"WREN_MianMenu_HidDeactEmp\" [x]\n"},
      {1, 0, 2, 0,
       L"MENU_WREN_ONLINEFIRSTRANK \"WREN_OnlineFirstRank\" [ ]\n"
       L"MENU_MainMenu_UpdateOrg \"WREN_MainMenu_UpdateOrg\" (greyed)\n"
       L"MENU_MianMenu_HidDeactEmp \"WREN_MianMenu_HidDeactEmp\" [ ]\n"},
      {3, 1, 0, 1,
       L"MENU_WREN_ONLINEFIRSTRANK \"WREN_OnlineFirstRank\" [x]\n"
       L"MENU_MainMenu_UpdateOrg \"WREN_MainMenu_UpdateOrg\"\n"
       L"MENU_MianMenu_HidDeactEmp \"WREN_MianMenu_HidDeactEmp\" [ ]\n"},
      {0xFFFFFFFF, 1, 0xFFFFFFFF, 1,
       L"MENU_WREN_ONLINEFIRSTRANK \"WREN_OnlineFirstRank\" [x]\n"
       L"MENU_MainMenu_UpdateOrg \"WREN_MainMenu_UpdateOrg\"\n"
       L"MENU_MianMenu_HidDeactEmp \"WREN_MianMenu_HidDeactEmp\" [ ]\n"},
  };
  CKZComPtr<IKZData> data = Bag(R"({"tab": 1})");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tab);
    platform::SetContactOnline(kSelf, c.online);
    if (c.hide_switch != 0) {
      ASSERT_EQ(Util::KVData::SetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", c.hide_switch),
                S_OK);
    } else {
      Util::KVData::Remove(L"Misc", L"szSubKey_OrgExtuinHideSwitch");
    }
    CTabBtnMenuSetting setting;
    setting.OnlineFirstRank = c.online_first;
    EXPECT_EQ(Menu(c.tab, data, setting), c.menu);
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(TabBarTest, ExternalTabMenu) {
  const CTabBtnMenuSetting setting{1, 0, 0, 1, 1, 0, 1, 1, 0};
  const std::wstring refresh = L"MENU_WREN_REFRESHBUDDYLIST \"WRENMenu_RefreshBuddyList\" +data\n";
  const std::wstring head =
      L"MENU_WREN_SHOWPSINFO \"WRENMenu_ShowRemark\" [x]\n"
      L"MENU_WREN_SHOWNAMEOUTER \"WREN_ShowName\" [ ]\n"
      L"----\n"
      L"MENU_WREN_SHOWALLCONTACT \"WREN_ShowAllContact\" [ ]\n"
      L"MENU_WREN_SHOWONLINECONTACT \"WREN_ShowOnlineContact\" [x]\n"
      L"----\n"
      L"MENU_WREN_ONLINEFIRSTRANK \"WREN_OnlineFirstRank\" [x]\n";
  const std::wstring tail =
      L"----\n"
      L"MENU_WREN_SHOWSTRANGERGROUP \"WRENMenu_ShowStranger\" [x]\n"
      L"MENU_WREN_SHOWBLACKLISTGROUP \"WRENMenu_ShowBlackList\" [ ]\n";
  CKZComPtr<IKZData> data = Bag(R"({"SelectUins": [10002]})");
  EXPECT_EQ(Menu(2, data, setting), head + refresh + tail);
  std::int64_t live = platform::LiveObjectCount();
  IGFMenu* menu = nullptr;
  EXPECT_EQ(GetTBarDisplayTypeMenuOuter(&menu, data, setting), 0);
  EXPECT_EQ(Built(S_OK, menu, live), head + refresh + tail);
  EXPECT_TRUE(asserts().empty());

  // Without a data bag the refresh item is refused and left out.
  EXPECT_EQ(Menu(2, nullptr, setting), head + tail);
  EXPECT_EQ(NewAsserts(0), std::vector<std::wstring>{L"101:FALSE"});
}

TEST_F(TabBarTest, MenusThatCannotBeCreatedAndNullSlots) {
  const CTabBtnMenuSetting setting;
  const struct {
    DWORD tab;
    bool outer_call;
    int line;
  } cases[] = {{0, false, 522}, {2, false, 581}, {0, true, 581}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    FailMenu(1);
    const std::size_t seen = asserts().size();
    IGFMenu* menu = reinterpret_cast<IGFMenu*>(0x1);
    long hr = c.outer_call ? GetTBarDisplayTypeMenuOuter(&menu, nullptr, setting)
                           : GetTBarDisplayTypeMenu(&menu, nullptr, setting, c.tab);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(menu, reinterpret_cast<IGFMenu*>(0x1));
    EXPECT_EQ(NewAsserts(seen), std::vector<std::wstring>{std::to_wstring(c.line) + L":FALSE"});
  }
  EXPECT_EQ(GetTBarDisplayTypeMenu(nullptr, nullptr, setting, 0), E_POINTER);
  EXPECT_EQ(GetTBarDisplayTypeMenu(nullptr, nullptr, setting, 2), E_POINTER);
  EXPECT_EQ(GetTBarDisplayTypeMenuOuter(nullptr, nullptr, setting), E_POINTER);
  EXPECT_EQ(asserts().size(), 3u);
}

}  // namespace
}  // namespace wrenutil_menu_test
