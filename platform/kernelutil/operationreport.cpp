#include "platform/kernelutil/operationreport.h"

#include <mutex>
#include <utility>

#include "platform/common/convert.h"
#include "platform/common/kzlog.h"
#include "platform/common/kztime.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/profileconfig.h"

namespace {

class MemorySpool : public platform::ReportSpool {
 public:
  bool Append(const platform::SpooledReport& report, std::string*) override {
    std::lock_guard lock(mutex_);
    reports_.push_back(report);
    return true;
  }
  bool List(std::vector<platform::SpooledReport>* reports, std::string* error) override {
    if (reports == nullptr) {
      if (error != nullptr) *error = "no list to fill";
      return false;
    }
    std::lock_guard lock(mutex_);
    *reports = reports_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<platform::SpooledReport> reports_;
};

std::mutex g_spool_mutex;
std::shared_ptr<platform::ReportSpool> g_spool;

}  // namespace

namespace Util::SpecificReport {
void EtpOperationReport(DWORD value1, DWORD value2, DWORD value3, std::uint64_t corp_uin,
                        DWORD second_uin, const wchar_t* text, int flag, EResultType result) {
  platform::SpooledReport report;
  report.time_ms = static_cast<std::int64_t>(Util::Time::GetRegulatedMilliTime());
  report.value1 = value1;
  report.value2 = value2;
  report.value3 = value3;
  report.corp_uin = corp_uin;
  report.second_uin = second_uin;
  if (text != nullptr) report.text = text;
  report.flag = flag;
  report.result = static_cast<int>(result);
  platform::NoteCall(L"EtpOperationReport(" + std::to_wstring(value1) + L", " +
                     std::to_wstring(value2) + L", " + std::to_wstring(value3) + L", " +
                     std::to_wstring(corp_uin) + L", " + std::to_wstring(second_uin) + L", " +
                     (text != nullptr ? L"\"" + std::wstring(text) + L"\"" : L"null") + L", " +
                     std::to_wstring(flag) + L", " + std::to_wstring(report.result) + L")");
  std::string error;
  if (!platform::GetReportSpool()->Append(report, &error)) {
    platform::LogPlatformText(2, L"SpecificReport", L"kernelutil\\operationreport",
                              L"Util::SpecificReport::EtpOperationReport", "report lost: " + error);
  }
}
}  // namespace Util::SpecificReport

namespace platform {
std::shared_ptr<ReportSpool> CreateMemoryReportSpool() { return std::make_shared<MemorySpool>(); }

void SetReportSpool(std::shared_ptr<ReportSpool> spool) {
  std::lock_guard lock(g_spool_mutex);
  g_spool = spool ? std::move(spool) : CreateProfileReportSpool();
}

std::shared_ptr<ReportSpool> GetReportSpool() {
  std::lock_guard lock(g_spool_mutex);
  if (!g_spool) g_spool = CreateProfileReportSpool();
  return g_spool;
}
}  // namespace platform
