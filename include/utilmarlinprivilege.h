// Util::MarlinPrivilege: the signed-in user's privileges, asked of the
// privilege service {957F6049-CB81-4F16-AD93-45E86A2F12BC}.
//
// Compiled into the library (it logs through the library's log call).
// Without the service each function reports KZAssert("FALSE",
// "include\utilmarlinprivilege", line) and answers 0 (not granted).
#ifndef WRENUTIL_INCLUDE_UTILMARLINPRIVILEGE_H_
#define WRENUTIL_INCLUDE_UTILMARLINPRIVILEGE_H_

#include "common/include/utilcore.h"
#include "common/include/utillog.h"
#include "platform/common/kzptr.h"
#include "platform/kernelutil/menuservices.h"

namespace Util::MarlinPrivilege {

inline constexpr wchar_t kPrivilegeSource[] = L"include\\utilmarlinprivilege";

// 1 when the privilege number `privilege` (550: frequent contacts) is
// granted, else 0 (also when the service does not answer). Assertion line 66
// without the service.
inline int HavePrivilege(DWORD privilege) {
  CKZComPtr<IKZPrivilegeService> service;
  if (!GetService(IKZPrivilegeService::kIid, &service) || !service) {
    WREN_ASSERT_AT(L"FALSE", kPrivilegeSource, 66);
    return 0;
  }
  int has = 0;
  service->HavePrivilege(privilege, &has);
  return has != 0 ? 1 : 0;
}

// Whether the user may start conversations by worker number: the answer for
// channel 1, preset to 1 so that a service that does not answer grants it.
// Logs "dwChannel:%u, bHavePrivilege:%d" (level 3, module "Privilege", line
// 394). Assertion line 388 without the service.
inline int HaveWorkerNumCommuicationPrivilege() {
  CKZComPtr<IKZPrivilegeService> service;
  if (!GetService(IKZPrivilegeService::kIid, &service) || !service) {
    WREN_ASSERT_AT(L"FALSE", kPrivilegeSource, 388);
    return 0;
  }
  constexpr DWORD kChannel = 1;
  int has = 1;
  service->HaveChannelPrivilege(kChannel, &has);
  wrenutil::internal::WrenLog(kPrivilegeSource, 394,
                              L"Util::MarlinPrivilege::HaveWorkerNumCommuicationPrivilege", 3,
                              L"Privilege", L"dwChannel:%u, bHavePrivilege:%d", kChannel, has);
  return has;
}

}  // namespace Util::MarlinPrivilege

#endif  // WRENUTIL_INCLUDE_UTILMARLINPRIVILEGE_H_
