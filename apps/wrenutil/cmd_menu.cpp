// `wrenutil menu buddy|dept|outer-group ...` prints a contact menu as a tree;
// `wrenutil click NAME UIN...` runs a buddy-menu click. Both print what the
// platform services were asked to do. The demo's plug-ins add an item to the
// buddy and department menus (its second text is the context they got).
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/host_menu.h"
#include "apps/wrenutil/host_panel.h"
#include "apps/wrenutil/menu_output.h"
#include "platform/common/convert.h"
#include "platform/common/kzassert.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/calljournal.h"
#include "wrenutil/utilwrenmenu.h"

namespace wrenutil_app {
namespace {

CKZComPtr<IKZArray> UinArray(const std::vector<DWORD>& uins) {
  CKZComPtr<IKZArray> array;
  Util::Data::CreateKZArray(&array);
  for (DWORD uin : uins) array->AddDWord(uin);
  return array;
}

bool CheckUins(AppContext& context, const std::vector<DWORD>& uins) {
  for (DWORD uin : uins) {
    if (!context.host->sample().FindContact(uin)) {
      context.Fail("no member or outer contact has the number " + std::to_string(uin));
      return false;
    }
  }
  return true;
}

// The selection flags the contact list derives from the contacts chosen.
void AddSelectionFlags(const Sample& sample, const std::vector<DWORD>& uins, IKZData* bag) {
  bool all_outer = !uins.empty(), all_buddies = true, stranger = false;
  for (DWORD uin : uins) {
    IKZData* record = sample.FindContact(uin);
    if (!sample.IsOuterContact(uin)) {
      all_outer = false;
      continue;
    }
    int buddy = 0;
    if (record) record->GetBool("bBuddy", &buddy);
    if (!buddy) {
      all_buddies = false;
      stranger = true;
    }
  }
  bag->SetDWord("MENU_WREN_SELECT_IS_SINGLE", uins.size() == 1 ? 1 : 0);
  bag->SetDWord("MENU_WREN_SELECT_OUTER_CONTACTS", all_outer ? 1 : 0);
  bag->SetDWord("MENU_WREN_SELECT_OUTER_BUDDIES", all_outer && all_buddies ? 1 : 0);
  bag->SetDWord("MENU_WREN_SELECT_OUTER_STRANGER", stranger ? 1 : 0);
}

bool ApplyContext(AppContext& context, const std::vector<std::string>& pairs, IKZData* bag) {
  for (const std::string& pair : pairs) {
    const std::size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq);
    DWORD value = 0;
    if (eq == std::string::npos || key.empty() ||
        !ParseU32(std::string_view(pair).substr(eq + 1), &value)) {
      context.Fail("--context: could not convert \"" + pair +
                   "\": want KEY=NUMBER, a whole number from 0 to 4294967295");
      return false;
    }
    bag->SetDWord(key.c_str(), value);
  }
  return true;
}

bool CheckDepartments(AppContext& context, const std::vector<DWORD>& ids) {
  for (DWORD id : ids) {
    if (!context.host->sample().HasDepartment(id)) {
      context.Fail("no department has the id " + std::to_string(id) +
                   " (wrenutil sample depts lists them)");
      return false;
    }
  }
  return true;
}

struct MenuOptions {
  std::vector<DWORD> uins;
  std::vector<DWORD> only;
  std::vector<DWORD> groups;
  std::vector<std::string> context;
  bool offline = false;
  bool no_rename = false;
  bool no_delete = false;
  std::string name;
  bool auto_reply = false;
  bool outer_tab = false;
};

std::unique_ptr<MenuServices> Install(AppContext& context) {
  std::string error;
  auto services = MenuServices::Install(*context.host, &error);
  if (!services) context.Fail(error, kExitFailure);
  return services;
}

void RunBuddy(const MenuOptions& o, AppContext& context) {
  if (!CheckUins(context, o.uins)) return;
  auto services = Install(context);
  if (!services) return;
  AssertCapture capture;
  if (o.offline) services->SetSelfOffline();
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  AddSelectionFlags(context.host->sample(), o.uins, bag);
  if (!ApplyContext(context, o.context, bag)) return;
  IGFMenu* menu = nullptr;
  HRESULT hr = Util::UtilWRENMenu::GetBuddyMenu(UinArray(o.uins), &menu, bag);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  PrintMenu(*context.out, "GetBuddyMenu", hr, menu);
  if (FAILED(hr)) context.exit_code = kExitFailure;
}

void RunDept(const MenuOptions& o, AppContext& context) {
  if (!CheckUins(context, o.uins) || !CheckUins(context, o.only) ||
      !CheckDepartments(context, o.groups)) {
    return;
  }
  auto services = Install(context);
  if (!services) return;
  AssertCapture capture;
  CKZComPtr<IKZData> input, bag;
  Util::Data::CreateKZData(&input);
  Util::Data::CreateKZData(&bag);
  input->SetKZArray("SelectUins", UinArray(o.uins));
  input->SetKZArray("SelectUinOnly", UinArray(o.only));
  input->SetKZArray("SelectGroupID", UinArray(o.groups));
  if (!ApplyContext(context, o.context, bag)) return;
  IGFMenu* menu = nullptr;
  HRESULT hr = Util::UtilWRENMenu::GetDeptMenu(input, &menu, bag);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  PrintMenu(*context.out, "GetDeptMenu", hr, menu);
  if (FAILED(hr)) context.exit_code = kExitFailure;
}

void RunOuterGroup(const MenuOptions& o, AppContext& context) {
  auto services = Install(context);
  if (!services) return;
  AssertCapture capture;
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  if (o.no_rename) bag->SetDWord("EnableRename", 0);
  if (o.no_delete) bag->SetDWord("EnableDelGroup", 0);
  IGFMenu* menu = nullptr;
  HRESULT hr = Util::UtilWRENMenu::GetOuterGroupMenu(nullptr, &menu, bag);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  PrintMenu(*context.out, "GetOuterGroupMenu", hr, menu);
}

// Runs `build` with the main-panel services installed and prints its menu.
template <class Build>
void RunPanelMenu(AppContext& context, const char* function, Build build) {
  std::string error;
  auto services = PanelServices::Install(*context.host, &error);
  if (!services) {
    context.Fail(error, kExitFailure);
    return;
  }
  AssertCapture capture;
  IGFMenu* menu = nullptr;
  HRESULT hr = build(&menu);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  PrintMenu(*context.out, function, hr, menu);
  if (FAILED(hr)) context.exit_code = kExitFailure;
}

void RunClick(const MenuOptions& o, AppContext& context) {
  if (!CheckUins(context, o.uins)) return;
  auto services = Install(context);
  if (!services) return;
  AssertCapture capture;
  CKZComPtr<IKZArray> selection = UinArray(o.uins);
  // The item as the buddy menu made it, when it has one of that name;
  // otherwise an item of another menu carrying the same kind of bag.
  CKZComPtr<IGFMenu> menu;
  CKZComPtr<IGFMenuItem> item;
  CKZComPtr<IKZData> flags;
  Util::Data::CreateKZData(&flags);
  AddSelectionFlags(context.host->sample(), o.uins, flags);
  if (SUCCEEDED(Util::UtilWRENMenu::GetBuddyMenu(selection, &menu, flags)) && menu) {
    CKZBSTR name(CKZStringW(kUtf8, o.name.data(), static_cast<int>(o.name.size())).GetString());
    menu->GetItemByName(name, &item);
  }
  platform::TakeCallJournal();
  if (!item) {
    CKZComPtr<IGFMenu> other;
    platform::CreateGFMenu(&other);
    other->CreateItem(&item);
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    bag->SetKZArray("SelectUins", selection);
    item->SetUserData(bag);
  }
  CKZComPtr<IKZData> click;
  Util::Data::CreateKZData(&click);
  CKZStringW name(kUtf8, o.name.data(), static_cast<int>(o.name.size()));
  click->SetStr("name", name);
  click->SetInterface("frame", IGFFrame::kIid, item);
  HRESULT hr = Util::UtilWRENMenu::OnClickStandardBuddyMenu(click);
  *context.out << "OnClickStandardBuddyMenu: " << Code(hr) << '\n';
  DWORD left = 0;
  selection->GetCount(&left);
  *context.out << "selection after the click: " << left << " contact(s)\n";
  PrintJournal(*context.out);
}

}  // namespace

void RegisterMenuCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<MenuOptions>();
  CLI::App* menu = app.add_subcommand("menu", "Build a contact menu and print it as a tree");
  menu->require_subcommand(1);

  CLI::App* buddy = menu->add_subcommand("buddy", "The menu of selected contacts (GetBuddyMenu)");
  const CLI::Validator uin = WholeNumber(0xFFFFFFFFu);
  buddy->add_option("uins", o->uins, "Contact numbers, the first is the contact")
      ->required()
      ->type_name("UIN")
      ->check(uin);
  buddy->add_option("--context", o->context,
                    "A context flag KEY=NUMBER (e.g. MENU_WREN_SHOWDELFROMRECENTFOLDER=1)");
  buddy->add_flag("--offline", o->offline, "The own account is offline");
  buddy->callback([o, &context] { RunBuddy(*o, context); });

  CLI::App* dept =
      menu->add_subcommand("dept", "The menu of an organisation selection (GetDeptMenu)");
  dept->add_option("uins", o->uins, "The contacts concerned (SelectUins)")
      ->type_name("UIN")
      ->check(uin);
  dept->add_option("--only", o->only, "Contacts selected directly (SelectUinOnly)")
      ->type_name("UIN")
      ->check(uin);
  dept->add_option("--group", o->groups, "Selected departments (SelectGroupID)")
      ->type_name("ID")
      ->check(uin);
  dept->add_option("--context", o->context, "A context field KEY=NUMBER");
  dept->callback([o, &context] { RunDept(*o, context); });

  CLI::App* outer =
      menu->add_subcommand("outer-group", "The menu of an outer-contact group (GetOuterGroupMenu)");
  outer->add_flag("--no-rename", o->no_rename, "EnableRename = 0");
  outer->add_flag("--no-delete", o->no_delete, "EnableDelGroup = 0");
  outer->callback([o, &context] { RunOuterGroup(*o, context); });

  CLI::App* main = menu->add_subcommand("main", "The main menu of the main panel (GetMainMenu)");
  main->callback([&context] {
    RunPanelMenu(context, "GetMainMenu",
                 [](IGFMenu** m) { return Util::UtilWRENMenu::GetMainMenu(m); });
  });

  CLI::App* status = menu->add_subcommand("status", "The menu of the own presence (GetStatusMenu)");
  status->add_flag("--auto-reply", o->auto_reply,
                   "Away opens the automatic replies of the sample profile");
  CLI::App* tabbar =
      menu->add_subcommand("tabbar", "The tab bar's display menu (GetTBarDisplayTypeMenu)");
  tabbar->add_flag("--outer", o->outer_tab, "The external-contacts tab (tab type 2)");
  tabbar->add_flag("--offline", o->offline, "The own account is offline");
  tabbar->callback([o, &context] { RunTabBarMenu(context, o->outer_tab, o->offline); });

  status->callback([o, &context] {
    RunPanelMenu(context, "GetStatusMenu", [&](IGFMenu** m) {
      return Util::UtilWRENMenu::GetStatusMenu(m, o->auto_reply ? 1 : 0);
    });
  });
}

void RegisterClickCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<MenuOptions>();
  CLI::App* click = app.add_subcommand(
      "click", "Run a buddy-menu click (OnClickStandardBuddyMenu) and show what it did");
  click->add_option("name", o->name, "The item name, e.g. Send_Message or MENU_WREN_USERINFO")
      ->required();
  click->add_option("uins", o->uins, "The selected contact numbers")
      ->required()
      ->type_name("UIN")
      ->check(WholeNumber(0xFFFFFFFFu));
  click->callback([o, &context] { RunClick(*o, context); });
}

}  // namespace wrenutil_app
