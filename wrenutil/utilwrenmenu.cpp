// Util::UtilWRENMenu: the menu primitives, the shared helpers, and the
// department and outer-group menus.
#include "wrenutil/utilwrenmenu.h"

#include "common/include/utilcore.h"
#include "include/utilmarlinprivilege.h"
#include "platform/common/kzres.h"
#include "platform/gf/gf_extension.h"
#include "platform/kernelutil/orgmembership.h"
#include "wrenutil/internal/boundary.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"

namespace Util::UtilWRENMenu {
namespace internal {

CKZStringW Text(const wchar_t* key) { return KZLoadString(key, L"platform"); }

std::uint32_t ReadFlag(IKZData* bag, const char* name, std::uint32_t fallback) {
  if (bag == nullptr) return fallback;
  DWORD value = 0;
  if (SUCCEEDED(bag->GetDWord(name, &value))) return value;
  std::int32_t signed_value = 0;
  if (SUCCEEDED(bag->GetInt32(name, &signed_value))) {
    return static_cast<std::uint32_t>(signed_value);
  }
  int flag = 0;
  if (SUCCEEDED(bag->GetBool(name, &flag))) return static_cast<std::uint32_t>(flag);
  return fallback;
}

CKZComPtr<IGFMenu> CreateMenu() {
  CKZComPtr<IGFMenu> menu;
  if (!::CreateObject(IGFMenu::kIid, &menu) || !menu) return nullptr;
  menu->Initialize(0, 0);
  return menu;
}

CKZComPtr<IKZData> CreateItemBag() {
  CKZComPtr<IKZData> bag;
  if (!::CreateObject(kItemDataClass, &bag)) return nullptr;
  return bag;
}

int IsOrgMember(DWORD uin) {
  CKZComPtr<IKZOrgMembershipService> service;
  if (!GetService(IKZOrgMembershipService::kIid, &service) || !service) return 0;
  DWORD member = 0;
  service->IsOrgMember(uin, &member);
  return member != 0 ? 1 : 0;
}

void HandOut(IGFMenu* menu, IGFMenu** out) {
  *out = menu;
  menu->AddRef();
}

}  // namespace internal

using internal::kSource;

namespace {

// The common body of AddMenuItem and AddMenuItemWithIcon.
HRESULT AddItem(IGFMenu* menu, const wchar_t* name, const wchar_t* text, bool with_icon,
                const wchar_t* icon, int enable, enMenuMask mask, IKZData* data, int check,
                IGFMenu* subMenu) {
  if (menu == nullptr || name == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItemArgs);
    return E_FAIL;
  }
  CKZComPtr<IGFMenuItem> item;
  if (FAILED(menu->CreateItem(&item)) || !item) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItemNoItem);
    return E_FAIL;
  }
  item->SetText(text);
  item->SetName(name);
  if (with_icon) item->SetIcon(icon);
  if ((mask & enMask_Data) != 0) {
    if (data == nullptr) {
      WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItemData);
      return E_FAIL;
    }
    item->SetUserData(data);
  }
  if ((mask & enMask_Check) != 0) item->SetCheck(check);
  if ((mask & enMask_SubMenu) != 0) {
    if (subMenu == nullptr) {
      WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItemSubMenu);
      return E_FAIL;
    }
    item->SetSubMenu(subMenu);
  }
  item->SetEnable(enable);
  menu->AppendItem(item);
  return S_OK;
}

HRESULT AddSeparator(IGFMenu* menu, const wchar_t* name, bool named) {
  if (menu == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineSeparatorArgs);
    return E_FAIL;
  }
  CKZComPtr<IGFMenuItem> item;
  if (FAILED(menu->CreateItem(&item)) || !item) return E_FAIL;
  item->SetSeparator(1);
  if (named) item->SetName(name);
  menu->AppendItem(item);
  return S_OK;
}

}  // namespace

HRESULT AddMenuItem(IGFMenu* menu, const wchar_t* name, const wchar_t* text, int enable,
                    enMenuMask mask, IKZData* data, int check, IGFMenu* subMenu) {
  return AddItem(menu, name, text, false, nullptr, enable, mask, data, check, subMenu);
}

HRESULT AddMenuItemWithIcon(IGFMenu* menu, const wchar_t* name, const wchar_t* text,
                            const wchar_t* icon, int enable, enMenuMask mask, IKZData* data,
                            int check, IGFMenu* subMenu) {
  return AddItem(menu, name, text, true, icon, enable, mask, data, check, subMenu);
}

HRESULT AddMenuItem3(IGFMenu* menu, const wchar_t* text, const wchar_t* name, IGFMenuItem** outItem,
                     const wchar_t* icon, const wchar_t* secondText, enMenuMask mask, IKZData* data,
                     int check, IGFMenu* subMenu) {
  if (menu == nullptr || name == nullptr || outItem == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItem3Args);
    return E_FAIL;
  }
  if (FAILED(menu->CreateItem(outItem)) || *outItem == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItem3NoItem);
    return E_FAIL;
  }
  IGFMenuItem* item = *outItem;
  item->SetText(text);
  item->SetName(name);
  if ((mask & enMask_Data) != 0) {
    if (data == nullptr) {
      WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItem3Data);
      return E_FAIL;
    }
    item->SetUserData(data);
  }
  if ((mask & enMask_Check) != 0) {
    item->SetCheck(check);
  } else if ((mask & enMask_SubMenu) != 0) {
    if (subMenu == nullptr) {
      WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineAddMenuItem3SubMenu);
      return E_FAIL;
    }
    item->SetSubMenu(subMenu);
  }
  if (icon != nullptr) item->SetIcon(icon);
  if (secondText != nullptr) item->SetSecondText(secondText);
  menu->AppendItem(item);
  return S_OK;
}

HRESULT AddSeperaor(IGFMenu* menu) { return AddSeparator(menu, nullptr, false); }

HRESULT AddSeperaorWithName(IGFMenu* menu, const wchar_t* name) {
  return AddSeparator(menu, name, true);
}

HRESULT SetMenuItemCheckAttr(IGFMenu* menu, const wchar_t* name, int check) {
  if (menu == nullptr || name == nullptr) return S_OK;
  CKZBSTR copy(name);
  CKZComPtr<IGFMenuItem> item;
  if (SUCCEEDED(menu->GetItemByName(copy, &item)) && item) item->SetCheck(check);
  return S_OK;
}

void FillMenuName(IGFMenu* menu) {
  if (menu == nullptr) return;
  DWORD count = 0;
  menu->GetItemCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IGFMenuItem> item;
    if (FAILED(menu->GetItemAt(i, &item)) || !item) continue;
    int separator = 0;
    item->IsSeparator(&separator);
    if (separator != 0) continue;
    CKZBSTR name;
    item->GetName(&name);
    if (name.Length() != 0) continue;
    CKZBSTR text;
    item->GetText(&text);
    item->SetName(text.c_str());
  }
}

// ---------------------------------------------------------------------------
// Department menu.

static HRESULT GetDeptMenuUnguarded(IKZData* input, IGFMenu** menu_out, IKZData* context) {
  constexpr GUID kDeptPoint = platform::MakeGuid("{5E525CB3-DAD0-41AF-A2EF-95A40D4D9B2A}");
  if (input == nullptr || menu_out == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineDeptArgs);
    return E_FAIL;
  }
  CKZComPtr<IKZArray> uins, uins_only, groups;
  if (FAILED(input->GetKZArray(L"SelectUins", &uins)) || !uins ||
      FAILED(input->GetKZArray(L"SelectUinOnly", &uins_only)) || !uins_only ||
      FAILED(input->GetKZArray(L"SelectGroupID", &groups)) || !groups) {
    return E_FAIL;
  }
  CKZComPtr<IGFMenu> menu = internal::CreateMenu();
  if (!menu) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineDeptNoMenu);
    return E_FAIL;
  }
  if (context != nullptr) context->SetDWord("cFrom", 2);

  CKZComPtr<IKZData> item_bag = internal::CreateItemBag();
  if (item_bag) {
    item_bag->SetKZArray("SelectUins", uins);
    if (context != nullptr) context->CopyField("MENU_WREN_SELECT_ITEM_ARRAY", item_bag);
  }
  DWORD count = 0;
  uins->GetCount(&count);
  if (count == 0) {
    WREN_ASSERT_AT(L"!L\"No User selected!\"", kSource, internal::kLineDeptNoUser);
    return E_FAIL;
  }
  if (Util::MarlinPrivilege::HaveWorkerNumCommuicationPrivilege()) {
    AddMenuItem(menu, L"Send_Message", internal::Text(L"WREN_MENU_CreateDisc"), 1, enMask_Data,
                item_bag, 0, nullptr);
  }

  CKZComPtr<IKZData> command;
  if (!Util::Data::CreateKZData(&command) || !command) return E_FAIL;
  command->SetKZArray("pArrayUin", uins);
  command->SetKZArray("pArraySelectUin", uins_only);
  command->SetKZArray("pGroupID", groups);
  command->SetDWord("cFrom", 2);

  CKZComPtr<IKZExtensionInvoker> invoker;
  CKZComPtr<IKZExtensionDescriptor> descriptor;
  CKZComPtr<IGFExtensionHost> host;
  ::CreateObject(IKZExtensionInvoker::kIid, &invoker);
  ::CreateObject(IKZExtensionDescriptor::kIid, &descriptor);
  menu.QueryInterface(&host);
  if (!invoker || !descriptor || !host) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineDeptExtension);
    return E_FAIL;
  }
  descriptor->SetExtensionPointId(kDeptPoint);
  host->AttachExtensionDescriptor(descriptor);
  invoker->SetExtensionPointId(kDeptPoint);
  invoker->SetContext(command);
  invoker->Invoke(menu, 0);

  internal::HandOut(menu, menu_out);
  return S_OK;
}

// ---------------------------------------------------------------------------
// Outer-group menu.

static HRESULT GetOuterGroupMenuUnguarded(IGFMenu** menu_out, IKZData* context) {
  if (menu_out == nullptr || context == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineOuterGroupArgs);
    return E_FAIL;
  }
  CKZComPtr<IGFMenu> menu = internal::CreateMenu();
  if (!menu) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineOuterGroupNoMenu);
    return E_FAIL;
  }
  CKZComPtr<IKZData> item_bag = internal::CreateItemBag();
  if (item_bag) context->CopyField("MENU_WREN_SELECT_ITEM_ARRAY", item_bag);
  int rename = static_cast<int>(internal::ReadFlag(context, "EnableRename", 1));
  int del = static_cast<int>(internal::ReadFlag(context, "EnableDelGroup", 1));

  AddMenuItem(menu, L"MENU_WREN_ID_OUTER_ADD_NEW_GROUP",
              internal::Text(L"MENU_WREN_OUTER_ADD_NEW_GROUP"), 1, enMask_Data, item_bag, 0,
              nullptr);
  AddMenuItem(menu, L"MENU_WREN_ID_OUTER_ADD_NEW_BUDDY",
              internal::Text(L"MENU_WREN_OUTER_ADD_NEW_BUDDY"), 1, enMask_Data, item_bag, 0,
              nullptr);
  AddSeperaor(menu);
  AddMenuItem(menu, L"MENU_WREN_ID_OUTER_RENAME_GROUP",
              internal::Text(L"MENU_WREN_OUTER_RENAME_GROUP"), rename, enMask_Data, item_bag, 0,
              nullptr);
  AddMenuItem(menu, L"MENU_WREN_ID_OUTER_DEL_GROUP", internal::Text(L"MENU_WREN_OUTER_DEL_GROUP"),
              del, enMask_Data, item_bag, 0, nullptr);
  internal::HandOut(menu, menu_out);
  return S_OK;
}

HRESULT GetFolderMenu(IKZArray*, IGFMenu**, IKZData*) { return S_OK; }
HRESULT GetGroupMenu(IKZArray*, IGFMenu**, IKZData*) { return S_OK; }

// Exceptions stop here (see internal/boundary.h).
HRESULT GetDeptMenu(IKZData* input, IGFMenu** menu_out, IKZData* context) {
  return wrenutil::internal::BoundaryHr(
      [&] { return GetDeptMenuUnguarded(input, menu_out, context); });
}

// Exceptions stop here (see internal/boundary.h).
HRESULT GetOuterGroupMenu(IKZArray*, IGFMenu** menu_out, IKZData* context) {
  return wrenutil::internal::BoundaryHr(
      [&] { return GetOuterGroupMenuUnguarded(menu_out, context); });
}

}  // namespace Util::UtilWRENMenu
