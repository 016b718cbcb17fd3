// The signed-in session as the client's kernel library reports it: the own
// contact number and the client version. A host sets them with SetSession.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_KERNELUTIL_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_KERNELUTIL_H_

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace Util::Contact {
// The signed-in user's contact number (0 when no session is set).
KZ_PLATFORM_API DWORD GetSelfUin();
}  // namespace Util::Contact

namespace Util::Sys {
// The folder of the running program, ending with "/" (a host may replace it
// with platform::SetProgramFolder, datafolders.h).
KZ_PLATFORM_API CKZStringW GetProgramRootDir();
}  // namespace Util::Sys

namespace Version {
KZ_PLATFORM_API int GetMajorVer();
KZ_PLATFORM_API int GetMinorVer();
}  // namespace Version

namespace platform {
struct SessionInfo {
  DWORD self_uin = 0;
  int major_version = 0;
  int minor_version = 0;
};
KZ_PLATFORM_API void SetSession(const SessionInfo& session);
KZ_PLATFORM_API SessionInfo GetSession();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_KERNELUTIL_H_
