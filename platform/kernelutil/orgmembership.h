// The organisation-membership service: whether a contact belongs to the
// signed-in user's own organisation. Used by the contact search (to filter
// LM numbers) and by the contact menus.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_ORGMEMBERSHIP_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_ORGMEMBERSHIP_H_

#include <initializer_list>

#include "platform/common/kzbase.h"

// Service {D65EAF86-57F7-45DA-BF0F-69CA4C3F4788}.
struct IKZOrgMembershipService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{D65EAF86-57F7-45DA-BF0F-69CA4C3F4788}");
  // Stores non-zero in *is_member when `uin` is a member of the user's own
  // organisation, else 0. E_POINTER (nothing stored) for a null out.
  virtual HRESULT IsOrgMember(DWORD uin, DWORD* is_member) = 0;
};

// The host's view of the in-memory service: members can be changed.
struct IKZOrgMembershipHost : IKZOrgMembershipService {
  using Base = IKZOrgMembershipService;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A80}");
  // Adds (`member` non-zero) or removes `uin`.
  virtual HRESULT SetOrgMember(DWORD uin, int member) = 0;
};

namespace platform {
// An in-memory service holding `members`; one reference for the caller in
// *out. E_POINTER for a null out.
KZ_PLATFORM_API HRESULT CreateMemoryOrgMembershipService(std::initializer_list<DWORD> members,
                                                         IKZOrgMembershipHost** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_ORGMEMBERSHIP_H_
