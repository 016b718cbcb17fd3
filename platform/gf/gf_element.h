// GF elements and frames: the named parts of a window, found by name below a
// root, and the frame interface that carries their attributes (configuration
// text, hidden flag, margin) and a user-data bag.
//
// The stand-in keeps elements in a tree built with CreateGFElement and
// AppendGFElement. Elements created as frames also answer to IGFFrame.
#ifndef WRENUTIL_PLATFORM_GF_GF_ELEMENT_H_
#define WRENUTIL_PLATFORM_GF_GF_ELEMENT_H_

#include <string>

#include "platform/common/kzbase.h"
#include "platform/gf/gf_geometry.h"

struct IKZData;

// An element of a GF window.
struct IGFElement : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{3F0C2B7E-5A41-4C8E-9B6D-1E2F3A4B5C60}");
  // The first element named `name` below this one (depth first, in the
  // order children were appended; the element itself is not a candidate):
  // S_OK and one reference for the caller in *element. When none has the
  // name: E_FAIL and nullptr. Null `name`: E_INVALIDARG and nullptr; null
  // slot: E_POINTER.
  virtual HRESULT FindElement(const wchar_t* name, IGFElement** element) = 0;
};

// The frame side of an element, asked of it through QueryInterface. Also
// the view of other GF objects that carry user data (menu items).
struct IGFFrame : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{A5DFF81A-B003-4967-A286-87EB38041C7C}");
  // Replaces the configuration text (null: the empty text).
  virtual HRESULT SetConfig(const wchar_t* config) = 0;
  // The user-data bag: S_OK and one reference for the caller in *data, or
  // E_FAIL and nullptr when none is set; E_POINTER for a null slot.
  virtual HRESULT GetUserData(IKZData** data) = 0;
  // The hidden flag (0 or the non-zero value last set) into *hidden;
  // E_POINTER for null.
  virtual HRESULT GetHidden(int* hidden) = 0;
  virtual HRESULT SetHidden(int hidden) = 0;
  // Replaces the margin (left, top, right, bottom).
  virtual HRESULT SetMargin(RECT margin) = 0;
  // Attaches a user-data bag (the frame adds its own reference and releases
  // the bag it held); null removes it.
  virtual HRESULT SetUserData(IKZData* data) = 0;
};

namespace platform {

// Creates an element named `name` (null: unnamed) with no children; with
// `frame` true it also answers to IGFFrame, otherwise QueryInterface for
// IGFFrame fails with E_NOINTERFACE. One reference for the caller in
// *element; E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateGFElement(const wchar_t* name, bool frame, IGFElement** element);

// Appends `child` as the last child of `parent`; the parent takes its own
// reference (both stay borrowed). E_POINTER for null arguments;
// E_INVALIDARG when either was not made by CreateGFElement, the child
// already has a parent, or the child is the parent or one of its ancestors.
KZ_PLATFORM_API HRESULT AppendGFElement(IGFElement* parent, IGFElement* child);

// What an element made by CreateGFElement holds, for display and tests.
struct GFElementState {
  std::wstring name;
  bool frame = false;
  std::wstring config;
  int hidden = 0;
  RECT margin;
  bool has_user_data = false;
};

// Copies the state of `element` into *state. E_POINTER for null arguments;
// E_INVALIDARG when the element was not made by CreateGFElement.
KZ_PLATFORM_API HRESULT GetGFElementState(IGFElement* element, GFElementState* state);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_GF_ELEMENT_H_
