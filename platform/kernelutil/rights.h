// The rights service {98AFACD2-D716-4F97-A62B-DE4E28C1D28E}: the signed-in
// user's right flags (bit 0: he may keep frequent contacts of outer
// contacts), and an in-memory implementation for hosts and tests.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_RIGHTS_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_RIGHTS_H_

#include "platform/common/kzbase.h"

struct IKZRightService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{98AFACD2-D716-4F97-A62B-DE4E28C1D28E}");
  // The 32-bit right flags in *flags; E_POINTER for null.
  virtual HRESULT GetRightFlags(DWORD* flags) = 0;
};

namespace platform {
// A service answering `flags`; one reference for the caller. E_POINTER for
// a null slot.
KZ_PLATFORM_API HRESULT CreateMemoryRightService(DWORD flags, IKZRightService** service);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_RIGHTS_H_
