// `wrenutil tbar caption UIN [--proc ...]` runs a display-name procedure of
// the contact list's tab bar; `wrenutil tbar unfocus UIN` runs the bar's
// click that removes a contact from the focused contacts. Both print what
// the tab-bar services were asked.
#include <memory>
#include <ostream>
#include <string>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/host_panel.h"
#include "apps/wrenutil/menu_output.h"
#include "platform/common/kzjson.h"
#include "platform/gf/gf_element.h"
#include "wrenutil/utilgftbar.h"

namespace wrenutil_app {
namespace {

struct TbarOptions {
  DWORD uin = 0;
  std::string proc = "name";
  DWORD item_type = 1;
  DWORD icon_type = 1;
};

using Proc = void (*)(IKZData*, unsigned long*, IKZData**, int*);

const char* OpName(platform::TbarServiceCall::Op op) {
  switch (op) {
    case platform::TbarServiceCall::kSetTiming:
      return "SetTiming";
    case platform::TbarServiceCall::kShowTip:
      return "ShowTip";
    case platform::TbarServiceCall::kHideTip:
      return "HideTip";
    case platform::TbarServiceCall::kUnFocus:
      return "UnFocus";
    case platform::TbarServiceCall::kIsOrgMember:
      return "IsOrgMember";
    case platform::TbarServiceCall::kGetContactInfo:
      return "GetContactInfo";
    case platform::TbarServiceCall::kRequestContactInfo:
      return "RequestContactInfo";
  }
  return "?";
}

void PrintCalls(std::ostream& out, platform::TbarServiceData& data, AssertCapture& capture) {
  out << "services saw:" << (data.calls.empty() ? " nothing\n" : "\n");
  for (const auto& call : data.calls) {
    out << "  " << OpName(call.op) << '(';
    for (std::size_t i = 0; i < call.args.size(); ++i) {
      out << (i ? ", " : "")
          << (call.args[i] == 0x20 && i == 1 ? "0x20" : std::to_string(call.args[i]));
    }
    if (call.op == platform::TbarServiceCall::kShowTip) out << call.record_json;
    out << ")\n";
  }
  data.calls.clear();
  for (const auto& line : capture.Take()) out << "assertion: " << Utf8(line) << '\n';
}

std::unique_ptr<PanelServices> Install(AppContext& context, DWORD uin) {
  if (!context.host->sample().FindContact(uin)) {
    context.Fail("no member or outer contact has the number " + std::to_string(uin));
    return nullptr;
  }
  std::string error;
  auto services = PanelServices::Install(*context.host, &error);
  if (!services) context.Fail(error, kExitFailure);
  return services;
}

void RunCaption(const TbarOptions& o, AppContext& context) {
  struct Named {
    const char* name;
    const char* function;
    Proc proc;
  };
  const Named procs[] = {{"name", "ShowNameProc", Util::UtilGFTbar::ShowNameProc},
                         {"account", "ShowAccountProc", Util::UtilGFTbar::ShowAccountProc},
                         {"outer", "ShowOuterNameProc", Util::UtilGFTbar::ShowOuterNameProc},
                         {"remark", "ShowRemarkNameProc", Util::UtilGFTbar::ShowRemarkNameProc}};
  const Named* chosen = nullptr;
  for (const Named& p : procs) {
    if (o.proc == p.name) chosen = &p;
  }
  if (chosen == nullptr) {
    context.Fail("--proc takes name, account, outer or remark, got \"" + o.proc + "\"");
    return;
  }
  auto services = Install(context, o.uin);
  if (!services) return;
  AssertCapture capture;
  CKZComPtr<IKZData> item;
  Util::Data::CreateKZData(&item);
  item->SetDWord("dwItemID", o.uin);
  unsigned long flags = 0;
  IKZData* caption = nullptr;
  chosen->proc(item, &flags, &caption, nullptr);
  CKZComPtr<IKZData> owner;
  owner.Attach(caption);
  CKZBSTR text;
  if (caption) caption->GetStr("strCaption", &text);
  std::ostream& out = *context.out;
  out << chosen->function << '(' << o.uin << ")\n";
  out << "caption: " << Utf8(text.c_str()) << '\n';
  out << "bit 0: " << (flags & 1ul) << '\n';
  PrintCalls(out, services->tbar(), capture);
}

void RunUnFocus(const TbarOptions& o, AppContext& context) {
  auto services = Install(context, o.uin);
  if (!services) return;
  AssertCapture capture;
  // The bar's frame, with the user data of a click on a contact's icon.
  CKZComPtr<IGFElement> element;
  CKZComPtr<IGFFrame> frame;
  CKZComPtr<IKZData> data, click;
  CKZComPtr<IKZArray> selected;
  platform::CreateGFElement(L"tbar", true, &element);
  element.QueryInterface(&frame);
  Util::Data::CreateKZData(&data);
  Util::Data::CreateKZArray(&selected);
  selected->AddDWord(o.uin);
  data->SetDWord("tbarClickItemType", o.item_type);
  data->SetKZArray("tbarSelectItems", selected);
  data->SetDWord("tbarItemId", o.uin);
  data->SetDWord("tbarSubItemIconType", o.icon_type);
  frame->SetUserData(data);
  Util::Data::CreateKZData(&click);
  click->SetInterface("frame", IGFFrame::kIid, frame);

  platform::TbarServiceData& tbar = services->tbar();
  const bool was_focused = tbar.focused.count(o.uin) != 0;
  long hr = Util::UtilGFTbar::UnFocusContact(click);
  std::ostream& out = *context.out;
  out << "frame user data: " << platform::KZDataToJson(data) << '\n';
  out << "UnFocusContact: " << Code(static_cast<HRESULT>(hr)) << '\n';
  const bool focused = tbar.focused.count(o.uin) != 0;
  out << o.uin << (was_focused ? " was focused" : " was not focused")
      << (focused ? ", is focused\n" : ", is not focused\n");
  PrintCalls(out, tbar, capture);
  if (hr < 0 || !was_focused || focused) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterTbarCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<TbarOptions>();
  CLI::App* tbar = app.add_subcommand("tbar", "Tab-bar helpers of the contact list");
  tbar->require_subcommand(1);

  CLI::App* caption =
      tbar->add_subcommand("caption", "The caption of a contact item and bit 0 of its flags");
  caption->add_option("uin", o->uin, "The contact number")->required();
  caption->add_option("--proc", o->proc, "The procedure: name (default), account, outer or remark");
  caption->callback([o, &context] { RunCaption(*o, context); });

  CLI::App* unfocus =
      tbar->add_subcommand("unfocus", "Click the icon that removes a contact from the focused");
  unfocus->add_option("uin", o->uin, "The contact number")->required();
  unfocus->add_option("--item-type", o->item_type, "tbarClickItemType (default 1)");
  unfocus->add_option("--icon-type", o->icon_type, "tbarSubItemIconType (default 1)");
  unfocus->callback([o, &context] { RunUnFocus(*o, context); });
}

}  // namespace wrenutil_app
