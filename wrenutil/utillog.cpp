#include "common/include/utillog.h"

#include <arpa/inet.h>

#include <string>

#include "common/include/utilcore.h"
#include "platform/common/kzlog.h"
#include "platform/common/kzstring.h"
#include "platform/common/kztime.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/kernelutil.h"

namespace wrenutil::internal {

void WrenLogV(const wchar_t* file, int line, const wchar_t* function, int level,
              const wchar_t* module, const wchar_t* format, va_list args) {
  KZLogRecord record;
  record.level = level;
  record.line = line;
  record.thread_id = platform::GetCurrentThreadId();
  record.tick_count = platform::GetTickCount();
  record.unix_time_ms = platform::SystemMilliTime();
  record.perf_counter = level >= 4 ? platform::QueryPerformanceCounter() : 0;
  record.file = file;
  record.function = function;
  KZLog_DoKZLogVW(&record, module, format, args);
}

void WrenLog(const wchar_t* file, int line, const wchar_t* function, int level,
             const wchar_t* module, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WrenLogV(file, line, function, level, module, format, args);
  va_end(args);
}

namespace {

// The suffix is plain text appended to the format; a '%' in it would be read
// as a conversion, so it is doubled.
std::wstring ContextSuffix() {
  std::uint64_t now_ms = Util::Time::GetRegulatedMilliTime();
  std::int64_t seconds = static_cast<std::int64_t>(now_ms / 1000);
  unsigned millis = static_cast<unsigned>(now_ms % 1000);
  CKZTime t(seconds);

  // Through the library's accessors, as every service it asks: without a
  // core each of them asserts and the number stays 0.
  DWORD corp_uin = 0;
  CKZComPtr<IKZAccountService> account;
  if (GetService(IKZAccountService::kIid, &account) && account) account->GetCorpUin(&corp_uin);
  DWORD address = 0;
  CKZComPtr<IKZNetworkService> network;
  if (GetService(IKZNetworkService::kIid, &network) && network) {
    DWORD raw = 0;
    if (SUCCEEDED(network->GetClientIP(&raw))) address = ntohl(raw);
  }
  CKZStringW s;
  s.Format(
      L"[Time=%04d-%02d-%02d %d:%02d:%02d.%u][UnixTime=%u][CorpUin=%u]"
      L"[ExtUin=%u][ClientVersion=%d][ClientIP=%u]",
      t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond(), millis,
      static_cast<unsigned>(seconds & 0xFFFFFFFF), static_cast<unsigned>(corp_uin),
      static_cast<unsigned>(Util::Contact::GetSelfUin()),
      Version::GetMajorVer() * 100 + Version::GetMinorVer(), static_cast<unsigned>(address));
  std::wstring out;
  for (wchar_t c : s.str()) {
    out += c;
    if (c == L'%') out += L'%';
  }
  return out;
}

}  // namespace

void WrenLogWithContext(const wchar_t* file, int line, const wchar_t* function, int level,
                        const wchar_t* module, const wchar_t* format, ...) {
  std::wstring full = format ? format : L"";
  full += ContextSuffix();
  va_list args;
  va_start(args, format);
  WrenLogV(file, line, function, level, module, full.c_str(), args);
  va_end(args);
}

}  // namespace wrenutil::internal
