// Util::UtilWRENMenu: the main menu and the status menu of the main panel.
#include "common/include/utilcore.h"
#include "platform/kernelutil/autoreply.h"
#include "wrenutil/internal/utilwrenmenu_internal.h"
#include "wrenutil/utilwrenmenu.h"

namespace Util::UtilWRENMenu {

using internal::kSource;
using internal::Text;

namespace {

constexpr enMenuMask kPlain{};

// Adds an enabled item whose text is the text of `key`.
void AddPlain(IGFMenu* menu, const wchar_t* name, const wchar_t* key) {
  AddMenuItem(menu, name, Text(key), 1, kPlain, nullptr, 0, nullptr);
}

// Adds the reply items of the auto-reply service to `away`; returns whether
// a reply is active.
int AddReplyItems(IGFMenu* away) {
  int active = 0;
  DWORD current = 0;
  CKZComPtr<IKZAutoReplyService> service;
  if (!GetService(IKZAutoReplyService::kIid, &service) || !service) return 0;
  if (FAILED(service->GetAutoReplyState(&active, &current, nullptr))) return 0;
  CKZComPtr<IKZArray> replies;
  if (FAILED(service->GetAutoReplyList(&replies)) || !replies) return active;
  DWORD count = 0;
  replies->GetCount(&count);
  for (DWORD k = 0; k < count; ++k) {
    CKZBSTR text;
    if (FAILED(replies->GetStr(k, &text))) continue;
    CKZComPtr<IKZData> entry;
    if (!Util::Data::CreateKZData(&entry) || !entry) continue;
    entry->SetDWord("dwReplyIndex", k);
    entry->SetStr("strStatusDetail", text.c_str());
    AddMenuItem(away, L"MENU_WREN_SETAWAY", text.c_str(), 1,
                static_cast<enMenuMask>(enMask_Data | enMask_Check), entry,
                active != 0 && k == current ? 1 : 0, nullptr);
  }
  return active;
}

}  // namespace

HRESULT GetMainMenu(IGFMenu** menu_out) {
  if (menu_out == nullptr) return E_POINTER;
  CKZComPtr<IGFMenu> main = internal::CreateMenu();
  if (!main) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineMainNoMenu);
    return E_FAIL;
  }
  CKZComPtr<IGFMenu> tools = internal::CreateMenu();
  if (!tools) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineMainNoToolMenu);
    return E_FAIL;
  }
  CKZComPtr<IGFMenu> help = internal::CreateMenu();
  if (!help) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineMainNoHelpMenu);
    return E_FAIL;
  }
  AddPlain(tools, L"MENU_MainMenu_MsgManager", L"WREN_MainMenu_MsgManager");
  AddPlain(tools, L"MENU_MainMenu_Search", L"WREN_MainMenu_Search");
  AddMenuItem(main, L"MENU_MainMenu_Tool", Text(L"WREN_MainMenu_Tool"), 1, enMask_SubMenu, nullptr,
              0, tools);
  AddPlain(main, L"MENU_MainMenu_PersonalSetting", L"WREN_MainMenu_PersonalSetting");
  AddPlain(main, L"MENU_MainMenu_SysSetting", L"WREN_MainMenu_SysSetting");
  AddPlain(help, L"MENU_MainMenu_CheckUpdate", L"WREN_MainMenu_CheckUpdate");
  AddPlain(help, L"MENU_MainMenu_About", L"WREN_MainMenu_AboutWREN");
  AddPlain(help, L"MENU_MainMenu_Agreement", L"WREN_MainMenu_Agreement");
  AddMenuItem(main, L"MENU_MainMenu_Help", Text(L"WREN_MainMenu_Help"), 1, enMask_SubMenu, nullptr,
              0, help);
  AddPlain(main, L"MENU_MainMenu_ChangeAccount", L"WREN_MainMenu_ChangeAccount");
  AddPlain(main, L"MENU_MainMenu_Exit", L"WREN_MainMenu_Exit");
  internal::HandOut(main, menu_out);
  return S_OK;
}

HRESULT GetStatusMenu(IGFMenu** menu_out, int withAutoReply) {
  if (menu_out == nullptr) return E_POINTER;
  CKZComPtr<IGFMenu> status = internal::CreateMenu();
  if (!status) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineStatusNoMenu);
    return E_FAIL;
  }
  CKZComPtr<IGFMenu> away = internal::CreateMenu();
  if (!away) {
    WREN_ASSERT_AT(L"FALSE", kSource, internal::kLineStatusNoAwayMenu);
    return E_FAIL;
  }
  AddPlain(status, L"MENU_WREN_SETONLINE", L"WREN_SetOnline");
  if (withAutoReply != 0) {
    int active = AddReplyItems(away);
    AddSeperaor(away);
    AddMenuItem(away, L"MENU_WREN_NOREPLY", Text(L"WREN_NoReply"), 1, enMask_Check, nullptr,
                active == 0 ? 1 : 0, nullptr);
    AddSeperaor(away);
    AddPlain(away, L"MENU_WREN_CUMSTOMREPLY", L"WREN_CustomReply");
    AddMenuItem(status, L"MENU_WREN_SETAWAY", Text(L"WREN_SetAway"), 1, enMask_SubMenu, nullptr, 0,
                away);
  } else {
    AddPlain(status, L"MENU_WREN_SETAWAY", L"WREN_SetAway");
  }
  AddPlain(status, L"MENU_WREN_SETOFFLINE", L"WREN_SetOffline");
  internal::HandOut(status, menu_out);
  return S_OK;
}

}  // namespace Util::UtilWRENMenu
