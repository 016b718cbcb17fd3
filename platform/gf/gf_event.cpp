#include "platform/gf/gf_event.h"

#include <algorithm>

#include "platform/common/kzdata.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_menu.h"

namespace platform {

HRESULT GFEventListeners::Add(DWORD event, IGFEventListener* listener) {
  if (listener == nullptr) return E_POINTER;
  auto& list = listeners_[event];
  for (const auto& held : list) {
    if (held.Get() == listener) return S_FALSE;
  }
  list.emplace_back(listener);
  return S_OK;
}

HRESULT GFEventListeners::Remove(DWORD event, IGFEventListener* listener) {
  if (listener == nullptr) return E_POINTER;
  auto found = listeners_.find(event);
  if (found == listeners_.end()) return S_FALSE;
  auto& list = found->second;
  auto it = std::find_if(list.begin(), list.end(),
                         [listener](const auto& held) { return held.Get() == listener; });
  if (it == list.end()) return S_FALSE;
  list.erase(it);
  if (list.empty()) listeners_.erase(found);
  return S_OK;
}

HRESULT GFEventListeners::Fire(IUnknown* source, DWORD event, IKZData* params) {
  auto found = listeners_.find(event);
  if (found == listeners_.end()) return S_FALSE;
  const std::vector<CKZComPtr<IGFEventListener>> copy = found->second;
  HRESULT result = S_OK;
  for (const auto& listener : copy) {
    HRESULT hr = listener->OnEvent(source, event, params);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

DWORD GFEventListeners::Count(DWORD event) const {
  auto found = listeners_.find(event);
  return found == listeners_.end() ? 0 : static_cast<DWORD>(found->second.size());
}

namespace {

// Reads source, event number and bag, then calls one event method.
template <HRESULT (IGFEventListener::*Method)(IUnknown*, DWORD, IKZData*)>
HRESULT CallEvent(IUnknown* instance, const VARIANT* args, UINT* bad_arg) {
  CKZComPtr<IGFEventListener> listener;
  if (FAILED(
          instance->QueryInterface(IGFEventListener::kIid, reinterpret_cast<void**>(&listener))) ||
      !listener) {
    return E_NOINTERFACE;
  }
  CKZComPtr<IUnknown> source;
  DWORD event = 0;
  CKZComPtr<IKZData> params;
  if (!VariantToObject(args[0], IUnknown::kIid, reinterpret_cast<void**>(&source))) {
    *bad_arg = 0;
    return DISP_E_TYPEMISMATCH;
  }
  if (!VariantToDWord(args[1], &event)) {
    *bad_arg = 1;
    return DISP_E_TYPEMISMATCH;
  }
  if (!VariantToObject(args[2], IKZData::kIid, reinterpret_cast<void**>(&params))) {
    *bad_arg = 2;
    return DISP_E_TYPEMISMATCH;
  }
  return (listener.Get()->*Method)(source.Get(), event, params.Get());
}

}  // namespace

HRESULT RegisterGFEventTypes(IKZCoreHost* core) {
  if (core == nullptr) return E_POINTER;
  TypeDescription description;
  description.iid = IGFEventListener::kIid;
  description.methods.push_back({L"OnEvent", 1, 3, &CallEvent<&IGFEventListener::OnEvent>});
  description.methods.push_back({L"OnEvent2", 2, 3, &CallEvent<&IGFEventListener::OnEvent2>});
  return RegisterTypeLibrary(core, kGFEventTypeLibrary, std::move(description));
}

HRESULT ChooseGFMenuItem(IGFMenu* menu, DWORD index) {
  if (menu == nullptr) return E_POINTER;
  CKZComPtr<IGFEventSource> source;
  if (FAILED(menu->QueryInterface(IGFEventSource::kIid, reinterpret_cast<void**>(&source))) ||
      !source) {
    return E_NOINTERFACE;
  }
  CKZComPtr<IGFMenuItem> item;
  if (FAILED(menu->GetItemAt(index, &item)) || !item ||
      !internal::IsGFMenuItemChoosable(item.Get())) {
    return E_INVALIDARG;
  }
  CKZComPtr<IKZData> params;
  if (!Util::Data::CreateKZData(&params) || !params) return E_OUTOFMEMORY;
  BSTR name = nullptr;
  item->GetName(&name);
  params->SetStr("name", name);
  SysFreeString(name);
  CKZComPtr<IGFFrame> frame;
  item->QueryInterface(IGFFrame::kIid, reinterpret_cast<void**>(&frame));
  if (frame) params->SetInterface("frame", IGFFrame::kIid, frame.Get());
  return source->FireEvent(kGFMenuItemChosen, params.Get());
}

}  // namespace platform
