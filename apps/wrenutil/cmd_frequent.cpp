// `wrenutil frequent ls|menu|click`: the frequent-contacts folders, the menu
// that adds contacts to one of them, and a click on that menu delivered the
// way the client delivers it (the menu's GF event, handled by the library's
// own sink).
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/host_menu.h"
#include "platform/common/convert.h"
#include "platform/common/kzassert.h"
#include "platform/common/kzdialog.h"
#include "platform/gf/gf_event.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/calljournal.h"
#include "wrenutil/utilwrenmenu_frequent.h"

namespace wrenutil_app {
namespace {

namespace Frequent = Util::UtilWRENMenu::FrequentContactsMenu;

std::string Utf8(const std::wstring& text) {
  return Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size())).str();
}

std::wstring Wide(const std::string& text) {
  return Util::Convert::Utf8ToWS(text.data(), static_cast<int>(text.size())).str();
}

struct FrequentOptions {
  std::vector<DWORD> uins;
  std::optional<DWORD> from_folder;
  std::vector<DWORD> exclude;
  bool only_holding = false;
  std::string item;
  std::optional<std::string> folder_name;
};

// The dialogs of the demo: the terminal's, except that the input dialog
// answers with --folder-name when it was given. Installed for one command.
class DemoDialogs : public platform::DialogProvider {
 public:
  explicit DemoDialogs(std::optional<std::string> folder_name)
      : folder_name_(std::move(folder_name)) {}
  platform::DialogAnswer Show(const platform::DialogRequest& request) override {
    if (request.kind == platform::DialogKind::kInputDialog && folder_name_) {
      return platform::DialogAnswer::Confirm(Wide(*folder_name_));
    }
    return terminal_.Show(request);
  }

 private:
  std::optional<std::string> folder_name_;
  platform::TerminalDialogProvider terminal_;
};

class ScopedDialogs {
 public:
  explicit ScopedDialogs(std::shared_ptr<platform::DialogProvider> provider)
      : previous_(platform::SetDialogProvider(std::move(provider))) {}
  ~ScopedDialogs() { platform::SetDialogProvider(previous_); }
  ScopedDialogs(const ScopedDialogs&) = delete;
  ScopedDialogs& operator=(const ScopedDialogs&) = delete;

 private:
  std::shared_ptr<platform::DialogProvider> previous_;
};

// Collects assertions so that they are printed with the results.
class Assertions {
 public:
  Assertions() {
    previous_ = platform::SetAssertHandler([this](const wchar_t* e, const wchar_t* f, int line) {
      lines_.push_back(std::wstring(e) + L" at " + f + L":" + std::to_wstring(line));
      return 0;
    });
  }
  ~Assertions() { platform::SetAssertHandler(previous_); }
  Assertions(const Assertions&) = delete;
  Assertions& operator=(const Assertions&) = delete;
  void Print(std::ostream& out) {
    for (const auto& line : lines_) out << "assertion: " << Utf8(line) << '\n';
    lines_.clear();
  }

 private:
  platform::AssertHandler previous_;
  std::vector<std::wstring> lines_;
};

std::string ContactName(const Sample& sample, DWORD uin) {
  IKZData* record = sample.FindContact(uin);
  CKZBSTR name;
  if (record) record->GetStr("strName", &name);
  return Utf8(name.c_str());
}

void PrintFolders(std::ostream& out, const Sample& sample, IFrequentContactsHost* manager) {
  CKZComPtr<IKZData> limits;
  manager->GetLimits(&limits);
  auto field = [&](const char* name) {
    DWORD value = 0;
    if (limits) limits->GetDWord(name, &value);
    return value;
  };
  platform::FrequentContactsState state;
  manager->GetState(&state);
  for (const auto& folder : state.folders) {
    out << folder.id << '\t' << Utf8(folder.name) << "\t(" << folder.uins.size() << " of "
        << field("MaxNumOfContactPerGroup") << ")\n";
    for (DWORD uin : folder.uins) out << "  " << uin << '\t' << ContactName(sample, uin) << '\n';
  }
  out << "folders: " << field("TotalGroups") << " of " << field("MaxNumOfGroup")
      << "; contacts: " << field("TotalContacts") << " of " << field("MaxNumOfContact") << '\n';
}

void PrintJournal(std::ostream& out) {
  std::vector<std::wstring> notes = platform::TakeCallJournal();
  out << "services saw:" << (notes.empty() ? " nothing\n" : "\n");
  for (const auto& note : notes) out << "  " << Utf8(note) << '\n';
}

// Builds the folder menu; null (and the reason printed) when there is none.
CKZComPtr<IGFMenu> BuildMenu(const FrequentOptions& o, AppContext& context, int* result) {
  CKZComPtr<IKZArray> uins, excluded;
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZArray(&uins);
  Util::Data::CreateKZArray(&excluded);
  Util::Data::CreateKZData(&bag);
  for (DWORD uin : o.uins) uins->AddDWord(uin);
  for (DWORD id : o.exclude) excluded->AddDWord(id);
  bag->SetDWord("bShowAllFolders", o.only_holding ? 0 : 1);
  if (o.from_folder) bag->SetDWord("dwFromFolderId", *o.from_folder);
  IGFMenu* raw = nullptr;
  *result = Frequent::GetFrequentFolderMenu(uins, &raw, bag, excluded, nullptr);
  CKZComPtr<IGFMenu> menu;
  menu.Attach(raw);
  *context.out << "GetFrequentFolderMenu: " << *result << '\n';
  return menu;
}

// The index of the menu item ITEM names: "new" or "Frequent_Add_Folder", a
// folder id, or a folder name. -1 when none matches.
long FindItem(IGFMenu* menu, IFrequentContactsHost* manager, const std::string& item) {
  std::wstring wanted_text;
  if (item == "new" || item == "Frequent_Add_Folder") {
    wanted_text.clear();
  } else {
    wanted_text = Wide(item);
    DWORD id = 0;
    if (!item.empty() && item.find_first_not_of("0123456789") == std::string::npos &&
        item.size() < 10) {
      id = static_cast<DWORD>(std::stoul(item));
      CKZComPtr<IKZData> folder;
      if (SUCCEEDED(manager->GetFolder(id, &folder)) && folder) {
        CKZBSTR name;
        folder->GetStr("GroupName", &name);
        wanted_text = name.c_str();
      }
    }
  }
  DWORD count = 0;
  menu->GetItemCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IGFMenuItem> entry;
    menu->GetItemAt(i, &entry);
    CKZBSTR name, text;
    entry->GetName(&name);
    entry->GetText(&text);
    const std::wstring n = name.c_str();
    if (wanted_text.empty() ? n == L"Frequent_Add_Folder"
                            : n == L"strFrequentFoldeItem" && text.c_str() == wanted_text) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

std::unique_ptr<MenuServices> Install(AppContext& context) {
  std::string error;
  auto services = MenuServices::Install(*context.host, &error);
  if (!services) context.Fail(error, kExitFailure);
  return services;
}

void RunList(AppContext& context) {
  auto services = Install(context);
  if (!services) return;
  PrintFolders(*context.out, context.host->sample(), services->frequent());
}

void RunMenu(const FrequentOptions& o, AppContext& context) {
  if (!CheckUins(context, o.uins)) return;
  auto services = Install(context);
  if (!services) return;
  Assertions assertions;
  int result = 0;
  CKZComPtr<IGFMenu> menu = BuildMenu(o, context, &result);
  *context.out << (menu ? Utf8(platform::RenderGFMenu(menu)) : "(no menu)\n");
  assertions.Print(*context.out);
  if (result != 1) context.exit_code = kExitFailure;
}

void RunClick(const FrequentOptions& o, AppContext& context) {
  if (!CheckUins(context, o.uins)) return;
  auto services = Install(context);
  if (!services) return;
  ScopedDialogs dialogs(std::make_shared<DemoDialogs>(o.folder_name));
  Assertions assertions;
  int result = 0;
  CKZComPtr<IGFMenu> menu = BuildMenu(o, context, &result);
  if (!menu) {
    *context.out << "(no menu)\n";
    assertions.Print(*context.out);
    context.exit_code = kExitFailure;
    return;
  }
  long index = FindItem(menu, services->frequent(), o.item);
  if (index < 0) {
    context.Fail("the menu has no item \"" + o.item + "\" (a folder id or name, or new)");
    return;
  }
  platform::TakeCallJournal();
  HRESULT hr = platform::ChooseGFMenuItem(menu, static_cast<DWORD>(index));
  char code[16];
  std::snprintf(code, sizeof code, hr < 0 ? "0x%08X" : "%d", static_cast<unsigned>(hr));
  *context.out << "OnClickMenuItem: " << code << '\n';
  PrintJournal(*context.out);
  assertions.Print(*context.out);
  services->SyncFrequentFolders();
  PrintFolders(*context.out, context.host->sample(), services->frequent());
  if (hr != S_OK) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterFrequentCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<FrequentOptions>();
  CLI::App* frequent =
      app.add_subcommand("frequent", "Frequent-contacts folders and the menu that adds to them");
  frequent->require_subcommand(1);

  CLI::App* ls = frequent->add_subcommand("ls", "The folders with their contacts and the limits");
  ls->callback([&context] { RunList(context); });

  auto add_menu_options = [o](CLI::App* sub) {
    sub->add_option("--from-folder", o->from_folder, "Move from this folder (dwFromFolderId)");
    sub->add_option("--exclude", o->exclude, "Leave this folder out of the menu");
    sub->add_flag("--only-holding", o->only_holding,
                  "List only folders that hold one of the contacts (bShowAllFolders = 0)");
  };
  CLI::App* menu = frequent->add_subcommand(
      "menu", "Print the folder menu for contacts (GetFrequentFolderMenu)");
  menu->add_option("uins", o->uins, "The selected contact numbers")->required();
  add_menu_options(menu);
  menu->callback([o, &context] { RunMenu(*o, context); });

  CLI::App* click = frequent->add_subcommand(
      "click", "Build the folder menu and choose an item: a folder id or name, or new");
  click->add_option("item", o->item, "The folder (id or name), or new for a new folder")
      ->required();
  click->add_option("uins", o->uins, "The selected contact numbers")->required();
  add_menu_options(click);
  click->add_option("--folder-name", o->folder_name,
                    "The new folder's name (otherwise asked on the terminal)");
  click->callback([o, &context] { RunClick(*o, context); });
}

}  // namespace wrenutil_app
