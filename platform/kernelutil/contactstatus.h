// Contacts' presence status, their information bags and the main frame, as
// the client's kernel library and services answer them.
//
// - Status: an unsigned 16-bit code per contact, kept by a status manager.
//   The platform has its own (process-wide; hosts and tests change it with
//   platform::SetContactStatus); Util::Contact::GetStatus asks it when given
//   no manager. A contact nobody set reads as 0. The codes this platform
//   uses: 10 online, 20 offline, 30 away, 50 busy, 60 do not disturb,
//   250 invisible; 0 unknown.
// - The contact-information service {CDE1B650-4545-4903-B2F1-3305D82437BC}
//   hands out a contact's information bag ("Privilege" u64 among its fields).
// - The main-frame service {404D3901-A1DD-4355-AB8A-14A7D52E0C5B} hands out
//   the client's main frame, the parent of message boxes.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_CONTACTSTATUS_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_CONTACTSTATUS_H_

#include <cstdint>

#include "platform/afutil/mainframe.h"
#include "platform/common/kzbase.h"

struct IKZData;
struct IGFFrame;

// A status manager.
struct IKZIMContactStatusMgr : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A98}");
  // The contact's status into *status (0 when never set); E_POINTER for null.
  virtual HRESULT GetStatus(DWORD uin, std::uint16_t* status) = 0;
  virtual HRESULT SetStatus(DWORD uin, std::uint16_t status) = 0;
};

namespace Util::Contact {
// The contact's status as `manager` (borrowed) answers it; with a null
// manager, the platform's own. 0 when the manager does not answer.
KZ_PLATFORM_API std::uint16_t GetStatus(DWORD uin, IKZIMContactStatusMgr* manager);
}  // namespace Util::Contact

// Service {CDE1B650-4545-4903-B2F1-3305D82437BC}.
struct IKZContactDataService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{CDE1B650-4545-4903-B2F1-3305D82437BC}");
  // The contact's information bag: S_OK and one reference for the caller in
  // *info, or E_FAIL and nullptr when the service knows nothing of the
  // contact. E_POINTER for a null slot. The bag is the service's own: read
  // it, do not change it.
  virtual HRESULT GetContactInfo(DWORD uin, IKZData** info) = 0;
};

// The host's view of the in-memory contact-information service.
struct IKZContactDataHost : IKZContactDataService {
  using Base = IKZContactDataService;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A99}");
  // Keeps `info` (a reference is added) as the contact's bag; null forgets
  // the contact.
  virtual HRESULT SetContactInfo(DWORD uin, IKZData* info) = 0;
};

namespace platform {
// Sets a contact's status in the platform's own manager.
KZ_PLATFORM_API void SetContactStatus(DWORD uin, std::uint16_t status);
// Forgets every status of the platform's own manager.
KZ_PLATFORM_API void ResetContactStatus();
// A new, empty status manager (not the platform's own); one reference.
KZ_PLATFORM_API HRESULT CreateContactStatusMgr(IKZIMContactStatusMgr** out);
// An empty in-memory contact-information service; one reference.
KZ_PLATFORM_API HRESULT CreateMemoryContactDataService(IKZContactDataHost** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_CONTACTSTATUS_H_
