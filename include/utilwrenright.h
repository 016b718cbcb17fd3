// Util::WRENRight: the signed-in user's rights, asked of the rights service
// {98AFACD2-D716-4F97-A62B-DE4E28C1D28E} (platform/kernelutil/rights.h).
#ifndef WRENUTIL_INCLUDE_UTILWRENRIGHT_H_
#define WRENUTIL_INCLUDE_UTILWRENRIGHT_H_

#include "common/include/utilcore.h"
#include "platform/common/kzptr.h"
#include "platform/kernelutil/rights.h"

namespace Util::WRENRight {

inline constexpr wchar_t kRightSource[] = L"include\\utilwrenright";

// The 32-bit right flags; 0 (no rights) when the service does not answer.
// Without the service: KZAssert("FALSE", "include\utilwrenright", 31) and 0.
inline DWORD GetSelfRightFlags() {
  CKZComPtr<IKZRightService> service;
  if (!GetService(IKZRightService::kIid, &service) || !service) {
    WREN_ASSERT_AT(L"FALSE", kRightSource, 31);
    return 0;
  }
  DWORD flags = 0;
  service->GetRightFlags(&flags);
  return flags;
}

// 1 when bit 0 of the right flags is set (the user may keep outer contacts
// among his frequent contacts), else 0.
inline int CanAddOuterFrequentContacts() { return (GetSelfRightFlags() & 1u) != 0 ? 1 : 0; }

}  // namespace Util::WRENRight

#endif  // WRENUTIL_INCLUDE_UTILWRENRIGHT_H_
