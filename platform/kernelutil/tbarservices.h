// The services that the contact list's tab bar reaches by GUID: the tip
// window and the contact focus, and one in-memory object that serves them
// together with organisation membership (orgmembership.h) and contact
// information (menuservices.h) over a shared `TbarServiceData`. Tests read
// what the object was asked from `TbarServiceData::calls`, as records; the
// demo client fills the data from its sample organisation.
//
// Every service interface's kIid is its service GUID.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_TBARSERVICES_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_TBARSERVICES_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

struct IKZData;

// The tip window of the tab bar.
struct IKZTipWindowService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{93EEB073-06A9-4613-80A7-D8EECBBE4BFF}");
  // Sets the delays of the tip window (in milliseconds: before showing,
  // before hiding, and a third value kept as given).
  virtual HRESULT SetTiming(DWORD show_delay, DWORD hide_delay, DWORD reserved) = 0;
  // Shows the tip described by `tip` (borrowed; null shows an empty tip).
  virtual HRESULT ShowTip(IKZData* tip) = 0;
  virtual HRESULT HideTip() = 0;
};

// The focused contacts (contacts the user follows closely).
struct IKZContactFocusService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{0BF2CA19-BCB7-4A27-928D-DB65EEF81EC0}");
  // Removes `uin` from the focused contacts; S_FALSE when it was not there.
  virtual HRESULT UnFocus(DWORD uin) = 0;
};

namespace platform {

// One call made on the in-memory object.
struct TbarServiceCall {
  enum Op {
    kSetTiming,           // args: the three values
    kShowTip,             // record, record_json: the tip record
    kHideTip,             // no args
    kUnFocus,             // args: the number
    kIsOrgMember,         // args: the number
    kGetContactInfo,      // args: the number, the fields
    kRequestContactInfo,  // args: the number, kind, flags
  };
  Op op;
  std::vector<std::int64_t> args;
  // The identity of a record argument (compare only, never dereference) and
  // its content as JSON at the time of the call ("null" for none).
  const void* record = nullptr;
  std::string record_json;

  bool operator==(const TbarServiceCall&) const = default;
};

// What the in-memory object answers, read at every call, and what it was
// asked.
struct TbarServiceData {
  std::set<DWORD> members;                   // organisation membership
  std::map<DWORD, std::wstring> real_names;  // contact information; others have none
  std::set<DWORD> focused;                   // contact focus
  // The tip window: the last timing, whether a tip is shown and the JSON of
  // the record it shows.
  std::vector<DWORD> tip_timing;
  bool tip_shown = false;
  std::string tip_json;
  std::vector<TbarServiceCall> calls;
};

// Which services RegisterTbarServices puts on the core; bits of a mask.
enum TbarServiceBit : unsigned {
  kTipWindowService = 1u << 0,
  kContactFocusService = 1u << 1,
  kTbarOrgMembershipService = 1u << 2,
  kTbarContactInfoService = 1u << 3,
  kAllTbarServices = (1u << 4) - 1,
};

// Creates the in-memory object over `data` (shared); one reference for the
// caller. E_POINTER for a null slot, E_INVALIDARG for null data.
KZ_PLATFORM_API HRESULT CreateMemoryTbarServices(std::shared_ptr<TbarServiceData> data,
                                                 IUnknown** services);
// Registers `services` on `core` under the GUIDs whose bits are set in `mask`
// and removes the registrations of the others. E_POINTER for null arguments.
KZ_PLATFORM_API HRESULT RegisterTbarServices(IKZCoreHost* core, IUnknown* services, unsigned mask);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_TBARSERVICES_H_
