// The platform core: services, objects and extension points by GUID, and the
// host API that installs a core and fills it.
//
// A service or extension point is registered as an object; the core hands it
// out by asking the object for the interface whose id is the service's (or
// extension point's) own GUID. An object factory is asked for the interface
// id the caller names. The core holds one reference to every registered
// object until it is unregistered or the core is destroyed.
#ifndef WRENUTIL_PLATFORM_COMMON_KZCORE_H_
#define WRENUTIL_PLATFORM_COMMON_KZCORE_H_

#include <functional>

#include "platform/common/kzbase.h"
#include "platform/common/kzptr.h"

struct IKZCore : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A70}");
  // Creates an object of class `clsid` and asks it for `iid`; one reference
  // for the caller in *object. E_FAIL (and nullptr) for an unknown class.
  virtual HRESULT CreateObject(REFCLSID clsid, REFIID iid, void** object) = 0;
  // The service registered under `id`, as its interface `id`; one reference
  // for the caller. E_FAIL (and nullptr) when none is registered.
  virtual HRESULT GetService(REFGUID id, void** service) = 0;
  // The extension point registered under `id`, as its interface `id`; one
  // reference for the caller. E_FAIL (and nullptr) when none is registered.
  virtual HRESULT GetExtensionPoint(REFGUID id, void** point) = 0;
};

// A factory: creates a new object and asks it for `iid`, storing one
// reference in *object.
using KZObjectFactory = std::function<HRESULT(REFIID iid, void** object)>;

// The host's view of a core: what it serves can be changed.
struct IKZCoreHost : IKZCore {
  using Base = IKZCore;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A71}");
  // Each replaces what was registered under the id. `object` is borrowed
  // (the core adds its own reference); null removes the registration.
  virtual HRESULT RegisterService(REFGUID id, IUnknown* service) = 0;
  virtual HRESULT RegisterExtensionPoint(REFGUID id, IUnknown* point) = 0;
  // An empty factory removes the registration.
  virtual HRESULT RegisterFactory(REFCLSID clsid, KZObjectFactory factory) = 0;
  // Releases every registered object and factory.
  virtual HRESULT Clear() = 0;
};

namespace Util::Core {
// The installed core, with one reference for the caller. Returns S_OK, or
// E_FAIL (and nullptr) when no core is installed; E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT GetPlatformCore(IKZCore** core);
}  // namespace Util::Core

namespace platform {

// Creates an empty core; one reference for the caller.
KZ_PLATFORM_API HRESULT CreateCoreHost(IKZCoreHost** core);
// Makes `core` the current core (adding a reference) and releases the one
// installed before. Null uninstalls.
KZ_PLATFORM_API void InstallCore(IKZCore* core);

// The process-wide state of the stand-ins (the session, the online states,
// message avoidance and open chats, the call journal, the adjustable clock,
// the string table...) belongs to the platform world that a host starts.
// ResetPlatformWorld puts every piece of it back to its start; ScopedCore and
// the test fixture call it, so that no host or test resets by hand.
KZ_PLATFORM_API void ResetPlatformWorld();

namespace internal {
// Registers a function that puts one piece of process-wide stand-in state
// back to its start (each stand-in registers its own at load time). Returns
// true, for use in a static initialiser.
KZ_PLATFORM_API bool AtWorldReset(void (*reset)());
}  // namespace internal

// Starts a fresh platform world (ResetPlatformWorld), creates a core and
// installs it for its lifetime; when it ends it uninstalls the core (clearing
// its registrations) and resets the world again.
class KZ_PLATFORM_API ScopedCore {
 public:
  ScopedCore();
  ~ScopedCore();
  ScopedCore(const ScopedCore&) = delete;
  ScopedCore& operator=(const ScopedCore&) = delete;
  IKZCoreHost* operator->() const { return host_.Get(); }
  IKZCoreHost* Get() const { return host_.Get(); }

 private:
  CKZComPtr<IKZCoreHost> host_;
};

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZCORE_H_
