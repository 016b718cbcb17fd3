// GF events: listeners registered on a GF object per event number, and the
// firing of an event with its parameter bag.
//
// A GF object that fires events answers to IGFEventSource (menus do). Its
// listeners are automation objects (IGFEventListener): the source calls
// OnEvent of every listener registered for the event's number. Choosing an
// item of a menu fires kGFMenuItemChosen (102) on the menu with a bag of
// "name" (the item's name, string) and "frame" (the item, an interface field
// with the id of IGFFrame, whose user data is the item's data bag).
//
// The listener interface is described by the type library
// kGFEventTypeLibrary ("OnEvent", id 1, and "OnEvent2", id 2, three
// arguments each: source VT_UNKNOWN, event number VT_UI4, parameter bag
// VT_UNKNOWN) that RegisterGFObjects puts on the core.
//
// Choices of this stand-in:
// - A source keeps one reference to each listener and none to itself in the
//   bag; a listener registered twice for one number is kept once.
// - Listeners run in the order they were registered, on the firing thread;
//   one that removes itself or others while an event runs does not disturb
//   that event (the list is copied first).
#ifndef WRENUTIL_PLATFORM_GF_GF_EVENT_H_
#define WRENUTIL_PLATFORM_GF_GF_EVENT_H_

#include <map>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdispatch.h"
#include "platform/common/kzptr.h"

struct IKZData;
struct IGFMenu;
struct IGFMenuItem;

// An automation object that receives GF events.
struct IGFEventListener : IDispatch {
  using Base = IDispatch;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AA1}");
  // An event of `source` (borrowed) with its number and parameter bag
  // (borrowed, may be null).
  virtual HRESULT OnEvent(IUnknown* source, DWORD event, IKZData* params) = 0;
  // A second event method of the same shape, for sources that use it.
  virtual HRESULT OnEvent2(IUnknown* source, DWORD event, IKZData* params) = 0;
  // Reserved; implementations do nothing (the first answers 0).
  virtual HRESULT Reserved1() = 0;
  virtual void Reserved2() = 0;
};

// A GF object with listeners.
struct IGFEventSource : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AA2}");
  // Registers `listener` (the source adds its own reference) for `event`.
  // S_OK, S_FALSE when it was already registered for that number, E_POINTER
  // for null.
  virtual HRESULT AddEventListener(DWORD event, IGFEventListener* listener) = 0;
  // Removes it (and releases the source's reference). S_OK, S_FALSE when it
  // was not registered, E_POINTER for null.
  virtual HRESULT RemoveEventListener(DWORD event, IGFEventListener* listener) = 0;
  // Calls OnEvent(this, event, params) of each listener of `event`. S_FALSE
  // when there is none; else S_OK, or the first failure a listener answered
  // (the later ones still run).
  virtual HRESULT FireEvent(DWORD event, IKZData* params) = 0;
  // The number of listeners of `event` in *count; E_POINTER for null.
  virtual HRESULT GetEventListenerCount(DWORD event, DWORD* count) = 0;
};

namespace platform {

inline constexpr DWORD kGFMenuItemChosen = 102;
inline constexpr GUID kGFEventTypeLibrary = MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AA3}");

// The listener lists of one source; sources of the stand-in embed one.
class KZ_PLATFORM_API GFEventListeners {
 public:
  HRESULT Add(DWORD event, IGFEventListener* listener);
  HRESULT Remove(DWORD event, IGFEventListener* listener);
  HRESULT Fire(IUnknown* source, DWORD event, IKZData* params);
  DWORD Count(DWORD event) const;

 private:
  std::map<DWORD, std::vector<CKZComPtr<IGFEventListener>>> listeners_;
};

// An IGFEventSource embedded in another object (`outer`, borrowed: the
// embedding object itself) that shares the outer object's reference count
// and identity; events name `outer` as their source.
class KZ_PLATFORM_API GFEmbeddedEventSource final : public IGFEventSource {
 public:
  explicit GFEmbeddedEventSource(IUnknown* outer) : outer_(outer) {}
  GFEmbeddedEventSource(const GFEmbeddedEventSource&) = delete;
  GFEmbeddedEventSource& operator=(const GFEmbeddedEventSource&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return outer_->QueryInterface(iid, object);
  }
  std::uint32_t AddRef() override { return outer_->AddRef(); }
  std::uint32_t Release() override { return outer_->Release(); }
  HRESULT AddEventListener(DWORD event, IGFEventListener* listener) override {
    return listeners_.Add(event, listener);
  }
  HRESULT RemoveEventListener(DWORD event, IGFEventListener* listener) override {
    return listeners_.Remove(event, listener);
  }
  HRESULT FireEvent(DWORD event, IKZData* params) override {
    return listeners_.Fire(outer_, event, params);
  }
  HRESULT GetEventListenerCount(DWORD event, DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = listeners_.Count(event);
    return S_OK;
  }

 private:
  IUnknown* outer_;
  GFEventListeners listeners_;
};

// Registers the type library kGFEventTypeLibrary on `core`. E_POINTER for
// null.
KZ_PLATFORM_API HRESULT RegisterGFEventTypes(IKZCoreHost* core);

// What the user does when choosing the top-level item at `index` of `menu`:
// fires kGFMenuItemChosen on the menu with "name" and "frame". Returns the
// firing's result; E_POINTER for a null menu, E_INVALIDARG for an index out
// of range, a separator or a greyed-out item, E_NOINTERFACE for a menu that
// fires no events.
KZ_PLATFORM_API HRESULT ChooseGFMenuItem(IGFMenu* menu, DWORD index);

namespace internal {
// Whether an item of this stand-in is enabled and not a separator (false for
// null or foreign items). Defined with the menus.
KZ_PLATFORM_API bool IsGFMenuItemChoosable(IGFMenuItem* item);
}  // namespace internal

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_GF_EVENT_H_
