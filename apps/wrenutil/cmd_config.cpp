// `wrenutil config protocol` and `config item TYPE SUB`: the configuration
// centre's answers and the configuration items converted into bags.
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "af/include/commonserverconfigdef.h"
#include "apps/wrenutil/bag_tree.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/session_cli.h"
#include "wrenutil/utilwrenconfigcenter.h"

namespace wrenutil_app {
namespace {

struct ConfigOptions {
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
}

}  // namespace wrenutil_app
