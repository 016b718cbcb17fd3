// GF menus: IGFMenu (an ordered list of items) and IGFMenuItem (name, text,
// second text, icon, enabled flag, check mark, submenu, user data, separator
// flag, item flag), created through the platform core.
//
// A menu is created with the core's CreateObject with the class and
// interface id IGFMenu::kIid once the host has called RegisterGFObjects; its
// items come from IGFMenu::CreateItem. Items also answer to IGFFrame, so that
// a chosen item handed back to a click handler gives its user data through
// IGFFrame::GetUserData. Menus answer to IGFExtensionHost (gf_extension.h).
//
// Choices of this stand-in:
// - A new item is enabled, unchecked, not a separator, with item flag 1, no
//   name, text, icon, submenu or user data.
// - Getters of texts hand out a new system string (null for an empty text).
// - Every setter copies its text (null stores the empty text); SetUserData and
//   SetSubMenu keep a reference to the object (null removes it). A menu that
//   would contain itself through submenus is refused with E_INVALIDARG (by
//   SetSubMenu on an appended item, or by AppendItem).
// - Nothing is locked: menus belong to the user-interface thread.
#ifndef WRENUTIL_PLATFORM_GF_GF_MENU_H_
#define WRENUTIL_PLATFORM_GF_GF_MENU_H_

#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

struct IKZData;
struct IGFMenu;

struct IGFMenuItem : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A91}");
  // The dispatch name as a new system string for the caller to free (null
  // when the item has none). E_POINTER for a null slot.
  virtual HRESULT GetName(BSTR* name) = 0;
  virtual HRESULT SetName(const wchar_t* name) = 0;
  // The item keeps a reference to `data` (null removes the bag).
  virtual HRESULT SetUserData(IKZData* data) = 0;
  // One reference for the caller; E_FAIL and nullptr when no bag is set.
  virtual HRESULT GetUserData(IKZData** data) = 0;
  // 0 greys the item out.
  virtual HRESULT SetEnable(int enable) = 0;
  virtual HRESULT SetSecondText(const wchar_t* text) = 0;
  // The shown text as a new system string (null when empty).
  virtual HRESULT GetText(BSTR* text) = 0;
  virtual HRESULT SetText(const wchar_t* text) = 0;
  // An icon resource path.
  virtual HRESULT SetIcon(const wchar_t* icon) = 0;
  virtual HRESULT SetCheck(int check) = 0;
  // The item keeps a reference to `menu` (null removes the submenu).
  virtual HRESULT SetSubMenu(IGFMenu* menu) = 0;
  virtual HRESULT IsSeparator(int* separator) = 0;
  virtual HRESULT SetSeparator(int separator) = 0;
  virtual HRESULT SetItemFlag(int flag) = 0;

  // Read-back of what the setters stored, for hosts that draw or walk menus
  // (GetItemCount, GetItemAt, GetSubMenu). Each gives E_POINTER for a null
  // slot.
  virtual HRESULT GetEnable(int* enable) = 0;
  // S_FALSE with 0 while SetCheck was never called (no check box is shown).
  virtual HRESULT GetCheck(int* check) = 0;
  // New system strings for the caller to free (null when empty).
  virtual HRESULT GetSecondText(BSTR* text) = 0;
  virtual HRESULT GetIcon(BSTR* icon) = 0;
  // One reference for the caller; S_FALSE with nullptr when there is none.
  virtual HRESULT GetSubMenu(IGFMenu** menu) = 0;
  virtual HRESULT GetItemFlag(int* flag) = 0;
};

struct IGFMenu : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{99191728-BEDC-4D94-ADB2-B530E6CA691B}");
  // Called once after creation; the two values are kept but change nothing.
  virtual HRESULT Initialize(int flags, int reserved) = 0;
  // A new, unattached item with one reference for the caller. E_POINTER for
  // a null slot.
  virtual HRESULT CreateItem(IGFMenuItem** item) = 0;
  // Appends `item` (made by any menu of this stand-in) at the end; the menu
  // keeps its own reference. E_POINTER for null, E_INVALIDARG for a foreign
  // item or one that is already in a menu.
  virtual HRESULT AppendItem(IGFMenuItem* item) = 0;
  // Removes every top-level item named `name`; S_OK when one was removed,
  // S_FALSE when none has the name, E_POINTER for null. Each call is noted
  // (GFMenuState::removed_names).
  virtual HRESULT RemoveItemByName(const wchar_t* name) = 0;
  // The number of top-level items.
  virtual HRESULT GetItemCount(DWORD* count) = 0;
  // The first top-level item named `name`, one reference for the caller;
  // E_FAIL and nullptr when none. A null name names no item.
  virtual HRESULT GetItemByName(BSTR name, IGFMenuItem** item) = 0;
  // The item at `index`, one reference for the caller; E_INVALIDARG and
  // nullptr out of range.
  virtual HRESULT GetItemAt(DWORD index, IGFMenuItem** item) = 0;
};

namespace platform {

// Registers on `core` the factories of the GF objects: menus (IGFMenu::kIid),
// the extension invoker and descriptor (gf_extension.h) and the item data
// bag class {2C3F29CA-F983-4897-A545-2221773BC5A6} (an empty IKZData, also
// handed out for its own class id). E_POINTER for a null core.
KZ_PLATFORM_API HRESULT RegisterGFObjects(IKZCoreHost* core);

// Creates a menu directly (not through the core); one reference for the
// caller. E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateGFMenu(IGFMenu** menu);

// The indented text tree of a menu, one line per item, two spaces more per
// submenu level:
//   name "text"
// followed, when they apply, by  / "second text"  <icon>  [x] or [ ]
// (check mark set to non-zero or zero)  (greyed)  flag=N (item flag other
// than 1)  +data (user data attached).
// A separator is "----" and its name, if any. An empty name is shown as "-".
// Null or foreign menu: the empty text.
KZ_PLATFORM_API std::wstring RenderGFMenu(IGFMenu* menu);

// What a menu of this stand-in has seen, for tests and the demo.
struct GFMenuState {
  int initialize_calls = 0;
  DWORD item_count = 0;
  std::vector<std::wstring> removed_names;      // RemoveItemByName, in order
  std::vector<GUID> attached_extension_points;  // descriptors attached
};
// E_POINTER for null arguments, E_INVALIDARG for a foreign menu.
KZ_PLATFORM_API HRESULT GetGFMenuState(IGFMenu* menu, GFMenuState* state);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_GF_MENU_H_
