#include "wrenutil/datareport.h"

#include "common/include/utilcore.h"
#include "platform/common/kzlog.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/operationreport.h"

namespace {

DWORD g_corp_uin = 0;
DWORD g_report_uin = 0;

// Reads one number of the account service; 0 without the service.
template <class Read>
DWORD AskAccount(Read read) {
  DWORD value = 0;
  CKZComPtr<IKZAccountService> account;
  if (GetService(IKZAccountService::kIid, &account) && account) read(account.Get(), &value);
  return value;
}

}  // namespace

namespace UtilCC::DataReport {

void AddStartTime(IKZData* data) {
  if (data != nullptr) data->SetDWord(L"DR_dwStartTime", platform::GetTickCount());
}

void EtpOperationReport(DWORD value1, DWORD value2, DWORD value3) {
  if (g_corp_uin == 0) {
    g_corp_uin = AskAccount([](IKZAccountService* s, DWORD* v) { s->GetCorpUin(v); });
  }
  if (g_report_uin == 0) {
    g_report_uin = AskAccount([](IKZAccountService* s, DWORD* v) { s->GetReportUin(v); });
  }
  Util::SpecificReport::EtpOperationReport(value1, value2, value3, g_corp_uin, g_report_uin,
                                           nullptr, 1, Util::SpecificReport::kResultNone);
}

void EtpTimeReport(DWORD value1, DWORD value2, IKZData* data) {
  if (data == nullptr) return;
  DWORD start = 0;
  data->GetDWord(L"DR_dwStartTime", &start);
  EtpOperationReport(value1, value2, platform::GetTickCount() - start);
}

}  // namespace UtilCC::DataReport

namespace wrenutil::internal {
void ResetDataReportCache() {
  g_corp_uin = 0;
  g_report_uin = 0;
}
}  // namespace wrenutil::internal
