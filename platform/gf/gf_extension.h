// Extension points: how plug-ins add to what the client builds.
//
// An extension point is an object registered on the core under its id
// (IKZCoreHost::RegisterExtensionPoint); GetExtensionPoint(id) hands it out as
// IKZExtensionPoint (the object answers QueryInterface for its own id). It
// lists extensions: each extension info names the methods its extension
// object offers and creates that object on demand.
//
// Menus use three GF objects on top of that, made through the core's
// CreateObject once RegisterGFObjects (gf_menu.h) has run:
// - the extension descriptor (IKZExtensionDescriptor) names an extension
//   point; it is attached to a menu through the menu's IGFExtensionHost;
// - the extension invoker (IKZExtensionInvoker) is given the same id and a
//   context bag, and Invoke(menu, 0) calls IGFMenuExtension::OnExtendMenu of
//   every extension of that point that offers "OnExtendMenu", in the order
//   the extensions were added, with the menu and the context bag.
// The invoker refuses (E_FAIL) a menu to which no descriptor of its id is
// attached (IGFExtensionHost::IsExtensionPointAttached), so that only a menu
// prepared for a point is extended.
//
// The report extension point of the usage reports calls
// IKZReportExtension::OnReport of extensions offering "OnReport".
#ifndef WRENUTIL_PLATFORM_GF_GF_EXTENSION_H_
#define WRENUTIL_PLATFORM_GF_GF_EXTENSION_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

struct IKZData;
struct IGFMenu;

// What a registered extension says of itself.
struct IKZExtensionInfo : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A92}");
  // *offers = 1 when the extension object has the method `method`, else 0.
  // E_POINTER for null arguments.
  virtual HRESULT OffersMethod(const wchar_t* method, int* offers) = 0;
  // Creates the extension object for the extension point `point`; one
  // reference for the caller, or E_FAIL and nullptr.
  virtual HRESULT CreateExtension(REFGUID point, IUnknown** extension) = 0;
};

// An extension point as the core hands it out.
struct IKZExtensionPoint : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A93}");
  virtual HRESULT GetExtensionCount(DWORD* count) = 0;
  // One reference for the caller; E_INVALIDARG and nullptr out of range.
  virtual HRESULT GetExtensionInfo(DWORD index, IKZExtensionInfo** info) = 0;
  // Appends an extension (the point keeps a reference). For hosts and tests.
  virtual HRESULT AddExtension(IKZExtensionInfo* info) = 0;
};

// The menu extension of plug-ins: appends items to `menu` (borrowed) using
// the invoker's context bag (borrowed, may be null).
struct IGFMenuExtension : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A94}");
  virtual HRESULT OnExtendMenu(IGFMenu* menu, IKZData* context) = 0;
};

// The usage-report extension: receives a report code text (borrowed).
struct IKZReportExtension : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A95}");
  virtual HRESULT OnReport(const wchar_t* code) = 0;
};

// Class and interface {1C32A23B-6DC4-41C5-958D-BA1F75E7ABE9}.
struct IKZExtensionDescriptor : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{1C32A23B-6DC4-41C5-958D-BA1F75E7ABE9}");
  virtual HRESULT SetExtensionPointId(REFGUID point) = 0;
  // E_FAIL (and the zero GUID) while no id is set; E_POINTER for null.
  virtual HRESULT GetExtensionPointId(GUID* point) = 0;
};

// Interface {B8823205-8277-432E-A8EC-32AFBF58B5C4} of a menu.
struct IGFExtensionHost : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{B8823205-8277-432E-A8EC-32AFBF58B5C4}");
  // The host keeps a reference to the descriptor. E_POINTER for null,
  // E_INVALIDARG for a descriptor without an id.
  virtual HRESULT AttachExtensionDescriptor(IKZExtensionDescriptor* descriptor) = 0;
  // *attached = 1 when a descriptor of `point` is attached, else 0.
  // E_POINTER for a null slot.
  virtual HRESULT IsExtensionPointAttached(REFGUID point, int* attached) = 0;
};

// Class and interface {A9DB1DFD-1075-40EA-8368-1B3BA7C4C384}.
struct IKZExtensionInvoker : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{A9DB1DFD-1075-40EA-8368-1B3BA7C4C384}");
  virtual HRESULT SetExtensionPointId(REFGUID point) = 0;
  // The invoker keeps a reference to the bag (null: no context).
  virtual HRESULT SetContext(IKZData* context) = 0;
  // Extends the menu `target` (borrowed) as the file comment says. Results:
  // S_OK after calling the extensions (their results are not examined);
  // S_FALSE when no extension point of the id is registered; E_POINTER for a
  // null target; E_INVALIDARG when no id is set or the target does not answer
  // both IGFMenu and IGFExtensionHost (any implementation does, not only the
  // menus of this stand-in); E_FAIL when its host says that no descriptor of
  // the id is attached.
  virtual HRESULT Invoke(IUnknown* target, int flags) = 0;
};

namespace platform {

// Creates an empty extension point answering for `id`; one reference for the
// caller. E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateExtensionPoint(REFGUID id, IKZExtensionPoint** point);

// Creates an extension object for a point; called by CreateExtension.
using ExtensionFactory = std::function<HRESULT(REFGUID point, IUnknown** extension)>;
// An extension info offering `methods`; one reference for the caller.
// E_POINTER for a null slot, E_INVALIDARG for an empty factory.
KZ_PLATFORM_API HRESULT CreateExtensionInfo(std::vector<std::wstring> methods,
                                            ExtensionFactory factory, IKZExtensionInfo** info);

// The extension point registered on `core` under `id`, registering a new
// one first when there is none; one reference for the caller.
KZ_PLATFORM_API HRESULT EnsureExtensionPoint(IKZCoreHost* core, REFGUID id,
                                             IKZExtensionPoint** point);

// Adds to the point `id` of `core` (created when needed) an extension offering
// "OnExtendMenu" whose object runs `extend`. E_POINTER for a null core,
// E_INVALIDARG for an empty function.
KZ_PLATFORM_API HRESULT AddMenuExtension(
    IKZCoreHost* core, REFGUID id, std::function<void(IGFMenu* menu, IKZData* context)> extend);
// The same for "OnReport".
KZ_PLATFORM_API HRESULT AddReportExtension(IKZCoreHost* core, REFGUID id,
                                           std::function<void(const wchar_t* code)> report);

// Creates the objects that RegisterGFObjects registers, without a core; one
// reference for the caller each. E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateExtensionDescriptor(IKZExtensionDescriptor** out);
KZ_PLATFORM_API HRESULT CreateExtensionInvoker(IKZExtensionInvoker** out);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_GF_EXTENSION_H_
