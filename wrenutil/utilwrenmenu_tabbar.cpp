// Util::UtilWRENMenu::TBarMenuDisplayMode: the tab bar's display setting and
// its two menus.
#include "common/include/utilcore.h"
#include "platform/common/settingsstore.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kvdata/kvdata.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"
#include "wrenutil/utilgftbar.h"
#include "wrenutil/utilwrenmenu.h"

namespace Util::UtilWRENMenu::TBarMenuDisplayMode {

using internal::kSource;
using internal::Text;

namespace {

constexpr wchar_t kSection[] = L"OrgstructAndCustomPage";
constexpr wchar_t kKey[] = L"TBarTabBtnSetting";

// The fields in the order the stored bag holds them.
struct StoredField {
  const char* name;
  int CTabBtnMenuSetting::*field;
};
constexpr StoredField kStorageOrder[] = {
    {"ShowAccount", &CTabBtnMenuSetting::ShowAccount},
    {"ShowName", &CTabBtnMenuSetting::ShowName},
    {"ShowAllContact", &CTabBtnMenuSetting::ShowAllContact},
    {"ShowOnlineContact", &CTabBtnMenuSetting::ShowOnlineContact},
    {"OnlineFirstRank", &CTabBtnMenuSetting::OnlineFirstRank},
    {"ShowPsInfo", &CTabBtnMenuSetting::ShowPsInfo},
    {"ShowNameOuter", &CTabBtnMenuSetting::ShowNameOuter},
    {"ShowStranger", &CTabBtnMenuSetting::ShowStranger},
    {"ShowBlackList", &CTabBtnMenuSetting::ShowBlackList},
};

constexpr enMenuMask kCheck = enMask_Check;

void AddCheck(IGFMenu* menu, const wchar_t* name, const wchar_t* key, int check) {
  AddMenuItem(menu, name, Text(key), 1, kCheck, nullptr, check, nullptr);
}

}  // namespace

long ReadTabBtnMenuSetting(CTabBtnMenuSetting& setting) {
  setting = CTabBtnMenuSetting{};
  CKZComPtr<IKZSettingsStore> store;
  if (!GetService(IKZSettingsStore::kIid, &store) || !store) {
    WREN_ASSERT_AT(L"NULL", kSource, internal::kLineReadSettingNoStore);
    return 0;
  }
  CKZComPtr<IKZData> bag;
  if (FAILED(store->ReadData(kSection, kKey, &bag)) || !bag) {
    WREN_ASSERT_AT(L"NULL", kSource, internal::kLineReadSettingFailed);
    return 0;
  }
  for (const StoredField& f : kStorageOrder) {
    int value = 0;
    if (SUCCEEDED(bag->GetBool(f.name, &value))) setting.*f.field = value;
  }
  Util::UtilGFTbar::Misc::SetOnlineShowFirst(setting.OnlineFirstRank);
  return 1;
}

long SaveTabBtnMenuSetting(CTabBtnMenuSetting& setting) {
  CKZComPtr<IKZSettingsStore> store;
  if (!GetService(IKZSettingsStore::kIid, &store) || !store) {
    WREN_ASSERT_AT(L"NULL", kSource, internal::kLineSaveSettingNoStore);
    return 0;
  }
  CKZComPtr<IKZData> bag;
  if (!Util::Data::CreateKZData(&bag) || !bag) {
    WREN_ASSERT_AT(L"NULL", kSource, internal::kLineSaveSettingNoBag);
    return 0;
  }
  for (const StoredField& f : kStorageOrder) bag->SetBool(f.name, setting.*f.field);
  if (FAILED(store->WriteData(kSection, kKey, bag))) {
    WREN_ASSERT_AT(L"NULL", kSource, internal::kLineSaveSettingFailed);
    return 0;
  }
  return 1;
}

long GetTBarDisplayTypeMenu(IGFMenu** menu_out, IKZData* data, const CTabBtnMenuSetting& setting,
                            DWORD tabType) {
  if (menu_out == nullptr) return E_POINTER;
  if (tabType == 2) return GetTBarDisplayTypeMenuOuter(menu_out, data, setting);
  CKZComPtr<IGFMenu> menu = internal::CreateMenu();
  if (!menu) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineTabBarNoMenu);
    return E_FAIL;
  }
  AddCheck(menu, L"MENU_WREN_ONLINEFIRSTRANK", L"WREN_OnlineFirstRank", setting.OnlineFirstRank);
  AddMenuItem(menu, L"MENU_MainMenu_UpdateOrg", Text(L"WREN_MainMenu_UpdateOrg"),
              Util::Contact::IsOnline(Util::Contact::GetSelfUin()), enMenuMask{}, nullptr, 0,
              nullptr);
  DWORD hide = Util::KVData::GetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 0);
  AddCheck(menu, L"MENU_MianMenu_HidDeactEmp", L"WREN_MianMenu_HidDeactEmp", hide == 1 ? 1 : 0);
  internal::HandOut(menu, menu_out);
  return 0;
}

long GetTBarDisplayTypeMenuOuter(IGFMenu** menu_out, IKZData* data,
                                 const CTabBtnMenuSetting& setting) {
  if (menu_out == nullptr) return E_POINTER;
  CKZComPtr<IGFMenu> menu = internal::CreateMenu();
  if (!menu) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineTabBarOuterNoMenu);
    return E_FAIL;
  }
  AddCheck(menu, L"MENU_WREN_SHOWPSINFO", L"WRENMenu_ShowRemark", setting.ShowPsInfo);
  AddCheck(menu, L"MENU_WREN_SHOWNAMEOUTER", L"WREN_ShowName", setting.ShowNameOuter);
  AddSeperaor(menu);
  AddCheck(menu, L"MENU_WREN_SHOWALLCONTACT", L"WREN_ShowAllContact", setting.ShowAllContact);
  AddCheck(menu, L"MENU_WREN_SHOWONLINECONTACT", L"WREN_ShowOnlineContact",
           setting.ShowOnlineContact);
  AddSeperaor(menu);
  AddCheck(menu, L"MENU_WREN_ONLINEFIRSTRANK", L"WREN_OnlineFirstRank", setting.OnlineFirstRank);
  AddMenuItem(menu, L"MENU_WREN_REFRESHBUDDYLIST", Text(L"WRENMenu_RefreshBuddyList"), 1,
              enMask_Data, data, 0, nullptr);
  AddSeperaor(menu);
  AddCheck(menu, L"MENU_WREN_SHOWSTRANGERGROUP", L"WRENMenu_ShowStranger", setting.ShowStranger);
  AddCheck(menu, L"MENU_WREN_SHOWBLACKLISTGROUP", L"WRENMenu_ShowBlackList", setting.ShowBlackList);
  internal::HandOut(menu, menu_out);
  return 0;
}

}  // namespace Util::UtilWRENMenu::TBarMenuDisplayMode
