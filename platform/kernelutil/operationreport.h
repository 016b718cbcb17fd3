// Operation reports of the enterprise edition, as the client's kernel
// library takes them: each report is put into the report spool with the
// time it was made (the client's clock, Util::Time::GetRegulatedMilliTime),
// and noted in the call journal (calljournal.h) as
//   EtpOperationReport(<v1>, <v2>, <v3>, <corp>, <second>, <text or null>,
//                      <flag>, <result>)
// with the numbers in decimal.
//
// The spool is the signed-in user's profile store (table "report_spool",
// profileconfig.h) unless the host installed another with SetReportSpool.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_OPERATIONREPORT_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_OPERATIONREPORT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"

namespace Util::SpecificReport {
// How the reported operation ended; -1 (kResultNone) when the report says
// nothing about it.
enum EResultType : int {
  kResultNone = -1,
  kResultSuccess = 0,
  kResultFailure = 1,
};
// Puts one report into the spool. A null text is kept as no text. Failures
// of the spool are logged (level 2, module "SpecificReport"); the report is
// then lost, as a report sent to an unreachable server would be.
KZ_PLATFORM_API void EtpOperationReport(DWORD value1, DWORD value2, DWORD value3,
                                        std::uint64_t corp_uin, DWORD second_uin,
                                        const wchar_t* text, int flag, EResultType result);
}  // namespace Util::SpecificReport

namespace platform {

struct SpooledReport {
  std::int64_t time_ms = 0;  // Unix time in milliseconds
  DWORD value1 = 0;
  DWORD value2 = 0;
  DWORD value3 = 0;
  std::uint64_t corp_uin = 0;
  DWORD second_uin = 0;
  std::optional<std::wstring> text;
  int flag = 0;
  int result = 0;
};

// Where reports go.
class ReportSpool {
 public:
  virtual ~ReportSpool() = default;
  // Keeps one report; false and a message in *error when it cannot.
  virtual bool Append(const SpooledReport& report, std::string* error) = 0;
  // Every report kept, oldest first; false and a message on failure.
  virtual bool List(std::vector<SpooledReport>* reports, std::string* error) = 0;
};

// A spool in memory.
KZ_PLATFORM_API std::shared_ptr<ReportSpool> CreateMemoryReportSpool();
// Installs the spool that reports go to; null goes back to the profile
// store's.
KZ_PLATFORM_API void SetReportSpool(std::shared_ptr<ReportSpool> spool);
// The spool reports go to now.
KZ_PLATFORM_API std::shared_ptr<ReportSpool> GetReportSpool();

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_OPERATIONREPORT_H_
