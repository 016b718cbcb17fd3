// The library's log calls over the platform log.
//
// WrenLog fills a log record (level, line, thread id, tick count, Unix time in
// ms by the system clock, the performance counter at level 4 or more, source and function texts)
// and forwards it with the module name. WrenLogWithContext appends to the
// format the context suffix
//   [Time=YYYY-MM-DD H:MM:SS.mmm][UnixTime=s][CorpUin=n][ExtUin=n]
//   [ClientVersion=major*100+minor][ClientIP=n]
// (numbers in decimal; the address in host order, 0 without the network
// service); its callers pass "file" and "func" as source and function texts.
// The suffix's time is the client's regulated clock (Util::Time), which a
// host may set; the record's own time is not. The corporation number and the
// address are asked through GetService, so without a core each asserts (line
// 136 of common\include\utilcore) and the number is 0.
// Formats follow the client's convention: "%s" takes a wide string.
//
// The calls live in the library (wrenutil/utillog.cpp) and are exported so
// that its tests reach them; hosts use the platform log instead.
#ifndef WRENUTIL_COMMON_INCLUDE_UTILLOG_H_
#define WRENUTIL_COMMON_INCLUDE_UTILLOG_H_

#include <cstdarg>

#include "wrenutil/export.h"

namespace wrenutil::internal {

WRENUTIL_API void WrenLog(const wchar_t* file, int line, const wchar_t* function, int level,
                          const wchar_t* module, const wchar_t* format, ...);
WRENUTIL_API void WrenLogV(const wchar_t* file, int line, const wchar_t* function, int level,
                           const wchar_t* module, const wchar_t* format, va_list args);
WRENUTIL_API void WrenLogWithContext(const wchar_t* file, int line, const wchar_t* function,
                                     int level, const wchar_t* module, const wchar_t* format, ...);

}  // namespace wrenutil::internal

#endif  // WRENUTIL_COMMON_INCLUDE_UTILLOG_H_
