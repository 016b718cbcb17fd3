// Contacts' online state and real-time usage reports, as the client's kernel
// library answers them. The stand-in keeps the set of online numbers in
// memory (hosts and tests fill it) and notes every report in the call
// journal (calljournal.h) as
//   RealTimeReport(<code>, <self>, <uin>, "<text1>", "<text2>", <flag>)
// with the numbers in decimal.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_CONTACTSTATE_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_CONTACTSTATE_H_

#include "platform/common/kzbase.h"

namespace Util::Contact {
// 1 when `uin` is online, else 0.
KZ_PLATFORM_API int IsOnline(DWORD uin);
}  // namespace Util::Contact

namespace Util::DataReport2 {
// Sends one report at once; fire and forget. Null texts count as empty.
KZ_PLATFORM_API void RealTimeReport(DWORD code, DWORD self_uin, DWORD uin, const wchar_t* text1,
                                    const wchar_t* text2, int flag);
}  // namespace Util::DataReport2

namespace platform {
// Marks `uin` online (`online` non-zero) or offline.
KZ_PLATFORM_API void SetContactOnline(DWORD uin, int online);
// Everyone offline.
KZ_PLATFORM_API void ClearContactsOnline();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_CONTACTSTATE_H_
