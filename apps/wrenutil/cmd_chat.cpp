// `wrenutil chat tip write|write-safe|delete|delete-safe CHATID` asks a chat
// frame to write or delete a tip bar through the library's chat-session
// shortcuts; `wrenutil chat bars CHATID` lists the bars the frame holds. The
// demo keeps chat frames in the profile store, so a bar written by one run
// is listed and deleted by the next.
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "apps/wrenutil/bag_tree.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/session_cli.h"
#include "wrenutil/chatsession.h"

namespace wrenutil_app {
namespace {

struct ChatOptions {
  std::string action;
  DWORD chat = 0;
  int type = 0;
  std::optional<std::string> text;
  std::optional<int> bar;
};

void PrintBars(std::ostream& out, DWORD chat, int type) {
  auto bars = platform::GetChatBars(chat, type);
  out << "bars of chat " << chat << " (type " << type << "): " << bars.size() << '\n';
  for (const auto& bar : bars) {
    out << "  #" << bar.id << (bar.bar_type == 1 ? " safe" : " blue") << '\n';
    std::string tree = FormatBagTree(bar.fields);
    for (std::size_t start = 0; start < tree.size();) {
      std::size_t end = tree.find('\n', start);
      out << "    " << tree.substr(start, end - start) << '\n';
      start = end + 1;
    }
  }
}

void RunTip(const ChatOptions& o, AppContext& context) {
  platform::KeepChatFramesInProfile(true);
  bool write = o.action == "write" || o.action == "write-safe";
  if (!write && !o.bar) {
    context.Fail("chat tip " + o.action + ": --bar is required");
    return;
  }
  SessionRun run(context);
  if (!run.ok()) return;
  CKZComPtr<IKZData> tip;
  Util::Data::CreateKZData(&tip);
  if (o.text) tip->SetStr("strTip", FromUtf8(*o.text).c_str());
  if (o.bar) tip->SetInt32("nBlueBarID", *o.bar);
  int result = 0;
  const char* function = nullptr;
  if (o.action == "write") {
    function = "WriteBlueBarTipInChatSession";
    result = Util::ChatSession::WriteBlueBarTipInChatSession(o.chat, o.type, tip);
  } else if (o.action == "write-safe") {
    function = "WriteSafeBarTipInChatSession";
    result = Util::ChatSession::WriteSafeBarTipInChatSession(o.chat, o.type, tip);
  } else if (o.action == "delete") {
    function = "DeleteBlueBarTipInChatSession";
    result = Util::ChatSession::DeleteBlueBarTipInChatSession(o.chat, o.type, tip);
  } else {
    function = "DeleteSafeBarTipInChatSession";
    result = Util::ChatSession::DeleteSafeBarTipInChatSession(o.chat, o.type, tip);
  }
  std::ostream& out = *context.out;
  out << function << ": " << (write ? std::to_string(result) : ResultCode(result)) << '\n';
  PrintBars(out, o.chat, o.type);
  run.PrintSeen(out);
  if (write ? result == -1 : result != 0) context.exit_code = kExitFailure;
}

void RunBars(const ChatOptions& o, AppContext& context) {
  platform::KeepChatFramesInProfile(true);
  PrintBars(*context.out, o.chat, o.type);
  if (platform::GetChatBars(o.chat, o.type).empty()) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterChatCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<ChatOptions>();
  CLI::App* chat = app.add_subcommand("chat", "Tip bars of chat windows");
  chat->require_subcommand(1);
  CLI::App* tip = chat->add_subcommand("tip", "Write or delete a tip bar of a chat");
  tip->add_option("action", o->action, "write, write-safe, delete or delete-safe")
      ->required()
      ->check(CLI::IsMember({"write", "write-safe", "delete", "delete-safe"}));
  tip->add_option("chat", o->chat, "The chat's identifier")->required();
  tip->add_option("--type", o->type, "The chat type (0 one-to-one)");
  tip->add_option("--text", o->text, "The tip's text (\"strTip\")");
  tip->add_option("--bar", o->bar, "The bar to delete (\"nBlueBarID\")");
  tip->callback([o, &context] { RunTip(*o, context); });

  CLI::App* bars = chat->add_subcommand("bars", "The bars a chat's frame holds");
  bars->add_option("chat", o->chat, "The chat's identifier")->required();
  bars->add_option("--type", o->type, "The chat type (0 one-to-one)");
  bars->callback([o, &context] { RunBars(*o, context); });
}

}  // namespace wrenutil_app
