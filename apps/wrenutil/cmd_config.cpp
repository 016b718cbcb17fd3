// `wrenutil config protocol` and `config item TYPE SUB`: the configuration
// centre's answers and the configuration items converted into bags;
// `config pick-file` and `config pick-folder` show its pickers over the main
// frame, on the terminal.
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "af/include/commonserverconfigdef.h"
#include "apps/wrenutil/bag_tree.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/session_cli.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/shell/shell.h"
#include "wrenutil/utilwrenconfigcenter.h"

namespace wrenutil_app {
namespace {

struct ConfigOptions {
  std::optional<std::string> initial;
  std::string file_name;
  std::string filter = "All files|*||";
  DWORD type = 0;
  DWORD sub_type = 0;
  std::optional<std::string> file;
  std::optional<DWORD> setting;
};

// Replaces the item (type, sub_type) by the bytes of `file`, when given.
bool LoadItem(const ConfigOptions& o, DWORD type, DWORD sub_type, SessionRun& run,
              AppContext& context) {
  if (!o.file) return true;
  std::string content, error;
  if (!ReadFile(*o.file, &content, &error)) {
    context.Fail(error);
    return false;
  }
  run.services().config_items->SetConfigContent(type, sub_type, content);
  return true;
}

void RunProtocol(const ConfigOptions& o, AppContext& context) {
  SessionRun run(context);
  if (!run.ok() || !LoadItem(o, 18, 2, run, context)) return;
  if (o.setting) run.services().account_config->SetConfigDWord(6, *o.setting);
  *context.out << "IsSendByCCProtoWithCSC: " << Util::WRENConfigCenter::IsSendByCCProtoWithCSC()
               << '\n'
               << "IsSendByCCProtoWithSvr: " << Util::WRENConfigCenter::IsSendByCCProtoWithSvr()
               << '\n';
  run.PrintSeen(*context.out);
}

void RunItem(const ConfigOptions& o, AppContext& context) {
  SessionRun run(context);
  if (!run.ok() || !LoadItem(o, o.type, o.sub_type, run, context)) return;
  CKZComPtr<IKZData> bag;
  long hr = GetCommonServerConfigData(o.type, o.sub_type, &bag);
  *context.out << "GetCommonServerConfigData: " << ResultCode(hr) << '\n';
  if (hr == 0) *context.out << FormatBagTree(bag);
  run.PrintSeen(*context.out);
  if (hr != 0) context.exit_code = kExitFailure;
}

// The native window of the client's main frame, the pickers' owner.
CKZComPtr<IGFFrame> MainFrame() {
  CKZComPtr<IKZCore> core;
  CKZComPtr<IKZMainFrameService> service;
  CKZComPtr<IGFFrame> frame;
  if (SUCCEEDED(Util::Core::GetPlatformCore(&core)) &&
      SUCCEEDED(core->GetService(IKZMainFrameService::kIid, reinterpret_cast<void**>(&service)))) {
    service->GetMainFrame(&frame);
  }
  return frame;
}

void PrintPicked(const char* function, const CKZStringW& picked, SessionRun& run,
                 AppContext& context) {
  *context.out << function << ": " << (picked.IsEmpty() ? "(nothing chosen)" : ToUtf8(picked.str()))
               << '\n';
  run.PrintSeen(*context.out);
  if (picked.IsEmpty()) context.exit_code = kExitFailure;
}

void RunPickFile(const ConfigOptions& o, AppContext& context) {
  SessionRun run(context);
  if (!run.ok()) return;
  CKZComPtr<IGFFrame> frame = MainFrame();
  CKZStringW picked = Util::WRENConfigCenter::GetSelectFileFullName(
      platform::GetFrameWindow(frame), FromUtf8(o.file_name).c_str(), FromUtf8(o.filter).c_str());
  PrintPicked("GetSelectFileFullName", picked, run, context);
}

void RunPickFolder(const ConfigOptions& o, AppContext& context) {
  SessionRun run(context);
  if (!run.ok()) return;
  CKZComPtr<IGFFrame> frame = MainFrame();
  std::wstring initial = o.initial ? FromUtf8(*o.initial) : std::wstring();
  CKZStringW picked = Util::WRENConfigCenter::GetSelectPath(platform::GetFrameWindow(frame),
                                                            o.initial ? initial.c_str() : nullptr);
  PrintPicked("GetSelectPath", picked, run, context);
}

}  // namespace

void RegisterConfigCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<ConfigOptions>();
  CLI::App* config = app.add_subcommand("config", "The configuration centre");
  config->require_subcommand(1);
  CLI::App* protocol =
      config->add_subcommand("protocol", "IsSendByCCProtoWithCSC and IsSendByCCProtoWithSvr");
  protocol->add_option("--file", o->file, "Read the item (18, 2) from this XML file");
  protocol->add_option("--setting", o->setting, "Set the main account's setting 6 first");
  protocol->callback([o, &context] { RunProtocol(*o, context); });

  CLI::App* item = config->add_subcommand("item", "A configuration item converted into a bag");
  item->add_option("type", o->type, "The item's type")->required();
  item->add_option("sub", o->sub_type, "The item's sub-type")->required();
  item->add_option("--file", o->file, "Read the item from this XML file");
  item->callback([o, &context] { RunItem(*o, context); });

  CLI::App* pick_file =
      config->add_subcommand("pick-file", "GetSelectFileFullName: choose a file (on the terminal)");
  pick_file->add_option("--file-name", o->file_name, "The file name to start with");
  pick_file->add_option("--filter", o->filter, "The file-type filter (\"Text|*.txt||\")");
  pick_file->callback([o, &context] { RunPickFile(*o, context); });
  CLI::App* pick_folder =
      config->add_subcommand("pick-folder", "GetSelectPath: choose a folder (on the terminal)");
  pick_folder->add_option("--initial", o->initial,
                          "The folder to preselect (leading spaces are trimmed)");
  pick_folder->callback([o, &context] { RunPickFolder(*o, context); });
}

}  // namespace wrenutil_app
