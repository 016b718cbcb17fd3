// `wrenutil tabbar show` prints the tab bar's display setting as stored in
// the profile; `wrenutil tabbar toggle NAME` flips one flag (by menu item
// name or field name) and stores it. `wrenutil menu tabbar` (cmd_menu.cpp)
// shows the setting as check marks.
#include <iomanip>
#include <memory>
#include <ostream>
#include <string>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/host_panel.h"
#include "apps/wrenutil/menu_output.h"
#include "platform/kvdata/kvdata.h"
#include "wrenutil/utilwrenmenu.h"

namespace wrenutil_app {
namespace {

using Util::UtilWRENMenu::TBarMenuDisplayMode::CTabBtnMenuSetting;

// The flags in declaration order, with the menu item that shows each.
struct Flag {
  const char* field;
  const char* item;  // null: no menu item shows it
  int CTabBtnMenuSetting::*member;
};
constexpr Flag kFlags[] = {
    {"ShowAccount", nullptr, &CTabBtnMenuSetting::ShowAccount},
    {"ShowName", nullptr, &CTabBtnMenuSetting::ShowName},
    {"ShowAllContact", "MENU_WREN_SHOWALLCONTACT", &CTabBtnMenuSetting::ShowAllContact},
    {"ShowOnlineContact", "MENU_WREN_SHOWONLINECONTACT", &CTabBtnMenuSetting::ShowOnlineContact},
    {"OnlineFirstRank", "MENU_WREN_ONLINEFIRSTRANK", &CTabBtnMenuSetting::OnlineFirstRank},
    {"ShowNameOuter", "MENU_WREN_SHOWNAMEOUTER", &CTabBtnMenuSetting::ShowNameOuter},
    {"ShowPsInfo", "MENU_WREN_SHOWPSINFO", &CTabBtnMenuSetting::ShowPsInfo},
    {"ShowStranger", "MENU_WREN_SHOWSTRANGERGROUP", &CTabBtnMenuSetting::ShowStranger},
    {"ShowBlackList", "MENU_WREN_SHOWBLACKLISTGROUP", &CTabBtnMenuSetting::ShowBlackList},
};

// The hide-deactivated-employees item reads a key-value entry instead.
constexpr char kHideItem[] = "MENU_MianMenu_HidDeactEmp";
constexpr char kHideSection[] = "Misc";
constexpr char kHideKey[] = "szSubKey_OrgExtuinHideSwitch";

std::unique_ptr<PanelServices> Install(AppContext& context) {
  std::string error;
  auto services = PanelServices::Install(*context.host, &error);
  if (!services) context.Fail(error, kExitFailure);
  return services;
}

void PrintAssertions(std::ostream& out, AssertCapture& capture) {
  for (const auto& line : capture.Take()) out << "assertion: " << Utf8(line) << '\n';
}

void RunShow(AppContext& context) {
  auto services = Install(context);
  if (!services) return;
  AssertCapture capture;
  CTabBtnMenuSetting setting;
  long read = Util::UtilWRENMenu::TBarMenuDisplayMode::ReadTabBtnMenuSetting(setting);
  std::ostream& out = *context.out;
  out << "ReadTabBtnMenuSetting: " << read << (read ? "\n" : " (nothing stored: the defaults)\n");
  for (const Flag& f : kFlags) {
    out << std::left << std::setw(18) << f.field << ' ' << setting.*f.member;
    if (f.item) out << "  (" << f.item << ')';
    out << '\n';
  }
  out << std::left << std::setw(18) << kHideKey << ' '
      << Util::KVData::GetDWord(kHideSection, kHideKey, 0) << "  (" << kHideItem << ")\n";
  PrintAssertions(out, capture);
  if (!read) context.exit_code = kExitFailure;
}

void RunToggle(const std::string& name, AppContext& context) {
  const Flag* chosen = nullptr;
  for (const Flag& f : kFlags) {
    if (name == f.field || (f.item && name == f.item)) chosen = &f;
  }
  const bool hide = name == kHideItem || name == kHideKey;
  if (chosen == nullptr && !hide) {
    std::string names;
    for (const Flag& f : kFlags) names += std::string(" ") + f.field;
    context.Fail("no tab-bar flag is named \"" + name + "\"; flags:" + names + " " + kHideKey +
                 ", or the name of their menu item");
    return;
  }
  auto services = Install(context);
  if (!services) return;
  AssertCapture capture;
  std::ostream& out = *context.out;
  if (hide) {
    DWORD before = Util::KVData::GetDWord(kHideSection, kHideKey, 0);
    DWORD after = before == 1 ? 0 : 1;
    HRESULT hr = Util::KVData::SetDWord(kHideSection, kHideKey, after);
    out << kHideKey << ": " << before << " -> " << after << '\n';
    out << "stored: " << Code(hr) << '\n';
    if (FAILED(hr)) context.exit_code = kExitFailure;
    return;
  }
  CTabBtnMenuSetting setting;
  Util::UtilWRENMenu::TBarMenuDisplayMode::ReadTabBtnMenuSetting(setting);
  const int before = setting.*chosen->member;
  setting.*chosen->member = before != 0 ? 0 : 1;
  long saved = Util::UtilWRENMenu::TBarMenuDisplayMode::SaveTabBtnMenuSetting(setting);
  out << chosen->field << ": " << before << " -> " << setting.*chosen->member << '\n';
  out << "SaveTabBtnMenuSetting: " << saved << '\n';
  PrintAssertions(out, capture);
  if (!saved) context.exit_code = kExitFailure;
}

}  // namespace

void RunTabBarMenu(AppContext& context, bool outer, bool offline) {
  auto services = Install(context);
  if (!services) return;
  if (offline) services->SetSelfOffline();
  AssertCapture capture;
  CTabBtnMenuSetting setting;
  Util::UtilWRENMenu::TBarMenuDisplayMode::ReadTabBtnMenuSetting(setting);
  CKZComPtr<IKZData> data;
  Util::Data::CreateKZData(&data);
  data->SetDWord("dwTabType", outer ? 2 : 0);
  IGFMenu* menu = nullptr;
  long hr = Util::UtilWRENMenu::TBarMenuDisplayMode::GetTBarDisplayTypeMenu(&menu, data, setting,
                                                                            outer ? 2 : 0);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  PrintMenu(*context.out, "GetTBarDisplayTypeMenu", static_cast<HRESULT>(hr), menu);
  if (hr < 0) context.exit_code = kExitFailure;
}

void RegisterTabbarCommand(CLI::App& app, AppContext& context) {
  auto name = std::make_shared<std::string>();
  CLI::App* tabbar = app.add_subcommand("tabbar", "The tab bar's display setting in the profile");
  tabbar->require_subcommand(1);
  CLI::App* show = tabbar->add_subcommand("show", "Print the nine display flags");
  show->callback([&context] { RunShow(context); });
  CLI::App* toggle = tabbar->add_subcommand("toggle", "Flip one flag and store the setting");
  toggle
      ->add_option("name", *name,
                   "A field (ShowPsInfo, OnlineFirstRank, ...) or menu item name "
                   "(MENU_WREN_SHOWPSINFO, ...)")
      ->required();
  toggle->callback([name, &context] { RunToggle(*name, context); });
}

}  // namespace wrenutil_app
