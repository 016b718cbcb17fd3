// `wrenutil report send A B C`, `report time A B --ms N [--start S]` and
// `report ls [--json]`: usage reports through the library, kept in the
// report spool.
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/session_cli.h"
#include "platform/common/kzlog.h"
#include "platform/common/kztime.h"
#include "platform/kernelutil/operationreport.h"
#include "wrenutil/datareport.h"

namespace wrenutil_app {
namespace {

struct ReportOptions {
  DWORD values[3] = {0, 0, 0};
  DWORD ms = 0;
  std::optional<DWORD> start;
  bool json = false;
};

std::string Line(const platform::SpooledReport& r) {
  std::int64_t seconds = r.time_ms / 1000;
  CKZTime t(seconds);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.GetYear(),
                t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond(),
                static_cast<int>(r.time_ms % 1000));
  return std::string(stamp) + "  " + std::to_string(r.value1) + " " + std::to_string(r.value2) +
         " " + std::to_string(r.value3) + "  corp " + std::to_string(r.corp_uin) + "  second " +
         std::to_string(r.second_uin) + "  text " +
         (r.text ? "\"" + ToUtf8(*r.text) + "\"" : std::string("null")) + "  flag " +
         std::to_string(r.flag) + "  result " + std::to_string(r.result);
}

void RunSend(const ReportOptions& o, AppContext& context) {
  SessionRun run(context);
  if (!run.ok()) return;
  UtilCC::DataReport::EtpOperationReport(o.values[0], o.values[1], o.values[2]);
  run.PrintSeen(*context.out);
}

// The tick count stands at the start mark for AddStartTime and N ms later
// for the report, so that a start just before the wrap shows the unsigned
// difference.
void RunTime(const ReportOptions& o, AppContext& context) {
  SessionRun run(context);
  if (!run.ok()) return;
  DWORD start = o.start ? *o.start : platform::GetTickCount();
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  platform::SetTickCountSource([start] { return start; });
  UtilCC::DataReport::AddStartTime(bag);
  DWORD end = start + o.ms;
  platform::SetTickCountSource([end] { return end; });
  UtilCC::DataReport::EtpTimeReport(o.values[0], o.values[1], bag);
  platform::SetTickCountSource(nullptr);
  *context.out << "start mark " << start << ", report at " << end << '\n';
  run.PrintSeen(*context.out);
}

void RunList(const ReportOptions& o, AppContext& context) {
  std::vector<platform::SpooledReport> reports;
  std::string error;
  if (!platform::GetReportSpool()->List(&reports, &error)) {
    context.Fail(error, kExitFailure);
    return;
  }
  if (o.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& r : reports) {
      list.push_back({{"time_ms", r.time_ms},
                      {"values", {r.value1, r.value2, r.value3}},
                      {"corp_uin", r.corp_uin},
                      {"second_uin", r.second_uin},
                      {"text", r.text ? nlohmann::json(ToUtf8(*r.text)) : nlohmann::json()},
                      {"flag", r.flag},
                      {"result", r.result}});
    }
    *context.out << list.dump(2) << '\n';
  } else {
    for (const auto& r : reports) *context.out << Line(r) << '\n';
    if (reports.empty()) *context.out << "no reports\n";
  }
  if (reports.empty()) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterReportCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<ReportOptions>();
  CLI::App* report = app.add_subcommand("report", "Usage reports and the report spool");
  report->require_subcommand(1);
  CLI::App* send = report->add_subcommand("send", "EtpOperationReport with three values");
  send->add_option("a", o->values[0], "First value")->required();
  send->add_option("b", o->values[1], "Second value")->required();
  send->add_option("c", o->values[2], "Third value")->required();
  send->callback([o, &context] { RunSend(*o, context); });

  CLI::App* time =
      report->add_subcommand("time", "AddStartTime, then EtpTimeReport --ms milliseconds later");
  time->add_option("a", o->values[0], "First value")->required();
  time->add_option("b", o->values[1], "Second value")->required();
  time->add_option("--ms", o->ms, "Milliseconds between the mark and the report")->required();
  time->add_option("--start", o->start,
                   "The tick count at the start mark (default: now); try 4294967000");
  time->callback([o, &context] { RunTime(*o, context); });

  CLI::App* ls = report->add_subcommand("ls", "The reports in the spool");
  ls->add_flag("--json", o->json, "As JSON");
  ls->callback([o, &context] { RunList(*o, context); });
}

}  // namespace wrenutil_app
