// CGFEventListener<T>: a GF event listener (platform/gf/gf_event.h) that
// forwards its two events to member functions of a host object of type T.
//
// Made with CParamComObjectNoLock<CGFEventListener<T>>::CreateInstance(host).
// Its automation side answers from the type library kGFEventTypeLibrary that
// the GF objects register on the core, loaded through the core when needed:
// - GetTypeInfoCount: 1 (E_POINTER for null);
// - GetTypeInfo: index 0 only (else DISP_E_BADINDEX); E_POINTER for a null
//   slot; the core's failure when the library is not registered;
// - GetIDsOfNames: a name found before is answered from the listener's own
//   table, others from the type information;
// - Invoke: through the type information, on this listener.
// Event methods: no host (SetHost(nullptr) after the host went away):
// assertion (source "gf\include\igfevent", line 54 for OnEvent, 55 for
// OnEvent2) and E_UNEXPECTED; nothing bound: E_NOTIMPL; else the bound
// function's result.
#ifndef WRENUTIL_GF_INCLUDE_IGFEVENT_H_
#define WRENUTIL_GF_INCLUDE_IGFEVENT_H_

#include <cwctype>
#include <map>
#include <string>

#include "common/include/icomsink.h"
#include "common/include/utilcore.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_event.h"

template <class T>
class CGFEventListener : public platform::RefCounted<IGFEventListener> {
 public:
  using Handler = HRESULT (T::*)(IUnknown* source, DWORD event, IKZData* params);
  static constexpr wchar_t kSource[] = L"gf\\include\\igfevent";

  explicit CGFEventListener(T* host) : host_(host) {}

  // The host whose functions the events call (null: it went away).
  void SetHost(T* host) { host_ = host; }
  // Binds event 1 (OnEvent) or 2 (OnEvent2) to `handler` (null unbinds).
  // Other numbers are ignored.
  void BindEvent(int event, Handler handler) {
    if (event == 1) on_event_ = handler;
    if (event == 2) on_event2_ = handler;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return LoadTypeInfo(info);
  }
  HRESULT GetIDsOfNames(REFIID, const wchar_t* const* names, UINT count, LCID,
                        DISPID* ids) override {
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr || names[0] == nullptr) return E_POINTER;
    if (count == 1) {
      auto cached = names_.find(Key(names[0]));
      if (cached != names_.end()) {
        ids[0] = cached->second;
        return S_OK;
      }
    }
    CKZComPtr<ITypeInfo> info;
    HRESULT hr = LoadTypeInfo(&info);
    if (FAILED(hr)) return hr;
    hr = info->GetIDsOfNames(names, count, ids);
    if (ids[0] != DISPID_UNKNOWN) names_[Key(names[0])] = ids[0];
    return hr;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* arg_err) override {
    CKZComPtr<ITypeInfo> info;
    HRESULT hr = LoadTypeInfo(&info);
    if (FAILED(hr)) return hr;
    return info->Invoke(static_cast<IGFEventListener*>(this), id, flags, params, result, exception,
                        arg_err);
  }

  HRESULT OnEvent(IUnknown* source, DWORD event, IKZData* params) override {
    return wrenutil::internal::ForwardSinkEvent(host_, on_event_, kSource, 54, source, event,
                                                params);
  }
  HRESULT OnEvent2(IUnknown* source, DWORD event, IKZData* params) override {
    return wrenutil::internal::ForwardSinkEvent(host_, on_event2_, kSource, 55, source, event,
                                                params);
  }
  HRESULT Reserved1() override { return S_OK; }
  void Reserved2() override {}

 private:
  static std::wstring Key(const wchar_t* name) {
    std::wstring key = name;
    for (wchar_t& ch : key) {
      if (ch >= L'A' && ch <= L'Z') ch = static_cast<wchar_t>(ch - L'A' + L'a');
    }
    return key;
  }
  static HRESULT LoadTypeInfo(ITypeInfo** info) {
    if (!CreateObject(platform::kGFEventTypeLibrary, info) || *info == nullptr) return E_FAIL;
    return S_OK;
  }

  T* host_ = nullptr;
  Handler on_event_ = nullptr;
  Handler on_event2_ = nullptr;
  std::map<std::wstring, DISPID> names_;
};

#endif  // WRENUTIL_GF_INCLUDE_IGFEVENT_H_
