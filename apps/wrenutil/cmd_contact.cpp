// `wrenutil contact status UIN`, `contact rights UIN` and
// `contact self-check [--status N]`: the library's online checks and rights
// over the sample's statuses and privileges.
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/session_cli.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/kernelutil/kernelutil.h"
#include "wrenutil/wrencontact.h"

namespace wrenutil_app {
namespace {

struct ContactOptions {
  DWORD uin = 0;
  std::optional<unsigned> status;
};

const char* StatusName(std::uint16_t status) {
  switch (status) {
    case 0:
      return "unknown";
    case 10:
      return "online";
    case 20:
      return "offline";
    case 30:
      return "away";
    case 50:
      return "busy";
    case 60:
      return "do not disturb";
    case 250:
      return "invisible";
    default:
      return "other";
  }
}

bool Known(AppContext& context, DWORD uin) {
  if (context.host->sample().FindContact(uin)) return true;
  context.Fail("no member or outer contact has the number " + std::to_string(uin));
  return false;
}

void RunStatus(const ContactOptions& o, AppContext& context) {
  if (!Known(context, o.uin)) return;
  SessionRun run(context);
  if (!run.ok()) return;
  std::uint16_t status = Util::Contact::GetStatus(o.uin, nullptr);
  int online = Util::WRENContact::IsOnline(o.uin);
  *context.out << "status: " << status << " (" << StatusName(status) << ")\n"
               << "IsOnline: " << online << '\n';
  if (!online) context.exit_code = kExitFailure;
}

void RunRights(const ContactOptions& o, AppContext& context) {
  if (!Known(context, o.uin)) return;
  SessionRun run(context);
  if (!run.ok()) return;
  int public_client = Util::WRENContact::HasPublicClientRight(o.uin);
  int session_switch = Util::WRENContact::HasSessionSwitchRight(o.uin);
  *context.out << "HasPublicClientRight: " << public_client << '\n'
               << "HasSessionSwitchRight: " << session_switch << '\n';
  if (!public_client && !session_switch) context.exit_code = kExitFailure;
}

void RunSelfCheck(const ContactOptions& o, AppContext& context) {
  if (o.status && *o.status > 0xFFFF) {
    context.Fail("--status must be 0-65535");
    return;
  }
  SessionRun run(context);
  if (!run.ok()) return;
  DWORD self = Util::Contact::GetSelfUin();
  if (o.status) platform::SetContactStatus(self, static_cast<std::uint16_t>(*o.status));
  int result = Util::WRENContact::CheckSelfOnlineStatus();
  *context.out << "own number: " << self << ", status " << Util::Contact::GetStatus(self, nullptr)
               << '\n'
               << "CheckSelfOnlineStatus: " << result << '\n';
  run.PrintSeen(*context.out);
  if (!result) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterContactCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<ContactOptions>();
  CLI::App* contact = app.add_subcommand("contact", "Online status and rights of contacts");
  contact->require_subcommand(1);
  CLI::App* status = contact->add_subcommand("status", "A contact's status and IsOnline");
  status->add_option("uin", o->uin, "The contact's number")->required();
  status->callback([o, &context] { RunStatus(*o, context); });
  CLI::App* rights =
      contact->add_subcommand("rights", "HasPublicClientRight and HasSessionSwitchRight");
  rights->add_option("uin", o->uin, "The contact's number")->required();
  rights->callback([o, &context] { RunRights(*o, context); });
  CLI::App* self = contact->add_subcommand(
      "self-check", "CheckSelfOnlineStatus: warns when the own status is offline (20)");
  self->add_option("--status", o->status, "Set the own status for this run first");
  self->callback([o, &context] { RunSelfCheck(*o, context); });
}

}  // namespace wrenutil_app
