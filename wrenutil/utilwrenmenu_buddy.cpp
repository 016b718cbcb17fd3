// Util::UtilWRENMenu: the buddy menu and what it asks of the platform.
#include <string>

#include "common/include/utilcore.h"
#include "common/include/utillog.h"
#include "include/utilmarlinprivilege.h"
#include "platform/afutil/afutil.h"
#include "platform/gf/gf_extension.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/menuservices.h"
#include "wrenutil/internal/boundary.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"
#include "wrenutil/utilwrenmenu.h"

namespace Util::MarlinFreContact {

int IsInFreContactList(int kind, const wchar_t* id) {
  std::wstring key = std::to_wstring(kind) + L"_" + (id ? id : L"");
  CKZComPtr<IKZFreContactDataService> service;
  if (!GetService(IKZFreContactDataService::kIid, &service) || !service) {
    wrenutil::internal::WrenLogWithContext(
        L"file", 60, L"func", 2, L"ML_Others_Util::MarlinFreContact",
        L"%s: IMLFreContactListDataMgr获取失败", L"Util::MarlinFreContact::IsInFreContactList");
    return 0;
  }
  CKZComPtr<IKZArray> entries;
  if (FAILED(service->GetFreContactList(&entries)) || !entries) return 0;
  DWORD count = 0;
  entries->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> entry;
    if (FAILED(entries->GetKZDataRead(i, &entry)) || !entry) continue;
    CKZBSTR type_id;
    if (SUCCEEDED(entry->GetStr("str_typeid", &type_id)) && key == type_id.c_str()) return 1;
  }
  return 0;
}

}  // namespace Util::MarlinFreContact

namespace Util::UtilWRENMenu {

using internal::kSource;
using internal::Text;

namespace {

constexpr GUID kBuddyPoint = platform::MakeGuid("{C5B624FE-9778-45FB-9CFE-212FB603BA28}");
constexpr DWORD kFrequentContactsPrivilege = 550;
constexpr std::uint64_t kHideFrequentContactsFlag = 0x80;
constexpr DWORD kSpecialCareReport = 0x800C0AB;
constexpr wchar_t kSendMsgIcon[] =
    L"platform"
    L"res:"
    L"MainPanel\\menu\\sendmsg.png";
constexpr wchar_t kContactMgrIcon[] =
    L"platform"
    L"res:"
    L"MainPanel\\menu\\contactmgr.png";
constexpr wchar_t kCareIcon[] = L"platformres:ContactInfoFrame/card_defmenu_icon_care.png";
constexpr wchar_t kCaredIcon[] = L"platformres:ContactInfoFrame/card_defmenu_icon_cared.png";

std::uint64_t AccountFlags() {
  CKZComPtr<IKZAccountService> account;
  if (!GetService(IKZAccountService::kIid, &account) || !account) return 0;
  std::uint64_t flags = 0;
  account->GetAccountFlags(&flags);
  return flags;
}

// Appends an item with a text, a name (may be null), the item data bag and,
// when `flag` is non-negative, that item flag. False when no item was made.
bool AppendPlainItem(IGFMenu* menu, const wchar_t* text, const wchar_t* name, IKZData* bag,
                     IGFMenu* sub, int flag) {
  CKZComPtr<IGFMenuItem> item;
  if (FAILED(menu->CreateItem(&item)) || !item) return false;
  item->SetText(text);
  if (name != nullptr) item->SetName(name);
  if (bag != nullptr) item->SetUserData(bag);
  if (sub != nullptr) item->SetSubMenu(sub);
  if (flag >= 0) item->SetItemFlag(flag);
  menu->AppendItem(item);
  return true;
}

// Step of the frequent-contacts entry: false to stop the menu with result 1.
bool AddFrequentContactsEntry(IGFMenu* menu, DWORD uin, IKZData* bag) {
  if (Util::MarlinFreContact::IsInFreContactList(1, std::to_wstring(uin).c_str()) != 0) {
    CKZStringW remove = Text(L"FrequentRemoveFromGroup");
    return AppendPlainItem(menu, remove, remove, bag, nullptr, -1);
  }
  CKZComPtr<IKZFreContactGroupService> groups;
  if (!GetService(IKZFreContactGroupService::kIid, &groups) || !groups) return false;
  CKZComPtr<IGFMenu> sub = internal::CreateMenu();
  if (!sub) return false;
  if (!AppendPlainItem(sub, Text(L"CCAddrListPage_MyFrequentContact"), L"0", bag, nullptr, -1)) {
    return false;
  }
  CKZComPtr<IKZArray> list;
  if (SUCCEEDED(groups->GetGroupList(&list)) && list) {
    DWORD count = 0;
    list->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      DWORD group = 0;
      list->GetDWord(i, &group);
      CKZBSTR name;
      groups->GetGroupName(group, &name);
      if (!AppendPlainItem(sub, name.c_str(), std::to_wstring(group).c_str(), bag, nullptr, 0)) {
        return false;
      }
    }
  }
  CKZStringW add_group = Text(L"CCAddrListPage_MyFreContactAddGroup");
  if (!AppendPlainItem(sub, add_group, add_group, bag, nullptr, -1)) return false;
  return AppendPlainItem(menu, Text(L"CCAddrListPage_Add2FrequentContact"), nullptr, nullptr, sub,
                         -1);
}

// Step of the outer-contact authority submenu: false to stop with result 1.
bool AddOuterAuthority(IGFMenu* menu, DWORD uin, IKZData* bag) {
  CKZComPtr<IKZOuterAuthService> auth;
  if (!GetService(IKZOuterAuthService::kIid, &auth) || !auth) return false;
  DWORD invisible = 0;
  CKZComPtr<IKZData> auth_setting;
  if (SUCCEEDED(auth->GetAuthSetting(uin, &auth_setting)) && auth_setting) {
    auth_setting->GetDWord("bInvisible", &invisible);
  }
  DWORD prevented = 0;
  CKZComPtr<IKZOuterMsgBlockService> block;
  CKZComPtr<IKZData> block_setting;
  if (GetService(IKZOuterMsgBlockService::kIid, &block) && block &&
      SUCCEEDED(block->GetBlockSetting(uin, &block_setting)) && block_setting) {
    block_setting->GetDWord("bPrevented", &prevented);
  }
  CKZComPtr<IGFMenu> sub = internal::CreateMenu();
  if (!sub) return true;
  constexpr auto kDataCheck = static_cast<enMenuMask>(enMask_Data | enMask_Check);
  AddMenuItem(sub, L"MENU_WREN_ID_OUTER_SET_AUTH_BLOCK_MSG",
              Text(L"MENU_WREN_OUTER_BLOCK_USER_MESSAGE"), 1, kDataCheck, bag,
              static_cast<int>(prevented), nullptr);
  AddMenuItem(sub, L"MENU_WREN_ID_OUTER_SET_AUTH_SET_INVISIABLE",
              Text(L"MENU_WREN_OUTER_SHOW_NOT_ONLINE_TO_THISUSER"), 1, kDataCheck, bag,
              static_cast<int>(invisible), nullptr);
  AddMenuItem(menu, L"MENU_WREN_ID_OUTER_SET_AUTH", Text(L"MENU_WREN_ID_OUTER_SET_AUTH"), 1,
              enMask_SubMenu, nullptr, 0, sub);
  AddSeperaorWithName(menu, L"sep2");
  return true;
}

void AddShortcutItem(IGFMenu* menu, DWORD uin, IKZData* bag) {
  CKZComPtr<IKZShortcutService> shortcut;
  if (!GetService(IKZShortcutService::kIid, &shortcut) || !shortcut) return;
  BYTE state = 0;
  if (FAILED(shortcut->GetShortcutState(uin, 1, &state))) return;
  if (state == 1) {
    AddMenuItem(menu, L"MENU_WREN_ADD_SHORTCUT", Text(L"WREN_Menu_Add_Shortcut"), 1, enMask_Data,
                bag, 0, nullptr);
  } else if (state == 2) {
    AddMenuItem(menu, L"MENU_WREN_DEL_SHORTCUT", Text(L"WREN_Menu_Del_Shortcut"), 1, enMask_Data,
                bag, 0, nullptr);
  }
}

// Step of special care and contact management: false to end with result 1.
bool AddContactManagement(IGFMenu* menu, DWORD self, DWORD uin, IKZData* bag, int self_online) {
  CKZComPtr<IGFMenu> sub = internal::CreateMenu();
  CKZComPtr<IGFMenuItem> care;
  if (!sub || FAILED(sub->CreateItem(&care)) || !care) return false;
  CKZComPtr<IKZSpecialCareService> service;
  if (GetService(IKZSpecialCareService::kIid, &service) && service) {
    int cared = 0;
    service->IsSpecialCare(uin, &cared);
    care->SetText(Text(cared != 0 ? L"CancelSpecialCare" : L"SpecialCare"));
    care->SetIcon(cared != 0 ? kCaredIcon : kCareIcon);
    care->SetName(L"MENU_WREN_SPECALCARE");
    if (bag != nullptr) care->SetUserData(bag);
    sub->AppendItem(care);
  }
  Util::DataReport2::RealTimeReport(kSpecialCareReport, self, uin, L"", L"", 0);
  AddMenuItemWithIcon(menu, L"MENU_WREN_ContactMgrListp", Text(L"MainPanel_Menu_ContactMgrList"),
                      kContactMgrIcon, self_online, enMask_SubMenu, nullptr, 0, sub);
  return true;
}

}  // namespace

std::int8_t ClassifyContact(DWORD uin) {
  if (uin == Util::Contact::GetSelfUin()) return 5;
  if (internal::IsOrgMember(uin)) return 0;
  CKZComPtr<IKZOuterContactService> outer;
  if (!GetService(IKZOuterContactService::kIid, &outer) || !outer) return -1;
  DWORD kind = 0;
  outer->GetAccountKind(uin, &kind);
  return kind == 1 ? 2 : 3;
}

int BuildBuddyMenuExtContext(IKZArray* selection, IKZData** bag_out) {
  if (selection == nullptr || bag_out == nullptr) return 0;
  CKZComPtr<IKZData> bag;
  if (!Util::Data::CreateKZData(&bag) || !bag) return 0;
  bag->SetDWord("cFrom", 2);
  DWORD count = 0;
  selection->GetCount(&count);
  if (count == 1) {
    DWORD uin = 0;
    selection->GetDWord(0, &uin);
    bag->SetDWord("dwUin", uin);
  }
  if (count > 0) {
    CKZComPtr<IKZArray> inner, lm, wren;
    if (!Util::Data::CreateKZArray(&inner) || !Util::Data::CreateKZArray(&lm) ||
        !Util::Data::CreateKZArray(&wren)) {
      WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineExtContextArrays);
      return 0;
    }
    for (DWORD i = 0; i < count; ++i) {
      DWORD uin = 0;
      selection->GetDWord(i, &uin);
      switch (ClassifyContact(uin)) {
        case 5:
        case 0:
          inner->AddDWord(uin);
          break;
        case 2:
          wren->AddDWord(uin);
          break;
        case 3:
          lm->AddDWord(uin);
          break;
        default:
          break;
      }
    }
    const std::pair<const char*, IKZArray*> arrays[] = {
        {"arInnerContactsUin", inner}, {"arLMContactsUin", lm}, {"arWRENContactsUin", wren}};
    for (const auto& [name, array] : arrays) {
      DWORD n = 0;
      array->GetCount(&n);
      if (n != 0) bag->SetKZArray(name, array);
    }
  }
  *bag_out = bag.Detach();
  return 1;
}

int RunBuddyMenuExtensionPoint(IGFMenu* menu, IKZData* context) {
  if (menu == nullptr || context == nullptr) return 0;
  CKZComPtr<IKZExtensionInvoker> invoker;
  CKZComPtr<IKZExtensionDescriptor> descriptor;
  CKZComPtr<IGFExtensionHost> host;
  ::CreateObject(IKZExtensionInvoker::kIid, &invoker);
  ::CreateObject(IKZExtensionDescriptor::kIid, &descriptor);
  menu->QueryInterface(IGFExtensionHost::kIid, reinterpret_cast<void**>(&host));
  if (!invoker || !descriptor || !host) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineRunExtension);
    return 0;
  }
  descriptor->SetExtensionPointId(kBuddyPoint);
  host->AttachExtensionDescriptor(descriptor);
  invoker->SetExtensionPointId(kBuddyPoint);
  invoker->SetContext(context);
  return invoker->Invoke(menu, 0) >= 0 ? 1 : 0;
}

static HRESULT GetBuddyMenuUnguarded(IKZArray* selection, IGFMenu** menu_out, IKZData* context) {
  if (selection == nullptr || menu_out == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineBuddyArgs);
    return E_FAIL;
  }
  CKZComPtr<IGFMenu> menu = internal::CreateMenu();
  if (!menu) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineBuddyNoMenu);
    return E_FAIL;
  }

  CKZComPtr<IKZData> bag = internal::CreateItemBag();
  if (bag) bag->SetKZArray("SelectUins", selection);
  std::uint32_t multi_folder = 0, show_del_group = 0, show_del_recent = 0, stranger = 0;
  if (context != nullptr) {
    if (bag) context->CopyField("MENU_WREN_SELECT_ITEM_ARRAY", bag);
    multi_folder = internal::ReadFlag(context, "MENU_WREN_SELECT_IS_MULTI_FOLDER_USERS", 0);
    show_del_group = internal::ReadFlag(context, "MENU_WREN_SHOWDELFROMUSERDEFINEDGROUP", 0);
    show_del_recent = internal::ReadFlag(context, "MENU_WREN_SHOWDELFROMRECENTFOLDER", 0);
    if (internal::ReadFlag(context, "MENU_WREN_SELECT_OUTER_CONTACTS", 0) != 0 &&
        internal::ReadFlag(context, "MENU_WREN_SELECT_OUTER_BUDDIES", 0) == 0) {
      stranger = internal::ReadFlag(context, "MENU_WREN_SELECT_OUTER_STRANGER", 0);
    }
  }

  DWORD count = 0;
  selection->GetCount(&count);
  if (count == 0) {
    WREN_ASSERT_AT(L"!L\"No User selected!\"", kSource, internal::kLineBuddyNoUser);
    return E_FAIL;
  }
  const bool single = count == 1;
  DWORD uin = 0;
  selection->GetDWord(0, &uin);
  const DWORD self = Util::Contact::GetSelfUin();
  const bool is_self = uin == self;
  const int self_online = Util::Contact::IsOnline(self);

  if (single && is_self) {
    AddMenuItem(menu, L"MENU_WREN_USERINFO", Text(L"WREN_UserInfo"), 1, enMask_Data, bag, 0,
                nullptr);
    internal::HandOut(menu, menu_out);
    return S_OK;
  }

  if (!is_self && Util::MarlinPrivilege::HavePrivilege(kFrequentContactsPrivilege) &&
      (AccountFlags() & kHideFrequentContactsFlag) == 0) {
    if (!AddFrequentContactsEntry(menu, uin, bag)) return S_FALSE;
  }

  if (single) {
    AddMenuItemWithIcon(menu, L"Send_Message", Text(L"WREN_SendIM"), kSendMsgIcon, self_online,
                        enMask_Data, bag, 0, nullptr);
  } else if (Util::MarlinPrivilege::HaveWorkerNumCommuicationPrivilege()) {
    AddMenuItemWithIcon(menu, L"Send_Message", Text(L"WREN_MENU_CreateDisc"), nullptr, self_online,
                        enMask_Data, bag, 0, nullptr);
  }
  AddSeperaorWithName(menu, L"sep1");

  if (single && !internal::IsOrgMember(uin)) {
    if (!AddOuterAuthority(menu, uin, bag)) return S_FALSE;
  }

  if (context != nullptr) {
    if (show_del_group != 0) {
      AddMenuItem(menu, L"MENU_WREN_DELFROMCUSTOMGROUP", Text(L"WREN_DelFromUserGroup"), 1,
                  enMask_Data, bag, 0, nullptr);
    }
    if (show_del_recent != 0) {
      AddMenuItem(menu, L"MENU_WREN_DELFROMRECENT", Text(L"WREN_DelFromRecent"), 1, enMask_Data,
                  bag, 0, nullptr);
    }
  }

  if (single && multi_folder == 0) {
    AddSeperaorWithName(menu, L"sep3");
    AddMenuItem(menu, L"MENU_WREN_USERINFO", Text(L"WREN_UserInfo"), 1, enMask_Data, bag, 0,
                nullptr);
    if (Util::Misc::C2CAvodiance::GetSelfAvoidanceAuthFlag() != 0) {
      AddMenuItem(menu, L"MENU_MARLIN_MSGAVOIDANCE", Text(L"C2C_Avoidance_Menu_H"), self_online,
                  static_cast<enMenuMask>(enMask_Data | enMask_Check), bag,
                  Util::Misc::C2CAvodiance::GetC2CAvoidanceFlag(uin), nullptr);
    }
    AddShortcutItem(menu, uin, bag);
  }

  // From here on the caller has the menu, whatever happens below.
  internal::HandOut(menu, menu_out);

  CKZComPtr<IKZData> ext_context;
  if (!BuildBuddyMenuExtContext(selection, &ext_context)) {
    WREN_ASSERT_AT(L"!L\"创建联系人菜单扩展失败\"", kSource, internal::kLineBuddyExtContext);
  } else {
    RunBuddyMenuExtensionPoint(menu, ext_context);
    menu->RemoveItemByName(L"{C2D4E5CE-E193-4017-9DED-9CAEE665161A}");
    menu->RemoveItemByName(L"{EB983FF6-0C5F-4E03-9211-0F2443606929}");
  }

  if (stranger == 0 && !is_self) {
    if (!AddContactManagement(menu, self, uin, bag, self_online)) return S_FALSE;
  }
  return S_OK;
}

// Exceptions stop here (see internal/boundary.h).
HRESULT GetBuddyMenu(IKZArray* selection, IGFMenu** menu_out, IKZData* context) {
  return wrenutil::internal::BoundaryHr(
      [&] { return GetBuddyMenuUnguarded(selection, menu_out, context); });
}

}  // namespace Util::UtilWRENMenu
